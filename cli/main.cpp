#include "CliHost.h"
#include "CliOptions.h"
#include "ProcessCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

static void onSignal(int)
{
    CliHost::requestStop();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin2-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    // A stop between images still writes the results gathered so far.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const CliOptions options = CliOptions::parse(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        err << QStringLiteral("kelvarin2-cli: ") << options.error << Qt::endl << Qt::endl << CliOptions::usage();
        return 2;
    }
    switch (options.action) {
    case CliOptions::Action::Help:
        out << CliOptions::usage();
        return 0;
    case CliOptions::Action::Version:
        out << QStringLiteral("kelvarin2-cli ") << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    case CliOptions::Action::Command:
        break;
    }
    return ProcessCommand(options, out, err).execute();
}

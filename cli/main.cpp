#include "CalibrateCommand.h"
#include "CheckCommand.h"
#include "CliHost.h"
#include "CliOptions.h"
#include "JournalCommands.h"
#include "ProcessCommand.h"
#include "StderrPriority.h"
#include "WatchCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

static void onSignal(int signalNumber)
{
    CliHost::requestStop(signalNumber);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin2-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    // A stop between images (or between a watch's ticks) still writes the results gathered so far.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // A reader that went away (`process ... | head -1`) ends what is printed,
    // never the run: the write fails and the results are still written.
    std::signal(SIGPIPE, SIG_IGN);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const CliOptions options = CliOptions::parse(QCoreApplication::arguments());
    if (!options.error.isEmpty() && options.command == QLatin1String("check"))
        return CheckCommand::refuse(options.error, out);
    if (!options.error.isEmpty()) {
        err << StderrPriority::marked(TIssue::Severity::Error, QStringLiteral("kelvarin2-cli: ") + options.error)
            << Qt::endl
            << StderrPriority::marked(TIssue::Severity::Information, QLatin1Char('\n') + CliOptions::usage());
        return 2;
    }
    switch (options.action) {
    case CliOptions::Action::Help:
        out << CliOptions::usage();
        return 0;
    case CliOptions::Action::Manual:
        out << CliOptions::manPage();
        return 0;
    case CliOptions::Action::Version:
        out << QStringLiteral("kelvarin2-cli ") << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    case CliOptions::Action::Command:
        break;
    }
    if (options.command == QLatin1String("watch"))
        return WatchCommand(options, out, err).execute();
    if (options.command == QLatin1String("runs"))
        return RunsCommand(options, out, err).execute();
    if (options.command == QLatin1String("export"))
        return ExportCommand(options, out, err).execute();
    if (options.command == QLatin1String("check"))
        return CheckCommand(options, out).execute();
    if (options.command == QLatin1String("calibrate"))
        return CalibrateCommand(options, out, err).execute();
    return ProcessCommand(options, out, err).execute();
}

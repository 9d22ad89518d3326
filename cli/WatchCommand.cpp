#include "WatchCommand.h"

#include "CliHost.h"
#include "CliSettings.h"
#include "CliStartHost.h"
#include "KelvarinError.h"
#include "ResultFiles.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TStartControl.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

WatchCommand::WatchCommand(const CliOptions &options, QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err), m_options(options)
{
}

int WatchCommand::execute()
{
    if (m_options.paths.size() != 1) {
        m_err << QStringLiteral("kelvarin2-cli: укажите одну буферную директорию") << Qt::endl << CliOptions::usage();
        return BadInput;
    }
    CliHost host(m_err);
    TParameters params;
    QString error;
    if (!CliSettings::load(m_options.settingsFile, m_options.zonesFile, &params, host, &error)) {
        m_err << QStringLiteral("kelvarin2-cli: ") << error << Qt::endl;
        return BadInput;
    }
    // Nobody answers step dialogs here, and the watch exists to write its results.
    params.Steps = false;
    params.ResAutoSave = true;
    params.BufferDir = QDir::cleanPath(QFileInfo(m_options.paths.first()).absoluteFilePath());
    if (!QFileInfo(params.WorkDir).isDir()) {
        m_err << QStringLiteral("kelvarin2-cli: рабочая директория %1 не существует")
                     .arg(QDir::toNativeSeparators(params.WorkDir))
              << Qt::endl;
        return BadInput;
    }
    TPointFinder finder(params, &host, &host);
    host.setFinder(&finder);
    if (!finder.ReadZoneFile(params.ZonesFileName)) {
        m_err << QStringLiteral("kelvarin2-cli: файл зон: %1")
                     .arg(params.ZonesFileName.isEmpty() ? QStringLiteral("(не задан)") : params.ZonesFileName)
              << Qt::endl;
        return BadInput;
    }

    CliStartHost startHost(m_err);
    TRunTimes times;
    TStartControl control(finder, params, times, host, startHost);
    try {
        control.SetStartStyle(2);
    } catch (const KelvarinError &failure) {
        m_err << QStringLiteral("kelvarin2-cli: ") << failure.message() << Qt::endl;
        return BadInput;
    }
    const QString base = QDir::toNativeSeparators(control.ResultsBase());
    m_err << QStringLiteral("Наблюдение за %1; результаты: %2_<зона>.crd, %2_time.log. Остановка: Ctrl+C.")
                 .arg(QDir::toNativeSeparators(params.BufferDir), base)
          << Qt::endl;

    // The controller leaves style 2 only when the stop it sees in the tool's
    // event processing (a signal) ended the watch, after the final writing.
    QEventLoop loop;
    QObject::connect(&control, &TStartControl::startStyleChanged, &loop, [&loop](int style) {
        if (style != 2)
            loop.quit();
    });
    loop.exec();

    m_out << QStringLiteral("Результаты: %1_<зона>.crd, %1_time.log").arg(base) << Qt::endl;
    m_out << QStringLiteral("Изображений: %1").arg(ResultFiles::fileCount(finder.zones())) << Qt::endl;
    return control.resultsWritten() ? Success : ResultsNotWritten;
}

#include "WatchCommand.h"

#include "CliIssuePrinter.h"
#include "CliStartHost.h"
#include "DisplacementMonitor.h"
#include "ImageRows.h"
#include "KelvarinError.h"
#include "ResultFiles.h"
#include "TJournalRecorder.h"
#include "SettingsLocation.h"
#include "StderrPriority.h"
#include "TStartControl.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

int WatchCommand::execute()
{
    if (!expectPaths(1, QStringLiteral("укажите одну буферную директорию")) || !loadSettings())
        return BadInput;
    // The watch exists to write its results.
    m_params.ResAutoSave = true;
    m_params.BufferDir = QDir::cleanPath(QFileInfo(m_options.paths.first()).absoluteFilePath());
    if (!QFileInfo(m_params.WorkDir).isDir()) {
        fail(QStringLiteral("рабочая директория %1 не существует").arg(QDir::toNativeSeparators(m_params.WorkDir)));
        return BadInput;
    }
    if (!readZones())
        return BadInput;

    // Every image's displacement against the limits: crossings are printed
    // and start the alarm command, which the watch never waits for.
    CliIssuePrinter issues(m_host);
    DisplacementMonitor monitor(MonitoringSettings::readFile(m_options.settingsFile.isEmpty()
                                    ? SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"))
                                    : m_options.settingsFile),
                                issues);
    m_host.setImageHook([&](const QString &path) { monitor.imageMeasured(ImageRows::lastImage(m_finder.zones(), path)); });

    CliStartHost startHost(m_err);
    TRunTimes times;
    TStartControl control(m_finder, m_params, times, m_host, startHost);
    control.setRecorder(journalRecorder());
    try {
        control.SetStartStyle(2);
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        return BadInput;
    }
    const QString base = QDir::toNativeSeparators(control.ResultsBase());
    m_err << StderrPriority::marked(
                 TIssue::Severity::Information,
                 QStringLiteral("Наблюдение за %1; результаты: %2_<зона>.crd, %2_time.log. Остановка: Ctrl+C.")
                     .arg(QDir::toNativeSeparators(m_params.BufferDir), base))
          << Qt::endl;

    // The controller leaves style 2 only when the stop it sees in the tool's
    // event processing (a signal) ended the watch, after the final writing.
    QEventLoop loop;
    QObject::connect(&control, &TStartControl::startStyleChanged, &loop, [&loop](int style) {
        if (style != 2)
            loop.quit();
    });
    loop.exec();

    m_host.setImageHook(nullptr);
    if (control.endedWithNothingProcessed())
        m_out << QStringLiteral("Результаты не записаны: ни одно изображение не обработано.") << Qt::endl;
    else
        m_out << QStringLiteral("Результаты: %1_<зона>.crd, %1_time.log").arg(base) << Qt::endl;
    m_out << QStringLiteral("Изображений: %1").arg(ResultFiles::fileCount(m_finder.zones())) << Qt::endl;
    return withJournal(control.resultsWritten() ? Success : WorkFailed);
}

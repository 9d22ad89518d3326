#include "WatchCommand.h"

#include "CliIssuePrinter.h"
#include "CliStartHost.h"
#include "DisplacementMonitor.h"
#include "KelvarinError.h"
#include "ResultFiles.h"
#include "TJournalRecorder.h"
#include "SettingsLocation.h"
#include "StderrPriority.h"
#include "TStartControl.h"
#include "WatchMetrics.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSysInfo>
#include <QTimer>
#include <QTextStream>

// A limit that cannot be read would leave the station without alarms: refused.
bool WatchCommand::readMonitoring(MonitoringSettings *monitoring)
{
    const QString settingsFile = m_options.settingsFile.isEmpty()
        ? SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"))
        : m_options.settingsFile;
    QStringList problems;
    *monitoring = MonitoringSettings::readFile(settingsFile, &problems);
    if (problems.isEmpty())
        return true;
    fail(QStringLiteral("в файле настроек %1 неверные значения: %2").arg(settingsFile, problems.join(QStringLiteral(", "))));
    return false;
}

bool WatchCommand::prepare()
{
    const QString wanted = QStringLiteral("укажите одну буферную директорию");
    if ((m_options.paths.size() > 1 && !expectPaths(1, wanted)) || !loadSettings())
        return false;
    // The buffer directory: the argument, else the settings' own (a service
    // names only the station's settings file).
    if (m_options.paths.isEmpty() && m_params.BufferDir.isEmpty() && !expectPaths(1, wanted))
        return false;
    // The watch exists to write its results.
    m_params.ResAutoSave = true;
    const QString buffer = m_options.paths.isEmpty() ? m_params.BufferDir : m_options.paths.first();
    m_params.BufferDir = QDir::cleanPath(QFileInfo(buffer).absoluteFilePath());
    if (!QFileInfo(m_params.WorkDir).isDir()) {
        fail(QStringLiteral("рабочая директория %1 не существует").arg(QDir::toNativeSeparators(m_params.WorkDir)));
        return false;
    }
    return readZones();
}

int WatchCommand::execute()
{
    if (!prepare())
        return BadInput;

    // Every image's displacement against the limits: crossings are printed
    // and start the alarm command, which the watch never waits for.
    CliIssuePrinter issues(m_host);
    MonitoringSettings monitoring;
    if (!readMonitoring(&monitoring))
        return BadInput;
    DisplacementMonitor monitor(monitoring, issues);
    std::unique_ptr<WatchMetrics> metrics;
    if (!m_options.metricsFile.isEmpty())
        metrics = std::make_unique<WatchMetrics>(m_options.metricsFile, QSysInfo::machineHostName(), monitoring, m_host);
    m_host.setImageHook([&](const TRecordedImage &image) {
        monitor.imageMeasured(image);
        if (metrics)
            metrics->imageMeasured(image);
    });

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

    // Images set aside change the counts without a measurement.
    QTimer counts;
    if (metrics) {
        metrics->write();
        TJournalRecorder *journal = journalRecorder();
        QObject::connect(&counts, &QTimer::timeout, [&, journal] {
            metrics->updateCounts(control.imagesSetAside(),
                                  journal ? std::optional<qint64>(journal->waitingImages()) : std::nullopt);
        });
        counts.start(1000);
    }
    // The controller leaves style 2 only when the stop it sees in the tool's
    // event processing (a signal) ended the watch, after the final writing.
    QEventLoop loop;
    QObject::connect(&control, &TStartControl::startStyleChanged, &loop, [&loop](int style) {
        if (style != 2)
            loop.quit();
    });
    loop.exec();

    m_host.setImageHook(nullptr);
    return summary(control, base);
}

int WatchCommand::summary(const TStartControl &control, const QString &base)
{
    if (control.endedWithNothingProcessed())
        m_out << QStringLiteral("Результаты не записаны: ни одно изображение не обработано.") << Qt::endl;
    else
        m_out << QStringLiteral("Результаты: %1_<зона>.crd, %1_time.log").arg(base) << Qt::endl;
    m_out << QStringLiteral("Изображений: %1").arg(ResultFiles::fileCount(m_finder.zones())) << Qt::endl;
    return withJournal(control.resultsWritten() ? Success : WorkFailed);
}

#include "CheckCommand.h"

#include "CliOptions.h"
#include "JournalSource.h"
#include "MonitoringCheck.h"
#include "PrometheusMetrics.h"
#include "SettingsLocation.h"

#include <QFileInfo>
#include <QTextStream>

CheckCommand::CheckCommand(const CliOptions &options, QTextStream &out)
    : m_options(options), m_out(out)
{
}

int CheckCommand::refuse(const QString &error, QTextStream &out)
{
    const MonitoringCheck::Result result = MonitoringCheck::unknown(error);
    out << result.line << Qt::endl;
    return result.exitCode();
}

// The run's state in the Prometheus text format, for node_exporter's textfile
// collector (`check --format prometheus > file.prom`). What stops it is a
// comment in the same format and UNKNOWN's status, 3.
int CheckCommand::metrics(JournalSource *journal, const QString &problem, const MonitoringSettings &settings)
{
    QString error = problem;
    qint64 runId = 0;
    if (journal && m_options.runId.isEmpty())
        runId = journal->lastRunId();
    else if (journal)
        runId = m_options.runId.toLongLong();
    if (journal && runId <= 0 && error.isEmpty())
        error = m_options.runId.isEmpty() ? QStringLiteral("в журнале нет ни одного запуска")
                                          : QStringLiteral("неверный номер запуска: %1").arg(m_options.runId);
    PrometheusMetrics::Station station;
    if (journal && runId > 0 && PrometheusMetrics::fromJournal(*journal, runId, &station, &error)) {
        m_out << QString::fromUtf8(PrometheusMetrics::format(station, settings));
        m_out.flush();
        return MonitoringCheck::Ok;
    }
    m_out << QStringLiteral("# ") << MonitoringCheck::unknown(error).line << Qt::endl;
    return MonitoringCheck::Unknown;
}

int CheckCommand::execute()
{
    const QString settingsFile = m_options.settingsFile.isEmpty()
        ? SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"))
        : m_options.settingsFile;
    if (!m_options.settingsFile.isEmpty() && !QFileInfo(settingsFile).isFile())
        return refuse(QStringLiteral("файл настроек %1 не найден").arg(settingsFile), m_out);
    if (!m_options.paths.isEmpty())
        return refuse(QStringLiteral("лишние аргументы: %1").arg(m_options.paths.join(QLatin1Char(' '))), m_out);
    qint64 maxAge = -1;
    if (!m_options.maxAge.isEmpty() && !MonitoringCheck::parseAge(m_options.maxAge, &maxAge))
        return refuse(QStringLiteral("неверное значение --max-age: %1 (секунды или число с s, m, h, d)")
                          .arg(m_options.maxAge),
                      m_out);
    QStringList problems;
    const MonitoringSettings settings = MonitoringSettings::readFile(settingsFile, &problems);
    if (!problems.isEmpty())
        return refuse(QStringLiteral("в файле настроек %1 неверные значения: %2")
                          .arg(settingsFile, problems.join(QStringLiteral(", "))),
                      m_out);
    const QString location = m_options.journal.isEmpty() ? JournalSource::locationOf(settingsFile) : m_options.journal;
    QString problem;
    const std::unique_ptr<JournalSource> journal = JournalSource::open(location, &problem);
    if (m_options.format == QLatin1String("prometheus"))
        return metrics(journal.get(), problem, settings);
    const MonitoringCheck::Result result =
        MonitoringCheck::run(journal.get(), problem, m_options.runId, settings, QDateTime::currentDateTime(), maxAge);
    m_out << result.line << Qt::endl;
    return result.exitCode();
}

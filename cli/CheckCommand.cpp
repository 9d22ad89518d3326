#include "CheckCommand.h"

#include "CliOptions.h"
#include "IniFile.h"
#include "JournalSource.h"
#include "MonitoringCheck.h"
#include "PrometheusMetrics.h"
#include "SettingsLocation.h"
#include "TParameters.h"

#include <QFileInfo>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

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

// The station checked: --station, else the settings' Station, else this computer's host name.
static QString stationOf(const CliOptions &options, const QString &settingsFile)
{
    if (!options.station.isEmpty())
        return options.station;
    IniFile ini(settingsFile);
    ini.load();
    TParameters params;
    params.Station = ini.readString(QString::fromLatin1(ParametersSection), QStringLiteral("Station"), QString());
    return params.stationName();
}

// The run's state in the Prometheus text format, for node_exporter's textfile
// collector (`check --format prometheus > file.prom`): the station's newest
// run (or --run) with the limits it recorded (or --settings'). What stops it
// is a comment in the same format and UNKNOWN's status, 3.
static MonitoringCheck::Result metrics(JournalSource *journal, const QString &problem,
                                       const MonitoringCheck::Request &request)
{
    QString error = problem;
    qint64 runId = 0;
    QString recorded;
    if (journal) {
        runId = request.runText.isEmpty() ? journal->lastRunIdOfStation(request.station) : request.runText.toLongLong();
        if (runId > 0 && !journal->runSettings(runId, &recorded) && error.isEmpty())
            error = journal->errorString().isEmpty() ? QStringLiteral("запуска %1 нет в журнале").arg(runId)
                                                     : journal->errorString();
        if (runId <= 0 && error.isEmpty())
            error = request.runText.isEmpty()
                        ? QStringLiteral("в журнале нет ни одного запуска станции %1").arg(request.station)
                        : QStringLiteral("неверный номер запуска: %1").arg(request.runText);
    }
    const MonitoringSettings settings = request.settings ? *request.settings
                                                         : MonitoringSettings::fromSettingsText(recorded);
    PrometheusMetrics::Station station;
    if (journal && error.isEmpty() && PrometheusMetrics::fromJournal(*journal, runId, &station, &error))
        return {MonitoringCheck::Ok, QString::fromUtf8(PrometheusMetrics::format(station, settings))};
    return {MonitoringCheck::Unknown, QStringLiteral("# ") + MonitoringCheck::unknown(error).line + QLatin1Char('\n')};
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
    MonitoringCheck::Request request;
    if (!m_options.maxAge.isEmpty() && !MonitoringCheck::parseAge(m_options.maxAge, &request.maxAgeSeconds))
        return refuse(QStringLiteral("неверное значение --max-age: %1 (секунды или число с s, m, h, d)")
                          .arg(m_options.maxAge),
                      m_out);
    // Limits of a settings file given on the command line replace those the run recorded.
    if (!m_options.settingsFile.isEmpty()) {
        QStringList problems;
        request.settings = MonitoringSettings::readFile(settingsFile, &problems);
        if (!problems.isEmpty())
            return refuse(QStringLiteral("в файле настроек %1 неверные значения: %2")
                              .arg(settingsFile, problems.join(QStringLiteral(", "))),
                          m_out);
    }
    request.runText = m_options.runId;
    request.station = m_options.runId.isEmpty() ? stationOf(m_options, settingsFile) : QString();
    request.now = QDateTime::currentDateTime();
    const QString location = m_options.journal.isEmpty() ? JournalSource::locationOf(settingsFile) : m_options.journal;
    return answer(location, request);
}

// The journal is opened and read on a thread of its own: a journal that does
// not answer in time (a server away, a file locked) gives UNKNOWN at the
// timeout, and the tool ends without waiting for it.
int CheckCommand::answer(const QString &location, const MonitoringCheck::Request &request)
{
    const bool prometheus = m_options.format == QLatin1String("prometheus");
    std::packaged_task<MonitoringCheck::Result()> task([location, request, prometheus] {
        QString problem;
        const std::unique_ptr<JournalSource> journal = JournalSource::open(location, &problem);
        return prometheus ? metrics(journal.get(), problem, request) : MonitoringCheck::run(journal.get(), problem, request);
    });
    std::future<MonitoringCheck::Result> answer = task.get_future();
    std::thread reader(std::move(task));
    if (answer.wait_for(std::chrono::seconds(m_options.timeout)) != std::future_status::ready) {
        refuse(QStringLiteral("журнал измерений не ответил за %1 с").arg(m_options.timeout), m_out);
        m_out.flush();
        std::fflush(stdout);
        std::_Exit(MonitoringCheck::Unknown);
    }
    reader.join();
    const MonitoringCheck::Result result = answer.get();
    if (prometheus) {
        m_out << result.line;
        m_out.flush();
        return result.exitCode();
    }
    m_out << result.line << Qt::endl;
    return result.exitCode();
}

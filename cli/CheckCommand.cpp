#include "CheckCommand.h"

#include "CliOptions.h"
#include "JournalSource.h"
#include "MonitoringCheck.h"
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
    const MonitoringCheck::Result result =
        MonitoringCheck::run(journal.get(), problem, m_options.runId, settings, QDateTime::currentDateTime(), maxAge);
    m_out << result.line << Qt::endl;
    return result.exitCode();
}

#include "CliCommand.h"

#include "CliSettings.h"
#include "JournalLocation.h"
#include "SettingsLocation.h"
#include "StderrPriority.h"
#include "TJournalRecorder.h"

#include <QFileInfo>
#include <QTextStream>

CliCommand::CliCommand(const CliOptions &options, QTextStream &out, QTextStream &err)
    : m_options(options), m_out(out), m_err(err), m_host(err), m_finder(m_params, &m_host, &m_host)
{
    m_host.setFinder(&m_finder);
}

CliCommand::~CliCommand() = default;

QString CliCommand::settingsFile() const
{
    return m_options.settingsFile.isEmpty() ? SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"))
                                            : m_options.settingsFile;
}

QString CliCommand::journalLocation() const
{
    return m_options.journal.isEmpty() ? JournalLocation::fromSettings(m_params) : m_options.journal;
}

TJournalRecorder *CliCommand::journalRecorder()
{
    if (m_options.noJournal)
        return nullptr;
    if (!m_journal) {
        m_journal = std::make_unique<TJournalRecorder>(journalLocation());
        m_journal->setSettingsFile(settingsFile());
        m_journal->setFailureHandler([this](const QString &text) {
            m_err << StderrPriority::marked(TIssue::Severity::Warning,
                                            QStringLiteral("kelvarin2-cli: предупреждение: ") + text)
                  << Qt::endl;
            m_host.logEvent(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Run,
                                         m_journal->displayLocation(), text));
        });
        // An outage of the journal: when it went away, how many images wait, when they were written.
        m_journal->setNoticeHandler([this](const TIssue &notice) {
            m_err << StderrPriority::marked(notice.severity, QStringLiteral("kelvarin2-cli: ") + notice.text)
                  << Qt::endl;
            m_host.logEvent(notice);
        });
        m_host.setIssueSink(m_journal.get());
    }
    return m_journal.get();
}

int CliCommand::withJournal(int code) const
{
    return code == Success && m_journal && m_journal->failed() ? WorkFailed : code;
}

bool CliCommand::loadSettings()
{
    QString error;
    if (!CliSettings::load(m_options.settingsFile, m_options.zonesFile, &m_params, m_host, &error)) {
        fail(error);
        return false;
    }
    // Nobody answers step dialogs in a terminal.
    m_params.Steps = false;
    if (!m_options.station.isEmpty())
        m_params.Station = m_options.station;
    if (QFileInfo(m_params.WorkDir).isDir())
        m_host.setEventLogDirectory(m_params.WorkDir);
    return true;
}

bool CliCommand::readZones(bool requireZones)
{
    if (!m_finder.ReadZoneFile(m_params.ZonesFileName)) {
        failZones();
        return false;
    }
    // Without a zone there is nothing to find: the same refusal for every command.
    if (requireZones && m_finder.zones().isEmpty()) {
        fail(QStringLiteral("в файле зон %1 нет ни одной зоны").arg(m_params.ZonesFileName));
        return false;
    }
    return true;
}

void CliCommand::failZones()
{
    const QString reason = m_finder.zoneFileError();
    if (m_params.ZonesFileName.isEmpty())
        fail(QStringLiteral("файл зон: (не задан)"));
    else if (reason.isEmpty())
        fail(QStringLiteral("файл зон: %1").arg(m_params.ZonesFileName));
    else
        fail(QStringLiteral("файл зон: %1 - %2").arg(m_params.ZonesFileName, reason));
}

bool CliCommand::expectPaths(int count, const QString &what)
{
    if (m_options.paths.size() == count || (count < 0 && !m_options.paths.isEmpty()))
        return true;
    m_err << StderrPriority::marked(TIssue::Severity::Error, QStringLiteral("kelvarin2-cli: ") + what) << Qt::endl
          << StderrPriority::marked(TIssue::Severity::Information, CliOptions::usage());
    return false;
}

void CliCommand::fail(const QString &text)
{
    m_err << StderrPriority::marked(TIssue::Severity::Error, QStringLiteral("kelvarin2-cli: ") + text) << Qt::endl;
}

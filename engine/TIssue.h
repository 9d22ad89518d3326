#pragma once

#include <QDateTime>
#include <QString>

// One thing the core tells the user: a notice, a warning, an error or a
// displacement alarm, where it came from, the file it concerns and the text
// exactly as the user reads it. The window shows it (status line, message box
// where one is due, the warning indicator), the headless tool prints it, the
// event log and the journal keep it.
struct TIssue
{
    enum class Severity { Information, Warning, Error, Alarm };
    enum class Source { Run, Watch, Settings, File, Monitoring };

    Severity severity = Severity::Information;
    Source source = Source::Run;
    QString file;     // the file concerned, empty when none
    QString text;     // shown as it stands
    QDateTime time = QDateTime::currentDateTime();
    QString caption;  // a message box's caption where the window shows one; empty: its default

    static TIssue make(Severity severity, Source source, const QString &file, const QString &text)
    {
        TIssue issue;
        issue.severity = severity;
        issue.source = source;
        issue.file = file;
        issue.text = text;
        return issue;
    }

    // A failure of the settings or the zone file the engine handles itself:
    // an error shown in a message box with its caption ("Ошибка").
    static TIssue settingsError(const QString &caption, const QString &text)
    {
        TIssue issue = make(Severity::Error, Source::Settings, QString(), text);
        issue.caption = caption;
        return issue;
    }

    // The lower-case names the event log writes ("warning", "watch", ...).
    static QString severityName(Severity severity)
    {
        switch (severity) {
        case Severity::Information: return QStringLiteral("information");
        case Severity::Warning: return QStringLiteral("warning");
        case Severity::Error: return QStringLiteral("error");
        case Severity::Alarm: return QStringLiteral("alarm");
        }
        return {};
    }
    static QString sourceName(Source source)
    {
        switch (source) {
        case Source::Run: return QStringLiteral("run");
        case Source::Watch: return QStringLiteral("watch");
        case Source::Settings: return QStringLiteral("settings");
        case Source::File: return QStringLiteral("file");
        case Source::Monitoring: return QStringLiteral("monitoring");
        }
        return {};
    }
};

// The one channel through which the core reports issues. Implementations may
// fan out to several receivers (status line, event log, journal, stderr).
class TIssueSink
{
public:
    virtual ~TIssueSink() = default;
    virtual void report(const TIssue &issue) = 0;
};

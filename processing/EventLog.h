#pragma once

#include "TIssue.h"

#include <QByteArray>
#include <QString>

// The station's lasting record of what went wrong: every warning and error
// (an image set aside, a failed archive or write, a skipped image) is appended
// as one UTF-8 line to "kelvarin2-events.log" in the working directory:
//   2026-12-09T14:03:11+03:00 TAB warning TAB watch TAB file TAB message
// The file is only ever appended to, never rewritten; notices and settings
// problems (shown at once to whoever starts the program) are not kept.
class EventLog final : public TIssueSink
{
public:
    explicit EventLog(const QString &directory = QString()) : m_directory(directory) {}

    void setDirectory(const QString &directory) { m_directory = directory; }
    QString path() const;

    // Appends the issue when it is a warning, an error or an alarm of a run, a watch or a file.
    void report(const TIssue &issue) override;

    // Why the last line could not be appended; empty when it was.
    const QString &lastFailure() const { return m_lastFailure; }

    static QString fileName() { return QStringLiteral("kelvarin2-events.log"); }
    // One line with its line feed; tabs and line breaks inside the fields become blanks.
    static QByteArray line(const TIssue &issue);
    // "2026-12-09T14:03:11+03:00": local time with its offset from UTC.
    static QString timeText(const QDateTime &time);

private:
    QString m_directory;
    QString m_lastFailure;
};

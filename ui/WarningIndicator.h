#pragma once

#include "TIssue.h"

#include <QPointer>
#include <QToolButton>

class EventLogWindow;

// The status bar's lasting sign that something went wrong: hidden while all
// is well, a warning icon after a warning or an error, with the latest text
// as its tool tip. A click opens the event log and clears the sign: the user
// has looked at it.
class WarningIndicator : public QToolButton
{
    Q_OBJECT

public:
    explicit WarningIndicator(QWidget *parent = nullptr);

    // Shows the sign for a warning, an error or an alarm; notices leave it as it is.
    void noteIssue(const TIssue &issue, const QString &eventLogPath);
    // Opens the event log in its window (one, however often it is asked for)
    // and clears the sign.
    void openEventLog();
    // Where the log lies, before any issue was noted (the working directory's).
    void setLogPath(const QString &path) { m_logPath = path; }

    EventLogWindow *logWindow() const;

private:
    QString m_logPath;
    int m_unseen = 0;
    QPointer<EventLogWindow> m_window;
};

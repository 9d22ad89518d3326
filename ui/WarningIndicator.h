#pragma once

#include "TIssue.h"

#include <QToolButton>

class QPlainTextEdit;

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
    // Opens the event log in a window of its own and clears the sign.
    void openEventLog();

    QPlainTextEdit *logView() const { return m_view; }

    // The end of the log (the last 256 KB at most), as the window shows it.
    static QString logTail(const QString &path);

private:
    QString m_logPath;
    int m_unseen = 0;
    QPlainTextEdit *m_view = nullptr;
};

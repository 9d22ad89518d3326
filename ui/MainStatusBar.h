#pragma once

#include <QStatusBar>

class ElidedLabel;
class QLabel;
class TIssue;
class WarningIndicator;

// The main window's status bar: the status text (shortened in the middle when
// long, whole as the tool tip), the warning indicator, the journal panel and
// the mouse position over the image, in bold Tahoma where there is one.
class MainStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit MainStatusBar(QWidget *parent = nullptr);

    // Panel 0; the texts begin with one blank. Repainted at once: a run
    // shows its progress while it holds the event loop.
    void setStatusText(const QString &text);
    // Panel 0's text (0) or the position panel's (1).
    QString text(int panel) const;
    void setPositionText(const QString &text);
    // The journal panel: where the journal of the next run lies (a file by
    // its name, a server by its address; the tool tip has the whole place).
    void showJournalLocation(const QString &shown, const QString &whole);
    // The journal panel and the status text when the journal was not written.
    void showJournalFailure(const QString &text);
    // The sign of warnings, errors and alarms noted.
    void noteIssue(const TIssue &issue, const QString &eventLogPath);

private:
    ElidedLabel *m_statusPanel = nullptr;
    QLabel *m_positionPanel = nullptr;
    QLabel *m_journalPanel = nullptr;
    WarningIndicator *m_warnings = nullptr;
};

#pragma once

#include <QElapsedTimer>
#include <QStatusBar>

class ElidedLabel;
class QLabel;
class QProgressBar;
class QToolButton;
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
    void setStatusText(const QString &text) { setStatusText(text, text); }
    // Shows `shown`; `plain` is the text without what stands in for a part of
    // it for a while (an alarm for the waiting text), kept to show it again.
    void setStatusText(const QString &shown, const QString &plain);
    const QString &plainStatusText() const { return m_plainText; }
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
    // The offer to go back to a stopped watch (style 2) or wait for the start
    // time (style 1); hidden for 0.
    void offerResume(int style);
    void enableResume(bool on);
    // The progress bar of a run of `total` images: shown from the start of a
    // run of more than one image, advanced after every image, hidden at its end.
    void beginProgress(int total);
    void advanceProgress(int done);
    void endProgress();

Q_SIGNALS:
    // The resume button was clicked.
    void resumeRequested();

private:
    ElidedLabel *m_statusPanel = nullptr;
    QLabel *m_positionPanel = nullptr;
    QLabel *m_journalPanel = nullptr;
    WarningIndicator *m_warnings = nullptr;
    QToolButton *m_resumeButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QElapsedTimer m_progressClock;
    QString m_plainText;
};

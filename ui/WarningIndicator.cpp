#include "WarningIndicator.h"

#include "EventLog.h"
#include "EventLogWindow.h"

#include <QDir>
#include <QStyle>

WarningIndicator::WarningIndicator(QWidget *parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("WarningIndicator"));
    setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(this, &QToolButton::clicked, this, &WarningIndicator::openEventLog);
}

void WarningIndicator::noteIssue(const TIssue &issue, const QString &eventLogPath)
{
    if (issue.severity == TIssue::Severity::Information)
        return;
    m_logPath = eventLogPath;
    ++m_unseen;
    // The count goes into its own text first: a "%1" in the issue's text (a
    // file name) stays as it is.
    const QString hint = m_unseen == 1
        ? QStringLiteral("нажмите, чтобы открыть журнал событий")
        : QStringLiteral("предупреждений: %1; нажмите, чтобы открыть журнал событий").arg(m_unseen);
    setToolTip(QStringLiteral("%1  %2\n(%3: %4)")
                   .arg(EventLog::timeText(issue.time), issue.text, hint, QDir::toNativeSeparators(m_logPath)));
    show();
    // An open log window shows the line just written.
    if (m_window)
        m_window->showLog(m_logPath);
}

EventLogWindow *WarningIndicator::logWindow() const
{
    return m_window;
}

void WarningIndicator::openEventLog()
{
    if (!m_window) {
        m_window = new EventLogWindow(window());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->showLog(m_logPath);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_unseen = 0;
    hide();
}

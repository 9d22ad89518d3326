#include "WarningIndicator.h"

#include "EventLog.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

static constexpr qint64 TailBytes = 256 * 1024;

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
}

QString WarningIndicator::logTail(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("Журнал событий %1 не найден.").arg(QDir::toNativeSeparators(path));
    if (file.size() > TailBytes) {
        file.seek(file.size() - TailBytes);
        file.readLine(); // the rest of a cut line
    }
    return QString::fromUtf8(file.read(TailBytes));
}

void WarningIndicator::openEventLog()
{
    auto *dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("EventLogWindow"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Журнал событий - %1").arg(QDir::toNativeSeparators(m_logPath)));
    m_view = new QPlainTextEdit(dialog);
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setPlainText(logTail(m_logPath));
    m_view->moveCursor(QTextCursor::End);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(m_view);
    dialog->resize(900, 400);
    connect(dialog, &QObject::destroyed, this, [this] { m_view = nullptr; });
    dialog->show();
    m_unseen = 0;
    hide();
}

#include "MainStatusBar.h"

#include "ElidedLabel.h"
#include "MainFormRules.h"
#include "WarningIndicator.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

static const int PositionPanelWidth = 200;

MainStatusBar::MainStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("statusBarMain"));
    QFont font(QStringLiteral("Tahoma"));
    if (QFontInfo(font).family() != QLatin1String("Tahoma"))
        font = QApplication::font();
    font.setBold(true);
    m_statusPanel = new ElidedLabel;
    m_statusPanel->setObjectName(QStringLiteral("labelStatus"));
    m_statusPanel->setFont(font);
    m_positionPanel = new QLabel;
    m_positionPanel->setObjectName(QStringLiteral("labelPosition"));
    m_positionPanel->setFont(font);
    m_positionPanel->setTextFormat(Qt::PlainText);
    m_positionPanel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The position panel keeps its width whatever the window's; the status
    // panel takes the rest.
    m_positionPanel->setFixedWidth(PositionPanelWidth);
    addWidget(m_statusPanel, 1);
    m_resumeButton = new QToolButton;
    m_resumeButton->setObjectName(QStringLiteral("buttonResume"));
    m_resumeButton->setAutoRaise(true);
    m_resumeButton->hide();
    connect(m_resumeButton, &QToolButton::clicked, this, &MainStatusBar::resumeRequested);
    addPermanentWidget(m_resumeButton);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progressRun"));
    m_progress->setMinimumWidth(220);
    m_progress->hide();
    addPermanentWidget(m_progress);
    m_warnings = new WarningIndicator(this);
    addPermanentWidget(m_warnings);
    m_journalPanel = new QLabel;
    m_journalPanel->setObjectName(QStringLiteral("labelJournal"));
    m_journalPanel->setTextFormat(Qt::PlainText);
    addPermanentWidget(m_journalPanel);
    addPermanentWidget(m_positionPanel);
}

void MainStatusBar::setStatusText(const QString &text, const QString &plain)
{
    m_plainText = plain;
    m_statusPanel->setFullText(text);
    m_statusPanel->repaint();
}

QString MainStatusBar::text(int panel) const
{
    return panel == 0 ? m_statusPanel->text() : m_positionPanel->text();
}

void MainStatusBar::setPositionText(const QString &text)
{
    m_positionPanel->setText(text);
}

void MainStatusBar::showJournalLocation(const QString &shown, const QString &whole)
{
    m_journalPanel->setText(QStringLiteral(" Журнал: %1 ").arg(shown));
    m_journalPanel->setToolTip(QStringLiteral("Журнал измерений: %1").arg(whole));
}

void MainStatusBar::showJournalFailure(const QString &text)
{
    m_journalPanel->setText(QStringLiteral(" Журнал не записан! "));
    m_journalPanel->setToolTip(text);
    setStatusText(QLatin1Char(' ') + text);
}

void MainStatusBar::noteIssue(const TIssue &issue, const QString &eventLogPath)
{
    m_warnings->noteIssue(issue, eventLogPath);
}

void MainStatusBar::offerResume(int style)
{
    m_resumeButton->setText(style == 1 ? QStringLiteral("Возобновить ожидание запуска")
                                       : QStringLiteral("Возобновить наблюдение"));
    m_resumeButton->setToolTip(style == 1
                                   ? QStringLiteral("Снова ждать времени запуска, заданного в настройках")
                                   : QStringLiteral("Снова обрабатывать новые файлы буферной директории"));
    m_resumeButton->setVisible(style == 1 || style == 2);
}

void MainStatusBar::enableResume(bool on)
{
    m_resumeButton->setEnabled(on);
}

void MainStatusBar::beginProgress(int total)
{
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(0);
    m_progress->setFormat(MainFormRules::progressText(0, total, 0));
    m_progress->setVisible(total > 1);
    m_progressClock.start();
}

void MainStatusBar::advanceProgress(int done)
{
    if (!m_progress->isVisible())
        return;
    m_progress->setValue(done);
    m_progress->setFormat(MainFormRules::progressText(done, m_progress->maximum(), m_progressClock.elapsed()));
    // A run holds the event loop: the bar is painted now, not at its end.
    m_progress->repaint();
}

void MainStatusBar::endProgress()
{
    m_progress->hide();
}

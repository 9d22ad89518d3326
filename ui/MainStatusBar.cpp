#include "MainStatusBar.h"

#include "ElidedLabel.h"
#include "WarningIndicator.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QToolButton>

static const int PositionPanelWidth = 200;

MainStatusBar::MainStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    QFont font(QStringLiteral("Tahoma"));
    if (QFontInfo(font).family() != QLatin1String("Tahoma"))
        font = QApplication::font();
    font.setBold(true);
    m_statusPanel = new ElidedLabel;
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel0"));
    m_statusPanel->setFont(font);
    m_positionPanel = new QLabel;
    m_positionPanel->setObjectName(QStringLiteral("StatusPanel1"));
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
    m_warnings = new WarningIndicator(this);
    addPermanentWidget(m_warnings);
    m_journalPanel = new QLabel;
    m_journalPanel->setObjectName(QStringLiteral("JournalPanel"));
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

#include "AlarmIndicator.h"

// The list in the tool tip keeps the latest events only.
static constexpr int MaxListed = 20;

AlarmIndicator::AlarmIndicator(QWidget *parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("AlarmIndicator"));
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(this, &QToolButton::clicked, this, &AlarmIndicator::acknowledge);
    showLevel();
}

void AlarmIndicator::addEvent(const AlarmEvent &event)
{
    m_level = std::max(m_level, event.level);
    m_events << event.time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + QStringLiteral("  ")
            + event.text();
    while (m_events.size() > MaxListed)
        m_events.removeFirst();
    showLevel();
}

void AlarmIndicator::acknowledge()
{
    if (m_level == LimitLevel::None)
        return;
    m_level = LimitLevel::None;
    m_events.clear();
    showLevel();
    Q_EMIT acknowledged();
}

void AlarmIndicator::showLevel()
{
    switch (m_level) {
    case LimitLevel::None:
        // Nothing to report takes no room in the status bar.
        setText(QString());
        setToolTip(QString());
        setVisible(false);
        return;
    case LimitLevel::Warning:
        setText(QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"));
        setStyleSheet(QStringLiteral("QToolButton { background: #ffd800; color: black; font-weight: bold; }"));
        break;
    case LimitLevel::Alarm:
        setText(QStringLiteral("АВАРИЯ"));
        setStyleSheet(QStringLiteral("QToolButton { background: #e00000; color: white; font-weight: bold; }"));
        break;
    }
    setToolTip(m_events.join(QLatin1Char('\n')) + QStringLiteral("\n\nЩелчок - подтвердить"));
    setVisible(true);
}

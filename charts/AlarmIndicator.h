#pragma once

#include "AlarmTracker.h"

#include <QStringList>
#include <QToolButton>

// The alarm light of the status bar: hidden while no limit has been passed,
// yellow after a warning, red after an alarm. It keeps the worst level and
// the list of events (its tool tip) until the operator clicks it, which
// acknowledges them all.
class AlarmIndicator : public QToolButton
{
    Q_OBJECT

public:
    explicit AlarmIndicator(QWidget *parent = nullptr);

    void addEvent(const AlarmEvent &event);
    LimitLevel level() const { return m_level; }
    const QStringList &events() const { return m_events; }

public Q_SLOTS:
    void acknowledge();

Q_SIGNALS:
    void acknowledged();

private:
    void showLevel();

    LimitLevel m_level = LimitLevel::None;
    QStringList m_events;
};

#pragma once

#include "Displacement.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

// A zone of an image passing a limit it had not passed before.
struct AlarmEvent
{
    int zone = 0;
    LimitLevel level = LimitLevel::None;
    double dx = 0;          // the monitored displacement, in the zone's unit
    double dy = 0;
    double magnitude = 0;
    double limit = 0;
    bool millimetres = false;
    int number = 0;
    QString image;
    QDateTime time;

    // "Зона 3: смещение 2.5000 мм выше аварийного предела 2 мм (img0042.bmp)".
    QString text() const;
};

// Turns the levels of successive images into events: a zone raises an event
// when its level rises (none to warning, none or warning to alarm), not again
// while it stays there, and again after it has fallen back below and passes
// the limit anew. An image in which a zone has no value (not found, or no
// reference zone found) leaves the zone's state as it was, so a target that
// flickers in and out does not repeat its alarm.
class AlarmTracker
{
public:
    // The events of one image's points, zone by zone in zone order.
    QList<AlarmEvent> update(const QList<DisplacementPoint> &imagePoints, const MonitoringSettings &settings);
    // Forgets every zone's state (a new run).
    void reset() { m_levels.clear(); }
    LimitLevel levelOf(int zone) const { return m_levels.value(zone, LimitLevel::None); }

private:
    QMap<int, LimitLevel> m_levels;
};

#include "AlarmTracker.h"

#include "LocaleFormat.h"

#include <QFileInfo>

#include <algorithm>

QString AlarmEvent::text() const
{
    const QString unit = Displacement::unitName(millimetres);
    const QString which = level == LimitLevel::Alarm ? QStringLiteral("аварийного") : QStringLiteral("предупредительного");
    return QStringLiteral("Зона %1: смещение %2 %3 выше %4 предела %5 %3 (%6)")
        .arg(zone)
        .arg(LocaleFormat::formatFixed(magnitude, 4), unit, which, LocaleFormat::formatGeneral(limit),
             QFileInfo(image).fileName());
}

QList<AlarmEvent> AlarmTracker::update(const QList<DisplacementPoint> &imagePoints, const MonitoringSettings &settings)
{
    QList<DisplacementPoint> points = imagePoints;
    std::sort(points.begin(), points.end(),
              [](const DisplacementPoint &a, const DisplacementPoint &b) { return a.zone < b.zone; });
    QList<AlarmEvent> events;
    for (const DisplacementPoint &p : points) {
        AlarmEvent e;
        if (!Displacement::monitored(p, settings, DisplacementComponent::Dx, &e.dx)
            || !Displacement::monitored(p, settings, DisplacementComponent::Dy, &e.dy)
            || !Displacement::monitoredMagnitude(p, settings, &e.magnitude))
            continue;
        const LimitLevel level = Displacement::levelOf(e.magnitude, p.zone, settings);
        const LimitLevel before = m_levels.value(p.zone, LimitLevel::None);
        m_levels.insert(p.zone, level);
        if (level <= before)
            continue;
        e.zone = p.zone;
        e.level = level;
        e.limit = level == LimitLevel::Alarm ? settings.alarmLimitOf(p.zone) : settings.warningLimitOf(p.zone);
        e.millimetres = p.inMillimetres();
        e.number = p.number;
        e.image = p.image;
        e.time = p.imageTime;
        events << e;
    }
    return events;
}

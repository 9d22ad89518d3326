#include "Displacement.h"

#include <QHash>

#include <cmath>

bool DisplacementPoint::value(DisplacementComponent component, bool corrected, double *result) const
{
    if (!valid || (corrected && !hasCorrected))
        return false;
    const double x = corrected ? dxCorrected : dx;
    const double y = corrected ? dyCorrected : dy;
    const double scale = pixelSize > 0 ? pixelSize : 1.0;
    switch (component) {
    case DisplacementComponent::Dx: *result = x * scale; break;
    case DisplacementComponent::Dy: *result = y * scale; break;
    case DisplacementComponent::Magnitude: *result = std::hypot(x, y) * scale; break;
    }
    return true;
}

namespace {

// The mean displacement of the usable reference zones of one image.
struct ImageShift
{
    double dx = 0;
    double dy = 0;
    int count = 0;
};

using ImageKey = QPair<qint64, int>; // run, image number

QHash<ImageKey, ImageShift> referenceShifts(const QList<TJournalRow> &rows, const MonitoringSettings &settings)
{
    QHash<ImageKey, ImageShift> shifts;
    for (const TJournalRow &row : rows) {
        if (!Displacement::isReference(row, settings))
            continue;
        ImageShift &shift = shifts[ImageKey(row.runId, row.number)];
        shift.dx += row.dx;
        shift.dy += row.dy;
        ++shift.count;
    }
    for (ImageShift &shift : shifts) {
        shift.dx /= shift.count;
        shift.dy /= shift.count;
    }
    return shifts;
}

} // namespace

namespace Displacement {

QList<DisplacementPoint> evaluate(const QList<TJournalRow> &rows, const MonitoringSettings &settings)
{
    const bool correcting = !settings.referenceZones.isEmpty();
    const QHash<ImageKey, ImageShift> shifts =
        correcting ? referenceShifts(rows, settings) : QHash<ImageKey, ImageShift>();
    QList<DisplacementPoint> points;
    points.reserve(rows.size());
    for (const TJournalRow &row : rows) {
        DisplacementPoint p;
        p.runId = row.runId;
        p.number = row.number;
        p.image = row.image;
        p.imageTime = row.imageTime;
        p.zone = row.zone;
        p.valid = row.found && row.hasOrigin;
        p.dx = row.dx;
        p.dy = row.dy;
        p.pixelSize = settings.pixelSizeOf(row.zone);
        if (p.valid && !correcting) {
            p.hasCorrected = true;
            p.dxCorrected = p.dx;
            p.dyCorrected = p.dy;
        } else if (p.valid) {
            const auto shift = shifts.constFind(ImageKey(row.runId, row.number));
            if (shift != shifts.cend()) {
                p.hasCorrected = true;
                p.dxCorrected = p.dx - shift->dx;
                p.dyCorrected = p.dy - shift->dy;
            }
        }
        points << p;
    }
    return points;
}

bool monitored(const DisplacementPoint &point, const MonitoringSettings &settings, DisplacementComponent component,
               double *result)
{
    return point.value(component, !settings.referenceZones.isEmpty(), result);
}

bool monitoredMagnitude(const DisplacementPoint &point, const MonitoringSettings &settings, double *magnitude)
{
    return monitored(point, settings, DisplacementComponent::Magnitude, magnitude);
}

LimitLevel levelOf(double magnitude, int zone, const MonitoringSettings &settings)
{
    const double alarm = settings.alarmLimitOf(zone);
    if (alarm > 0 && magnitude > alarm)
        return LimitLevel::Alarm;
    const double warning = settings.warningLimitOf(zone);
    if (warning > 0 && magnitude > warning)
        return LimitLevel::Warning;
    return LimitLevel::None;
}

QString levelName(LimitLevel level)
{
    switch (level) {
    case LimitLevel::None: return QStringLiteral("ok");
    case LimitLevel::Warning: return QStringLiteral("warning");
    case LimitLevel::Alarm: return QStringLiteral("alarm");
    }
    return {};
}

QString unitName(bool millimetres)
{
    return millimetres ? QStringLiteral("мм") : QStringLiteral("пикс");
}

} // namespace Displacement

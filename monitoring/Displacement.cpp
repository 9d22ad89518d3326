#include "Displacement.h"

#include <QHash>
#include <QPointF>

#include <algorithm>

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

using ImageKey = QPair<qint64, int>; // run, image number

// A zone's point before its correction.
DisplacementPoint rawPoint(qint64 runId, int number, const QString &image, const QDateTime &time, int zone,
                           bool valid, double dx, double dy, const MonitoringSettings &settings)
{
    DisplacementPoint p;
    p.runId = runId;
    p.number = number;
    p.image = image;
    p.imageTime = time;
    p.zone = zone;
    p.valid = valid;
    p.dx = dx;
    p.dy = dy;
    p.pixelSize = settings.pixelSizeOf(zone);
    return p;
}

// Gives a valid point its corrected value: the raw one without reference
// zones, else the raw one less the image's shift, when it has one.
void correct(DisplacementPoint &p, bool correcting, bool hasShift, double shiftX, double shiftY)
{
    if (!p.valid || (correcting && !hasShift))
        return;
    p.hasCorrected = true;
    p.dxCorrected = correcting ? p.dx - shiftX : p.dx;
    p.dyCorrected = correcting ? p.dy - shiftY : p.dy;
}

struct Shift
{
    bool known = false;
    double dx = 0;
    double dy = 0;
};

// The shift of every image of the rows, by their usable reference zones.
QHash<ImageKey, Shift> referenceShifts(const QList<TJournalRow> &rows, const MonitoringSettings &settings)
{
    QHash<ImageKey, QHash<int, QPointF>> references;
    for (const TJournalRow &row : rows) {
        if (Displacement::isReference(row, settings))
            references[ImageKey(row.runId, row.number)].insert(row.zone, QPointF(row.dx, row.dy));
    }
    const QList<int> order = Displacement::referenceOrder(settings);
    QHash<ImageKey, Shift> shifts;
    for (auto image = references.cbegin(); image != references.cend(); ++image) {
        const QHash<int, QPointF> &values = image.value();
        Shift &shift = shifts[image.key()];
        shift.known = Displacement::imageShift(
            order.size(),
            [&](qsizetype k, double *dx, double *dy) {
                const auto found = values.constFind(order.at(k));
                if (found == values.cend())
                    return false;
                *dx = found->x();
                *dy = found->y();
                return true;
            },
            &shift.dx, &shift.dy);
    }
    return shifts;
}

} // namespace

namespace Displacement {

QList<int> referenceOrder(const MonitoringSettings &settings)
{
    QList<int> references = settings.referenceZones;
    std::sort(references.begin(), references.end());
    references.erase(std::unique(references.begin(), references.end()), references.end());
    return references;
}

QList<DisplacementPoint> evaluate(const QList<TJournalRow> &rows, const MonitoringSettings &settings)
{
    const bool correcting = !settings.referenceZones.isEmpty();
    const QHash<ImageKey, Shift> shifts = correcting ? referenceShifts(rows, settings) : QHash<ImageKey, Shift>();
    QList<DisplacementPoint> points;
    points.reserve(rows.size());
    for (const TJournalRow &row : rows) {
        DisplacementPoint p = rawPoint(row.runId, row.number, row.image, row.imageTime, row.zone,
                                       row.found && row.hasOrigin, row.dx, row.dy, settings);
        const Shift shift = shifts.value(ImageKey(row.runId, row.number));
        correct(p, correcting, shift.known, shift.dx, shift.dy);
        points << p;
    }
    return points;
}

QList<DisplacementPoint> evaluate(const TRecordedImage &image, const MonitoringSettings &settings, qint64 runId)
{
    const bool correcting = !settings.referenceZones.isEmpty();
    const QList<int> order = referenceOrder(settings);
    double shiftX = 0;
    double shiftY = 0;
    const bool hasShift = correcting && imageShift(
        order.size(),
        [&](qsizetype k, double *dx, double *dy) {
            const qsizetype index = order.at(k) - 1;
            if (index < 0 || index >= image.zones.size())
                return false;
            const TZoneMeasurement &zone = image.zones.at(index);
            *dx = zone.dx;
            *dy = zone.dy;
            return zone.found && zone.hasOrigin;
        },
        &shiftX, &shiftY);
    const QString name = image.name();
    const QDateTime time = image.imageTime();
    QList<DisplacementPoint> points;
    points.reserve(image.zones.size());
    for (qsizetype k = 0; k < image.zones.size(); ++k) {
        const TZoneMeasurement &zone = image.zones.at(k);
        const bool valid = zone.found && zone.hasOrigin;
        DisplacementPoint p = rawPoint(runId, image.number, name, time, int(k) + 1, valid, valid ? zone.dx : 0,
                                       valid ? zone.dy : 0, settings);
        correct(p, correcting, hasShift, shiftX, shiftY);
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

#pragma once

#include "MonitoringSettings.h"
#include "TJournalRow.h"
#include "TRecordedImage.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The level a displacement has reached. Ordered: a higher level is worse.
enum class LimitLevel { None = 0, Warning = 1, Alarm = 2 };

// What is drawn and checked.
enum class DisplacementComponent { Dx, Dy, Magnitude };

// One zone of one image with its displacement as the monitoring sees it: the
// raw values of the journal, the values corrected by the reference zones of
// the same image, and the unit they are shown in.
struct DisplacementPoint
{
    qint64 runId = 0;
    int number = 0;
    QString image;
    QDateTime imageTime;
    int zone = 0;
    bool valid = false;        // found and the zone has an origin: dx, dy mean something
    double dx = 0;             // pixels
    double dy = 0;
    bool hasCorrected = false; // a reference zone was found in this image
    double dxCorrected = 0;    // pixels
    double dyCorrected = 0;
    double pixelSize = 0;      // millimetres per pixel, 0 for pixels

    bool inMillimetres() const { return pixelSize > 0; }

    // A component in the zone's unit (millimetres where a pixel size is set),
    // raw or corrected; false when there is no such value for this image.
    bool value(DisplacementComponent component, bool corrected, double *result) const;
};

// The correction, the units and the limits as plain functions.
namespace Displacement {

// Evaluates rows of the journal (any order, any number of images and runs).
// The correction of an image subtracts the mean displacement of those
// reference zones that were found there and have an origin; with reference
// zones set but none of them usable in an image, the image's zones have no
// corrected value. Without reference zones the corrected value is the raw one.
QList<DisplacementPoint> evaluate(const QList<TJournalRow> &rows, const MonitoringSettings &settings);
// The same for one image just measured, one point per zone.
QList<DisplacementPoint> evaluate(const TRecordedImage &image, const MonitoringSettings &settings, qint64 runId = 0);

// The reference zones, ascending, each once: the order their displacements
// are summed in, wherever an image's shift is computed.
QList<int> referenceOrder(const MonitoringSettings &settings);

// The camera's shake in one image: the mean displacement of its usable
// reference zones. valueOf(k, &dx, &dy) gives the displacement of the k-th
// reference zone (of `count`, in referenceOrder()), false where it has none
// (not found, or no origin). False when no reference zone is usable. The one
// routine of the correction: the charts' series and the checks of single
// images both use it, so they never disagree.
template <typename ValueOf>
bool imageShift(qsizetype count, ValueOf &&valueOf, double *shiftX, double *shiftY)
{
    double sumX = 0;
    double sumY = 0;
    int used = 0;
    for (qsizetype k = 0; k < count; ++k) {
        double dx = 0;
        double dy = 0;
        if (!valueOf(k, &dx, &dy))
            continue;
        sumX += dx;
        sumY += dy;
        ++used;
    }
    if (used == 0)
        return false;
    *shiftX = sumX / used;
    *shiftY = sumY / used;
    return true;
}

// Whether a row counts in the correction of its image: a reference zone,
// found, with an origin.
inline bool isReference(const TJournalRow &row, const MonitoringSettings &settings)
{
    return row.found && row.hasOrigin && settings.referenceZones.contains(row.zone);
}

// The displacement the limits are applied to: corrected where reference zones
// are set, else raw; in the zone's unit. False when there is none.
bool monitoredMagnitude(const DisplacementPoint &point, const MonitoringSettings &settings, double *magnitude);
bool monitored(const DisplacementPoint &point, const MonitoringSettings &settings, DisplacementComponent component,
               double *result);

// The level of a magnitude for a zone: a limit is passed when the magnitude is
// strictly above it; an unset limit is never passed.
LimitLevel levelOf(double magnitude, int zone, const MonitoringSettings &settings);

// "warning" and "alarm" as the alarm command and the event log name them.
QString levelName(LimitLevel level);

// "мм" or "пикс".
QString unitName(bool millimetres);

} // namespace Displacement

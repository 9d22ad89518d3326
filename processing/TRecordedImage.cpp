#include "TRecordedImage.h"

#include "ArchiveImages.h"
#include "TPointFinder.h"
#include "TZoneInfo.h"

#include <QFileInfo>

TRecordedImage TRecordedImage::of(const QString &path)
{
    TRecordedImage image;
    const QFileInfo info(path);
    image.path = info.absoluteFilePath();
    // An image in a zip archive keeps the time its entry holds.
    if (ArchiveImages::entryFacts(path, &image.modified, &image.size))
        return image;
    image.modified = info.lastModified();
    image.size = info.exists() ? info.size() : -1;
    return image;
}

void TRecordedImage::takeMeasurements(const TPointFinder &finder)
{
    takeMeasurements(finder.zones(), finder.lastMeasurements());
}

void TRecordedImage::takeMeasurements(const QList<TZoneInfo> &zoneList, const QList<TZoneMeasurement> &measured)
{
    processedAt = QDateTime::currentDateTime();
    number = zoneList.isEmpty() ? 0 : int(zoneList.first().points.size());
    zones = measured;
    // dx, dy against the origin whenever the target was found; they mean a
    // displacement only where the zone has an origin (hasOrigin).
    for (qsizetype k = 0; k < zones.size(); ++k) {
        TZoneMeasurement &zone = zones[k];
        const TZoneInfo *info = k < zoneList.size() ? &zoneList.at(k) : nullptr;
        const double x0 = info ? info->X0 : -1;
        const double y0 = info ? info->Y0 : -1;
        zone.hasOrigin = info && info->hasOrigin();
        zone.dx = zone.found ? zone.x - x0 : 0;
        zone.dy = zone.found ? zone.y - y0 : 0;
    }
}

QString TRecordedImage::name() const
{
    return QFileInfo(path).fileName();
}

int TRecordedImage::foundCount() const
{
    int found = 0;
    for (const TZoneMeasurement &zone : zones)
        found += zone.found ? 1 : 0;
    return found;
}

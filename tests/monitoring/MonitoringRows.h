#pragma once

#include "TJournalRow.h"
#include "TRecordedImage.h"

#include <QList>
#include <QTimeZone>

// Journal rows for the monitoring tests: one image, zone by zone.
struct ZoneValue
{
    int zone;
    bool found;
    double dx;
    double dy;
    bool hasOrigin = true;
};

inline QList<TJournalRow> imageRows(int number, const QList<ZoneValue> &zones, qint64 runId = 1)
{
    QList<TJournalRow> rows;
    const QDateTime start(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);
    for (const ZoneValue &z : zones) {
        TJournalRow row;
        row.runId = runId;
        row.number = number;
        row.image = QStringLiteral("img%1.bmp").arg(number, 4, 10, QLatin1Char('0'));
        row.imageTime = start.addSecs(600 * number);
        row.processedAt = row.imageTime.addSecs(5);
        row.zone = z.zone;
        row.found = z.found;
        row.hasOrigin = z.hasOrigin;
        row.dx = z.found && z.hasOrigin ? z.dx : 0;
        row.dy = z.found && z.hasOrigin ? z.dy : 0;
        row.x = z.found ? 100 + z.dx : -1;
        row.y = z.found ? 100 + z.dy : -1;
        rows << row;
    }
    return rows;
}

// The same image as a run's record hands it over: zones by their number
// (1-based), those not given not found.
inline TRecordedImage imageRecord(int number, const QList<ZoneValue> &zones)
{
    TRecordedImage image;
    const TJournalRow first = imageRows(number, {{1, false, 0, 0}}).first();
    image.path = QStringLiteral("/station/buffer/") + first.image;
    image.number = number;
    image.modified = first.imageTime;
    image.processedAt = first.processedAt;
    for (const ZoneValue &z : zones) {
        if (image.zones.size() < z.zone)
            image.zones.resize(z.zone);
        TZoneMeasurement &m = image.zones[z.zone - 1];
        m.found = z.found;
        m.hasOrigin = z.hasOrigin;
        m.x = z.found ? 100 + z.dx : -1;
        m.y = z.found ? 100 + z.dy : -1;
        m.dx = z.found ? z.dx : 0;
        m.dy = z.found ? z.dy : 0;
    }
    return image;
}

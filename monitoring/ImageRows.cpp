#include "ImageRows.h"

#include <QFileInfo>

namespace ImageRows {

QList<TJournalRow> lastImage(const QList<TZoneInfo> &zones, const QString &imagePath, qint64 runId)
{
    const QFileInfo file(imagePath);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime modified = file.exists() ? file.lastModified() : now;
    QList<TJournalRow> rows;
    for (qsizetype i = 0; i < zones.size(); ++i) {
        const TZoneInfo &zone = zones.at(i);
        if (zone.points.isEmpty())
            continue;
        const VT_Point &point = zone.points.last();
        TJournalRow row;
        row.runId = runId;
        row.number = int(zone.points.size());
        row.image = file.fileName();
        row.imageTime = modified;
        row.processedAt = now;
        row.zone = int(i) + 1;
        row.found = !point.isNotFound();
        row.hasOrigin = zone.hasOrigin();
        row.x = point.x;
        row.y = point.y;
        if (row.found && row.hasOrigin) {
            row.dx = point.x - zone.X0;
            row.dy = point.y - zone.Y0;
        }
        rows << row;
    }
    return rows;
}

} // namespace ImageRows

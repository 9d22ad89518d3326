#include "JournalRowReader.h"

#include "JournalValues.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <limits>

using namespace JournalValues;

namespace {

// What the rows of a run share, read once before its measurements.
struct RunRowsContext
{
    struct Image
    {
        int number = 0;
        QString name;
        QDateTime modified;
        QDateTime processed;
    };
    QString base;
    QString station;
    QHash<int, bool> origins; // zone -> has an origin
    QHash<qint64, Image> images;
};

bool execFor(QSqlQuery &query, const QString &sql, qint64 runId)
{
    query.prepare(sql);
    query.addBindValue(runId);
    return query.exec();
}

bool readRunContext(QSqlQuery &query, qint64 runId, RunRowsContext *context)
{
    if (!execFor(query, QStringLiteral("SELECT base, station FROM runs WHERE id = ?"), runId))
        return false;
    if (query.next()) {
        context->base = query.value(0).toString();
        context->station = query.value(1).toString();
    }
    if (!execFor(query, QStringLiteral("SELECT zone, x0, y0 FROM run_zones WHERE run_id = ?"), runId))
        return false;
    while (query.next())
        context->origins.insert(query.value(0).toInt(),
                                query.value(1).toDouble() > -1 && query.value(2).toDouble() > -1);
    if (!execFor(query,
                 QStringLiteral("SELECT id, number, name, modified_at, processed_at FROM images WHERE run_id = ?"),
                 runId))
        return false;
    while (query.next()) {
        context->images.insert(query.value(0).toLongLong(),
                               RunRowsContext::Image{query.value(1).toInt(), query.value(2).toString(),
                                                     parseTime(query.value(3)), parseTime(query.value(4))});
    }
    return true;
}

// The measurement's own columns of a query, from column `first` on, into a row:
// zone, found, x, y, dx, dy, area, mean, maximum, threshold, sx, sy, spots.
void takeMeasurement(const QSqlQuery &query, int first, TJournalRow *row)
{
    row->zone = query.value(first).toInt();
    row->found = query.value(first + 1).toInt() != 0;
    row->x = row->found ? query.value(first + 2).toDouble() : -1;
    row->y = row->found ? query.value(first + 3).toDouble() : -1;
    row->dx = row->found ? query.value(first + 4).toDouble() : 0;
    row->dy = row->found ? query.value(first + 5).toDouble() : 0;
    row->area = query.value(first + 6).toInt();
    row->mean = query.value(first + 7).toDouble();
    row->maximum = query.value(first + 8).toDouble();
    row->threshold = query.value(first + 9).toDouble();
    const auto nullable = [&](int column) {
        const QVariant value = query.value(first + column);
        return value.isNull() ? std::numeric_limits<double>::quiet_NaN() : value.toDouble();
    };
    row->sx = nullable(10);
    row->sy = nullable(11);
    const QVariant spots = query.value(first + 12);
    row->spots = spots.isNull() ? -1 : spots.toInt();
}

// The measurement's columns a query reads; a journal of schema 1 has no
// spot figures, read as NULL there.
QString measurementColumns(bool spotColumns)
{
    return QStringLiteral("m.zone, m.found, m.x, m.y, m.dx, m.dy, m.area, m.mean, m.maximum, m.threshold, %1")
        .arg(spotColumns ? QStringLiteral("m.sx, m.sy, m.spots") : QStringLiteral("NULL, NULL, NULL"));
}

} // namespace

bool JournalRowReader::failed(const QString &reason)
{
    m_error = reason;
    return false;
}

// A reader may open a journal of schema 1 as it is (it never migrates).
bool JournalRowReader::hasSpotColumns()
{
    if (m_schema == 0) {
        QSqlQuery query(m_db);
        m_schema = query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) && query.next()
            ? query.value(0).toInt()
            : 1;
    }
    return m_schema >= 2;
}

bool JournalRowReader::forEachRow(qint64 runId, const std::function<void(const TJournalRow &)> &visit)
{
    // What is the same for every zone of the run and of an image is read once:
    // the run's base and origins, then each image; the measurements alone are
    // read row by row.
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    RunRowsContext context;
    if (!readRunContext(query, runId, &context))
        return failed(query.lastError().text());
    if (!execFor(query,
                 QStringLiteral("SELECT m.image_id, %1 FROM measurements m JOIN images i ON i.id = m.image_id "
                                "WHERE i.run_id = ? ORDER BY m.image_id, m.zone")
                     .arg(measurementColumns(hasSpotColumns())),
                 runId))
        return failed(query.lastError().text());
    TJournalRow row;
    row.runId = runId;
    row.base = context.base;
    row.station = context.station;
    qint64 imageId = -1;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (id != imageId) {
            imageId = id;
            const RunRowsContext::Image image = context.images.value(id);
            row.number = image.number;
            row.image = image.name;
            row.imageTime = image.modified;
            row.processedAt = image.processed;
        }
        takeMeasurement(query, 1, &row);
        row.hasOrigin = context.origins.value(row.zone, false);
        visit(row);
    }
    if (query.lastError().isValid())
        return failed(query.lastError().text());
    return true;
}

bool JournalRowReader::lastImage(qint64 runId, int foundZone, QList<TJournalRow> *rows)
{
    rows->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // The image is found through the index on (run, number); its zones
    // through the measurements' key, their origins through run_zones' key.
    const QString image = foundZone > 0
        ? QStringLiteral("SELECT f.id FROM images f JOIN measurements g ON g.image_id = f.id WHERE f.run_id = ? "
                         "AND g.zone = ? AND g.found = 1 ORDER BY f.number DESC, f.id DESC LIMIT 1")
        : QStringLiteral("SELECT id FROM images WHERE run_id = ? ORDER BY number DESC, id DESC LIMIT 1");
    query.prepare(QStringLiteral(
        "SELECT r.base, r.station, i.number, i.name, i.modified_at, i.processed_at, z.x0, z.y0, %1 "
        "FROM images i JOIN runs r ON r.id = i.run_id JOIN measurements m ON m.image_id = i.id "
        "LEFT JOIN run_zones z ON z.run_id = i.run_id AND z.zone = m.zone "
        "WHERE i.id = (%2) ORDER BY m.zone").arg(measurementColumns(hasSpotColumns()), image));
    query.addBindValue(runId);
    if (foundZone > 0)
        query.addBindValue(foundZone);
    if (!query.exec())
        return failed(query.lastError().text());
    while (query.next()) {
        TJournalRow row;
        row.runId = runId;
        row.base = query.value(0).toString();
        row.station = query.value(1).toString();
        row.number = query.value(2).toInt();
        row.image = query.value(3).toString();
        row.imageTime = parseTime(query.value(4));
        row.processedAt = parseTime(query.value(5));
        row.hasOrigin = !query.value(6).isNull() && query.value(6).toDouble() > -1 && query.value(7).toDouble() > -1;
        takeMeasurement(query, 8, &row);
        rows->append(row);
    }
    if (query.lastError().isValid())
        return failed(query.lastError().text());
    return true;
}

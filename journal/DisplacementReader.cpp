#include "DisplacementReader.h"

#include "JournalLocation.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace {

// SQLite waits this long for a writer before it gives up (ms), as the journal does.
constexpr int BusyTimeout = 30000;

const char *const OriginsQuery = "SELECT zone, x0, y0 FROM run_zones WHERE run_id = ? ORDER BY zone";
const char *const ImagesQuery =
    "SELECT id, number, name, modified_at, processed_at FROM images WHERE run_id = ? ORDER BY id";
// Ordered by the image as the index on (run, image) and the measurements'
// key give it: no sort of the run's measurements. The spot's figures are
// NULL in a journal of schema 1, which a reader reads as it is.
const char *const MeasurementsQuery =
    "SELECT m.image_id, m.zone, m.found, m.dx, m.dy, m.sx, m.sy, m.spots FROM images i "
    "JOIN measurements m ON m.image_id = i.id WHERE i.run_id = ? ORDER BY i.id, m.zone";
const char *const Schema1MeasurementsQuery =
    "SELECT m.image_id, m.zone, m.found, m.dx, m.dy, NULL, NULL, NULL FROM images i "
    "JOIN measurements m ON m.image_id = i.id WHERE i.run_id = ? ORDER BY i.id, m.zone";
const char *const SchemaQuery = "SELECT MAX(version) FROM schema_version";

// One measurement as read: the spot's figures NaN and -1 where the journal has none.
struct Measurement
{
    qint64 imageId = 0;
    int zone = 0;
    bool found = false;
    double dx = 0;
    double dy = 0;
    double sx = std::numeric_limits<double>::quiet_NaN();
    double sy = std::numeric_limits<double>::quiet_NaN();
    qint64 spots = -1;
};

// What both readers make of the rows they read: the images in the order of
// their ids, then each measurement put into its zone's arrays at its image.
class Builder
{
public:
    explicit Builder(TJournalDisplacements *out) : m_out(out) {}

    void origin(int zone, double x0, double y0) { m_origins.insert(zone, x0 > -1 && y0 > -1); }

    void image(qint64 id, int number, QString name, const QDateTime &modified, const QDateTime &processed)
    {
        m_ids << id;
        m_out->images << TJournalDisplacements::Image{number, std::move(name), modified.isValid() ? modified : processed};
    }

    // A column for every zone of the run, in zone order, before the measurements.
    void makeColumns()
    {
        QList<int> zones = m_origins.keys();
        std::sort(zones.begin(), zones.end());
        for (int zone : zones)
            columnOf(zone);
    }

    void measurement(const Measurement &m)
    {
        while (m_cursor < m_ids.size() && m_ids.at(m_cursor) < m.imageId)
            ++m_cursor;
        // An image recorded after the images were read is left for the next reading.
        if (m_cursor == m_ids.size() || m_ids.at(m_cursor) != m.imageId)
            return;
        const Column &column = columnOf(m.zone);
        if (m.found && column.hasOrigin) {
            column.dx[m_cursor] = m.dx;
            column.dy[m_cursor] = m.dy;
            column.sx[m_cursor] = float(m.sx);
            column.sy[m_cursor] = float(m.sy);
        }
        column.spots[m_cursor] = TJournalDisplacements::spotCount(m.spots);
    }

private:
    // Where a zone's values go. The arrays hold every image already, so they
    // never move while the measurements are read.
    struct Column
    {
        int zone = 0;
        bool hasOrigin = false;
        double *dx = nullptr;
        double *dy = nullptr;
        float *sx = nullptr;
        float *sy = nullptr;
        qint16 *spots = nullptr;
    };

    // The zones of an image come in order: the next column is tried first.
    const Column &columnOf(int zone)
    {
        m_last = m_last + 1 < m_columns.size() ? m_last + 1 : 0;
        if (m_last < m_columns.size() && m_columns.at(m_last).zone == zone)
            return m_columns.at(m_last);
        for (m_last = 0; m_last < m_columns.size(); ++m_last) {
            if (m_columns.at(m_last).zone == zone)
                return m_columns.at(m_last);
        }
        TJournalDisplacements::Zone &z = m_out->zone(zone);
        m_columns << Column{zone,        m_origins.value(zone, false), z.dx.data(), z.dy.data(),
                            z.sx.data(), z.sy.data(), z.spots.data()};
        return m_columns.last();
    }

    TJournalDisplacements *m_out;
    QHash<int, bool> m_origins;
    QList<qint64> m_ids;
    QList<Column> m_columns;
    qsizetype m_last = 0;
    qsizetype m_cursor = 0;
};

// ---- SQLite ------------------------------------------------------------------

class SqliteConnection
{
public:
    ~SqliteConnection() { sqlite3_close(m_db); }
    // As the journal's readers open it: for queries only, so that the last
    // connection to close removes the log and its index; where the file or
    // its folder may not be written, in SQLite's read-only mode.
    bool open(const QString &file)
    {
        const QByteArray path = QFile::encodeName(file);
        if (openWith(path, SQLITE_OPEN_READWRITE) && exec("PRAGMA query_only=1")
            && exec("SELECT COUNT(*) FROM sqlite_master"))
            return true;
        const QByteArray uri = JournalLocation::readOnlyUri(file).toUtf8();
        return openWith(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    }
    QString error() const
    {
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("нет памяти для соединения");
    }
    bool exec(const char *sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    // Runs a query with its parameters, handing each row to `row`.
    template<typename Row>
    bool forEach(const char *sql, std::initializer_list<qint64> parameters, Row row)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return false;
        int index = 0;
        for (qint64 parameter : parameters)
            sqlite3_bind_int64(statement, ++index, parameter);
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            row(statement);
        sqlite3_finalize(statement);
        return rc == SQLITE_DONE;
    }

private:
    bool openWith(const QByteArray &name, int flags)
    {
        sqlite3_close(m_db);
        m_db = nullptr;
        const int rc = sqlite3_open_v2(name.constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK)
            sqlite3_busy_timeout(m_db, BusyTimeout);
        return rc == SQLITE_OK;
    }

    sqlite3 *m_db = nullptr;
};

QDateTime timeColumn(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return DisplacementReader::parseTime(text, sqlite3_column_bytes(statement, column));
}

QString textColumn(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// A measurement's row of the query; NULL figures are none.
Measurement sqliteMeasurement(sqlite3_stmt *s)
{
    Measurement m;
    m.imageId = sqlite3_column_int64(s, 0);
    m.zone = sqlite3_column_int(s, 1);
    m.found = sqlite3_column_int(s, 2) != 0;
    m.dx = sqlite3_column_double(s, 3);
    m.dy = sqlite3_column_double(s, 4);
    if (sqlite3_column_type(s, 5) != SQLITE_NULL && sqlite3_column_type(s, 6) != SQLITE_NULL) {
        m.sx = sqlite3_column_double(s, 5);
        m.sy = sqlite3_column_double(s, 6);
    }
    if (sqlite3_column_type(s, 7) != SQLITE_NULL)
        m.spots = sqlite3_column_int64(s, 7);
    return m;
}

// ---- times -------------------------------------------------------------------

bool readDigits(const char *text, int at, int count, int *value)
{
    int v = 0;
    for (int k = 0; k < count; ++k) {
        const char c = text[at + k];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

// "yyyy-MM-ddTHH:mm:ss.zzz+hh:mm" exactly; false for anything else.
bool parseJournalTime(const char *t, qsizetype length, QDateTime *result)
{
    if (length != 29 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t[19] != '.'
        || (t[23] != '+' && t[23] != '-') || t[26] != ':')
        return false;
    int year, month, day, hour, minute, second, ms, offsetHours, offsetMinutes;
    if (!readDigits(t, 0, 4, &year) || !readDigits(t, 5, 2, &month) || !readDigits(t, 8, 2, &day)
        || !readDigits(t, 11, 2, &hour) || !readDigits(t, 14, 2, &minute) || !readDigits(t, 17, 2, &second)
        || !readDigits(t, 20, 3, &ms) || !readDigits(t, 24, 2, &offsetHours) || !readDigits(t, 27, 2, &offsetMinutes))
        return false;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59 || offsetHours > 23 || offsetMinutes > 59)
        return false;
    const int offset = (t[23] == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    constexpr qint64 UnixEpochJulianDay = 2440588;
    const qint64 local = (date.toJulianDay() - UnixEpochJulianDay) * 86400000LL
                       + ((hour * 60LL + minute) * 60 + second) * 1000 + ms;
    *result = QDateTime::fromMSecsSinceEpoch(local - offset * 1000LL, Qt::OffsetFromUTC, offset);
    return true;
}

} // namespace

namespace {

Measurement sqlMeasurement(const QSqlQuery &query)
{
    Measurement m;
    m.imageId = query.value(0).toLongLong();
    m.zone = query.value(1).toInt();
    m.found = query.value(2).toInt() != 0;
    m.dx = query.value(3).toDouble();
    m.dy = query.value(4).toDouble();
    if (!query.value(5).isNull() && !query.value(6).isNull()) {
        m.sx = query.value(5).toDouble();
        m.sy = query.value(6).toDouble();
    }
    if (!query.value(7).isNull())
        m.spots = query.value(7).toLongLong();
    return m;
}

} // namespace

namespace DisplacementReader {

QDateTime parseTime(const char *text, qsizetype length)
{
    if (!text || length <= 0)
        return {};
    QDateTime time;
    if (parseJournalTime(text, length, &time))
        return time;
    return QDateTime::fromString(QString::fromUtf8(text, length), Qt::ISODateWithMs);
}

// One connection reads the run. Reading the later half of a long run through
// a second connection at once was tried and dropped: it had no measured gain
// on record to pay for a thread, a second snapshot and a builder that splits.
bool readSqlite(const QString &file, qint64 runId, TJournalDisplacements *out, QString *error)
{
    SqliteConnection db;
    Builder builder(out);
    // One read transaction: the images and their measurements as of one moment.
    bool spotColumns = false;
    bool ok = db.open(file) && db.exec("BEGIN")
           && db.forEach(SchemaQuery, {}, [&](sqlite3_stmt *s) { spotColumns = sqlite3_column_int(s, 0) >= 2; })
           && db.forEach(OriginsQuery, {runId}, [&](sqlite3_stmt *s) {
                  builder.origin(sqlite3_column_int(s, 0), sqlite3_column_double(s, 1), sqlite3_column_double(s, 2));
              })
           && db.forEach(ImagesQuery, {runId}, [&](sqlite3_stmt *s) {
                  builder.image(sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1), textColumn(s, 2),
                                timeColumn(s, 3), timeColumn(s, 4));
              });
    builder.makeColumns();
    ok = ok && db.forEach(spotColumns ? MeasurementsQuery : Schema1MeasurementsQuery, {runId},
                          [&](sqlite3_stmt *s) { builder.measurement(sqliteMeasurement(s)); });
    if (!ok) {
        *error = db.error();
        return false;
    }
    db.exec("COMMIT");
    out->fillZones();
    return true;
}

bool readSql(const QSqlDatabase &db, qint64 runId, TJournalDisplacements *out, QString *error)
{
    bool spotColumns = false;
    Builder builder(out);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto run = [&](const char *sql, const auto &row) {
        if (!query.prepare(QString::fromLatin1(sql))) {
            *error = query.lastError().text();
            return false;
        }
        query.addBindValue(runId);
        if (!query.exec()) {
            *error = query.lastError().text();
            return false;
        }
        while (query.next())
            row();
        if (query.lastError().isValid()) {
            *error = query.lastError().text();
            return false;
        }
        return true;
    };
    const auto time = [&](int column) {
        const QByteArray text = query.value(column).toString().toUtf8();
        return parseTime(text.constData(), text.size());
    };
    const bool ok =
        run(OriginsQuery, [&] { builder.origin(query.value(0).toInt(), query.value(1).toDouble(), query.value(2).toDouble()); })
        && run(ImagesQuery, [&] {
               builder.image(query.value(0).toLongLong(), query.value(1).toInt(), query.value(2).toString(), time(3), time(4));
           });
    builder.makeColumns();
    QSqlQuery schema(db);
    if (ok && schema.exec(QString::fromLatin1(SchemaQuery)) && schema.next())
        spotColumns = schema.value(0).toInt() >= 2;
    const bool measured = ok
        && run(spotColumns ? MeasurementsQuery : Schema1MeasurementsQuery,
               [&] { builder.measurement(sqlMeasurement(query)); });
    out->fillZones();
    return measured;
}

} // namespace DisplacementReader

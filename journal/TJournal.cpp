#include "TJournal.h"

#include "DisplacementReader.h"
#include "JournalOpening.h"
#include "JournalRowReader.h"
#include "JournalSchema.h"
#include "JournalValues.h"
#include "SqliteZoneRows.h"
#include "TIssue.h"
#include "TMeasurementRecorder.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QHash>
#include <QRect>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#include <map>

using namespace JournalValues;

namespace {

QAtomicInt connectionCounter;

} // namespace

// An image's insert and its measurements' inserts: one statement for up to
// MeasurementsPerInsert zones at once, prepared for each count of zones met.
struct TJournal::Statements
{
    explicit Statements(const QSqlDatabase &db) : image(db), m_db(db) {}

    QSqlQuery &measurements(int rows)
    {
        auto found = zones.find(rows);
        if (found != zones.end())
            return found->second;
        QSqlQuery &query = zones.emplace(rows, QSqlQuery(m_db)).first->second;
        query.prepare(measurementsInsert(rows));
        return query;
    }

    QSqlQuery image;
    bool imagePrepared = false;
    std::map<int, QSqlQuery> zones;
    // On SQLite the zone rows go through SQLite's own interface.
    std::unique_ptr<SqliteZoneRows> sqliteZones;

private:
    QSqlDatabase m_db;
};

TJournal::TJournal(const QString &location, Access access)
    : m_location(JournalLocation::parse(location)), m_access(access),
      m_connection(QStringLiteral("kelvarin_journal_%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

TJournal::~TJournal()
{
    m_statements.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool TJournal::fail(const QString &what, const QString &reason)
{
    m_failureCode.clear();
    m_error = QStringLiteral("Журнал измерений %1: %2").arg(displayLocation(), what);
    if (!reason.trimmed().isEmpty())
        m_error += QStringLiteral(": ") + reason.trimmed();
    return false;
}

bool TJournal::fail(const QString &what, const QSqlError &error)
{
    fail(what, error.text());
    m_failureCode = error.nativeErrorCode();
    return false;
}

namespace {

// SQLite's result codes (the low byte of an extended code) of a journal that
// is busy, locked, full, unreadable for now or not there: the same write
// goes through later.
bool sqliteAway(int code)
{
    constexpr int Busy = 5, Locked = 6, ReadOnly = 8, IoError = 10, Full = 13, CantOpen = 14;
    const int primary = code & 0xff;
    return primary == Busy || primary == Locked || primary == ReadOnly || primary == IoError || primary == Full
        || primary == CantOpen;
}

// PostgreSQL's error classes of a server that is away or short of room for
// now: connection (08), resources (53), operator intervention (57, a server
// shutting down), and a transaction rolled back to be tried again (40).
bool postgresAway(const QString &sqlState)
{
    for (const char *prefix : {"08", "53", "57", "40"}) {
        if (sqlState.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

} // namespace

bool TJournal::failureIsAway()
{
    if (!m_open)
        return true;
    if (m_location.postgres) {
        if (postgresAway(m_failureCode))
            return true;
        // A connection the server dropped has no SQLSTATE: it answers nothing.
        QSqlQuery probe(QSqlDatabase::database(m_connection, false));
        return !probe.exec(QStringLiteral("SELECT 1"));
    }
    bool isCode = false;
    const int code = m_failureCode.toInt(&isCode);
    if (isCode)
        return sqliteAway(code);
    // Qt's driver gives a failed commit without its code, with SQLite's own
    // (never translated) text of it.
    for (const char *text : {"database is locked", "database table is locked", "disk I/O error",
                             "database or disk is full", "unable to open database file",
                             "attempt to write a readonly database"}) {
        if (m_error.contains(QLatin1String(text)))
            return true;
    }
    return false;
}

bool TJournal::open()
{
    if (m_open)
        return true;
    if (!m_location.error.isEmpty())
        return fail(QStringLiteral("не открывается"), m_location.error);
    JournalOpening::Failure failure;
    if (!JournalOpening::open(m_connection, m_location, m_access == Access::Read, &failure, m_busyTimeout))
        return fail(failure.what, failure.reason);
    m_statements = std::make_unique<Statements>(QSqlDatabase::database(m_connection, false));
    if (!m_location.postgres && m_access == Access::Write) {
        if (sqlite3 *handle = SqliteZoneRows::handleOf(QSqlDatabase::database(m_connection, false)))
            m_statements->sqliteZones = std::make_unique<SqliteZoneRows>(handle);
    }
    m_open = true;
    if (!m_syncEveryCommit)
        setSyncEveryCommit(false);
    return true;
}

void TJournal::setSyncEveryCommit(bool every)
{
    m_syncEveryCommit = every;
    if (!m_open || m_location.postgres || m_access == Access::Read)
        return;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.exec(every ? QStringLiteral("PRAGMA synchronous=FULL") : QStringLiteral("PRAGMA synchronous=NORMAL"));
}

int TJournal::schemaVersion()
{
    if (!open())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

qint64 TJournal::beginRun(const RunStart &run)
{
    if (!open())
        return 0;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return fail(QStringLiteral("прогон не записан"), db.lastError()), 0;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO runs (kind, base, station, started_at, settings, zones_file, zones_text) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    const QString station = run.station.isEmpty() ? QSysInfo::machineHostName() : run.station;
    for (const QVariant &value : {text(run.kind), text(run.base), text(station),
                                  timeValue(run.startedAt.isValid() ? run.startedAt : QDateTime::currentDateTime()), text(run.settings), text(run.zonesFile),
                                  text(run.zonesText)})
        query.addBindValue(value);
    qint64 id = 0;
    bool ok = query.exec() && query.next();
    if (ok)
        id = query.value(0).toLongLong();
    query.finish();
    QSqlQuery zone(db);
    zone.prepare(QStringLiteral("INSERT INTO run_zones (run_id, zone, x1, y1, x2, y2, x0, y0) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype k = 0; ok && k < run.zones.size(); ++k) {
        const QRect &rect = run.zones.at(k);
        const QPointF origin = k < run.origins.size() ? run.origins.at(k) : QPointF(-1, -1);
        for (const QVariant &value : {QVariant(id), QVariant(int(k + 1)), QVariant(rect.left()), QVariant(rect.top()),
                                      QVariant(rect.right()), QVariant(rect.bottom()), QVariant(origin.x()),
                                      QVariant(origin.y())})
            zone.addBindValue(value);
        ok = zone.exec();
    }
    const QSqlError error = query.lastError().type() != QSqlError::NoError ? query.lastError() : zone.lastError();
    if (!finishTransaction(ok, error, QStringLiteral("прогон не записан")))
        return 0;
    return id;
}

// Commits a transaction whose statements all succeeded, else rolls it back:
// the journal never keeps half a run or half an image. The failure names the
// statement's error, or the commit's when the statements went through.
bool TJournal::finishTransaction(bool ok, const QSqlError &error, const QString &what)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (ok && db.commit())
        return true;
    const QSqlError commitError = db.lastError();
    db.rollback();
    return fail(what, error.type() == QSqlError::NoError ? commitError : error);
}

bool TJournal::recordImage(qint64 runId, const TRecordedImage &image)
{
    return recordImages(runId, {image});
}

bool TJournal::recordImages(qint64 runId, const QList<TRecordedImage> &images)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString what = images.size() == 1
                             ? QStringLiteral("изображение %1 не записано").arg(QFileInfo(images.first().path).fileName())
                             : QStringLiteral("изображения не записаны (%1)").arg(images.size());
    if (!db.transaction())
        return fail(what, db.lastError());
    QSqlError reason;
    bool ok = true;
    for (qsizetype i = 0; ok && i < images.size(); ++i)
        ok = insertImage(runId, images.at(i), &reason);
    return finishTransaction(ok, reason, what);
}

// The image's row and its zones' rows, inside the caller's transaction.
bool TJournal::insertImage(qint64 runId, const TRecordedImage &image, QSqlError *error)
{
    QSqlQuery &query = m_statements->image;
    if (!m_statements->imagePrepared) {
        m_statements->imagePrepared =
            query.prepare(QStringLiteral("INSERT INTO images (run_id, number, path, name, modified_at, size, "
                                         "processed_at, fate, stored_as, detail) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    }
    int column = 0;
    for (const QVariant &value :
         {QVariant(runId), QVariant(image.number), text(image.path), text(imageName(image)),
          timeValue(image.modified),
          image.size >= 0 ? QVariant(image.size) : QVariant(QMetaType(QMetaType::LongLong)),
          timeValue(image.processedAt), text(fateName(image.fate)), text(image.storedAs),
          text(image.detail)})
        query.bindValue(column++, value);
    bool ok = m_statements->imagePrepared && query.exec() && query.next();
    const qint64 imageId = ok ? query.value(0).toLongLong() : 0;
    query.finish();
    *error = query.lastError();
    return ok && insertMeasurements(imageId, image, error);
}

bool TJournal::hasImage(qint64 runId, const TRecordedImage &image)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT 1 FROM images WHERE run_id = ? AND number = ? AND path = ?"));
    for (const QVariant &value : {QVariant(runId), QVariant(image.number), text(image.path)})
        query.addBindValue(value);
    return query.exec() && query.next();
}

// Every zone of the image, as few statements as its count of zones allows.
bool TJournal::insertMeasurements(qint64 imageId, const TRecordedImage &image, QSqlError *error)
{
    if (m_statements->sqliteZones)
        return m_statements->sqliteZones->insert(imageId, image, error);
    const int zones = int(image.zones.size());
    for (int first = 0; first < zones; first += MeasurementsPerInsert) {
        const int rows = std::min<int>(MeasurementsPerInsert, zones - first);
        QSqlQuery &insert = m_statements->measurements(rows);
        int column = 0;
        for (int k = first; k < first + rows; ++k) {
            const TZoneMeasurement &m = image.zones.at(k);
            for (const QVariant &value :
                 {QVariant(imageId), QVariant(k + 1), QVariant(m.found ? 1 : 0), nullable(m.found, m.x),
                  nullable(m.found, m.y), nullable(m.found, m.dx), nullable(m.found, m.dy),
                  QVariant(m.maximum), QVariant(m.threshold), QVariant(m.area), QVariant(m.mean),
                  text(rejectionName(m.rejection)),
                  // Spots are counted only where they are told apart; sx, sy only for a centre found.
                  m.spots > 0 ? QVariant(m.spots) : QVariant(QMetaType(QMetaType::Int)),
                  nullable(m.found, m.sx), nullable(m.found, m.sy)})
                insert.bindValue(column++, value);
        }
        if (!insert.exec()) {
            *error = insert.lastError();
            return false;
        }
    }
    return true;
}

bool TJournal::recordLaterFate(qint64 runId, const TRecordedImage &image)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("UPDATE images SET fate = ?, stored_as = ?, name = ?, detail = '' WHERE id = "
                                 "(SELECT MAX(id) FROM images WHERE run_id = ? AND path = ?)"));
    for (const QVariant &value : {text(fateName(image.fate)), text(image.storedAs), text(imageName(image)),
                                  QVariant(runId), text(image.path)})
        query.addBindValue(value);
    if (!query.exec()) {
        return fail(QStringLiteral("изображение %1 не записано").arg(QFileInfo(image.path).fileName()),
                    query.lastError());
    }
    return true;
}

bool TJournal::endRun(qint64 runId, const QString &base, const QDateTime &at)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(base.isEmpty() ? QStringLiteral("UPDATE runs SET ended_at = ? WHERE id = ?")
                                 : QStringLiteral("UPDATE runs SET ended_at = ?, base = ? WHERE id = ?"));
    query.addBindValue(timeValue(at.isValid() ? at : QDateTime::currentDateTime()));
    if (!base.isEmpty())
        query.addBindValue(base);
    query.addBindValue(runId);
    if (!query.exec())
        return fail(QStringLiteral("конец прогона не записан"), query.lastError());
    return true;
}

bool TJournal::checkpoint()
{
    if (!open())
        return false;
    if (m_location.postgres)
        return true;
    // TRUNCATE also empties the log, so that deleting it on closing frees
    // nothing; with no waiting, a reader in the middle of the log makes it
    // copy what it can and leave the log as it is.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const bool done = query.exec(QStringLiteral("PRAGMA busy_timeout=0"))
                   && query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const QString reason = query.lastError().text();
    query.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(m_busyTimeout));
    if (!done)
        return fail(QStringLiteral("журнал не перенесен в файл"), reason);
    return true;
}

bool TJournal::recordEvent(qint64 runId, const TIssue &issue)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // An event of a run is its run's station's; one outside a run, this computer's.
    query.prepare(QStringLiteral("INSERT INTO events (run_id, at, station, severity, source, file, text) "
                                 "VALUES (?, ?, COALESCE((SELECT station FROM runs WHERE id = ?), ?), ?, ?, ?, ?)"));
    const QVariant run = runId > 0 ? QVariant(runId) : QVariant(QMetaType(QMetaType::LongLong));
    for (const QVariant &value :
         {run, timeValue(issue.time), run, text(QSysInfo::machineHostName()),
          text(TIssue::severityName(issue.severity)),
          text(TIssue::sourceName(issue.source)), text(issue.file), text(issue.text)})
        query.addBindValue(value);
    if (!query.exec())
        return fail(QStringLiteral("событие не записано"), query.lastError());
    return true;
}

QList<TJournalRun> TJournal::runs(const QString &station)
{
    QList<TJournalRun> list;
    if (!open())
        return list;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT r.id, r.kind, r.base, r.started_at, r.ended_at, r.station, "
                                 "(SELECT COUNT(*) FROM images i WHERE i.run_id = r.id) FROM runs r %1 ORDER BY r.id")
                      .arg(station.isEmpty() ? QString() : QStringLiteral("WHERE r.station = ?")));
    if (!station.isEmpty())
        query.addBindValue(station);
    if (!query.exec()) {
        fail(QStringLiteral("не читается"), query.lastError().text());
        return list;
    }
    while (query.next()) {
        TJournalRun run;
        run.id = query.value(0).toLongLong();
        run.kind = query.value(1).toString();
        run.base = query.value(2).toString();
        run.start = parseTime(query.value(3));
        run.end = parseTime(query.value(4));
        run.station = query.value(5).toString();
        run.images = query.value(6).toInt();
        list << run;
    }
    return list;
}

qint64 TJournal::lastRunId()
{
    if (!open())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT MAX(id) FROM runs")) || !query.next()) {
        fail(QStringLiteral("не читается"), query.lastError().text());
        return 0;
    }
    return query.value(0).toLongLong();
}

qint64 TJournal::lastRunIdOfStation(const QString &station)
{
    if (!open())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT MAX(id) FROM runs WHERE station = ?"));
    query.addBindValue(station);
    if (!query.exec() || !query.next()) {
        fail(QStringLiteral("не читается"), query.lastError().text());
        return 0;
    }
    return query.value(0).toLongLong();
}

static bool hasBase(const TJournalRun &run, const QString &base)
{
    return run.base == base || run.base == QFileInfo(base).absoluteFilePath() || QFileInfo(run.base).fileName() == base;
}

qint64 TJournal::lastRunIdOfBase(const QString &base, const QString &station)
{
    qint64 found = 0;
    for (const TJournalRun &run : runs(station)) {
        if (hasBase(run, base))
            found = run.id;
    }
    return found;
}

QStringList TJournal::stationsOfBase(const QString &base)
{
    QStringList stations;
    for (const TJournalRun &run : runs()) {
        if (hasBase(run, base) && !stations.contains(run.station))
            stations << run.station;
    }
    return stations;
}

bool TJournal::runSettings(qint64 runId, QString *settings)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT settings FROM runs WHERE id = ?"));
    query.addBindValue(runId);
    if (!query.exec())
        return fail(QStringLiteral("не читается"), query.lastError().text());
    if (!query.next())
        return fail(QStringLiteral("не читается"), QStringLiteral("в нем нет прогона %1").arg(runId));
    *settings = query.value(0).toString();
    return true;
}

QList<TJournalRow> TJournal::rows(qint64 runId)
{
    QList<TJournalRow> list;
    forEachRow(runId, [&list](const TJournalRow &row) { list << row; });
    return list;
}

bool TJournal::forEachRow(qint64 runId, const std::function<void(const TJournalRow &)> &visit)
{
    if (!open())
        return false;
    JournalRowReader reader(QSqlDatabase::database(m_connection, false));
    return reader.forEachRow(runId, visit) || fail(QStringLiteral("не читается"), reader.error());
}

bool TJournal::lastImageRows(qint64 runId, int foundZone, QList<TJournalRow> *rows)
{
    if (!open())
        return false;
    JournalRowReader reader(QSqlDatabase::database(m_connection, false));
    return reader.lastImage(runId, foundZone, rows) || fail(QStringLiteral("не читается"), reader.error());
}

bool TJournal::readDisplacements(qint64 runId, TJournalDisplacements *out)
{
    if (!open())
        return false;
    *out = {};
    QString error;
    const bool read = m_location.postgres
                          ? DisplacementReader::readSql(QSqlDatabase::database(m_connection, false), runId, out, &error)
                          : DisplacementReader::readSqlite(m_location.file, runId, out, &error);
    if (!read) {
        *out = {};
        return fail(QStringLiteral("не читается"), error);
    }
    return true;
}

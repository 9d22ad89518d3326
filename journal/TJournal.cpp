#include "TJournal.h"

#include "DisplacementReader.h"
#include "JournalSchema.h"
#include "JournalValues.h"
#include "TIssue.h"
#include "TMeasurementRecorder.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QThread>
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

// SQLite answers "database is locked" to a change of the journal mode without
// waiting for the busy timeout while another process sets the file up; such
// a statement is tried again for as long as the timeout would have waited.
bool execWhileBusy(QSqlQuery &query, const QString &statement, int busyTimeout)
{
    QElapsedTimer waited;
    waited.start();
    while (!query.exec(statement)) {
        const QString error = query.lastError().text();
        const bool busy = error.contains(QLatin1String("locked")) || error.contains(QLatin1String("busy"));
        if (!busy || waited.elapsed() > busyTimeout)
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

// An image's insert and its measurements' inserts: one statement for up to
// RowsPerInsert zones at once, prepared for each count of zones met.
struct TJournal::Statements
{
    static constexpr int RowsPerInsert = 64;

    explicit Statements(const QSqlDatabase &db) : image(db), m_db(db) {}

    QSqlQuery &measurements(int rows)
    {
        auto found = zones.find(rows);
        if (found != zones.end())
            return found->second;
        QStringList values;
        for (int r = 0; r < rows; ++r)
            values << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const QString sql = QStringLiteral("INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, "
                                           "threshold, area, mean, rejection) VALUES ")
                          + values.join(QStringLiteral(", "));
        QSqlQuery &query = zones.emplace(rows, QSqlQuery(m_db)).first->second;
        query.prepare(sql);
        return query;
    }

    QSqlQuery image;
    bool imagePrepared = false;
    std::map<int, QSqlQuery> zones;

private:
    QSqlDatabase m_db;
};

TJournal::TJournal(const QString &location)
    : m_location(JournalLocation::parse(location)),
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

QString TJournal::isoTime(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char(offset < 0 ? '-' : '+')
         + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

bool TJournal::fail(const QString &what, const QString &reason)
{
    m_error = QStringLiteral("Журнал измерений %1: %2").arg(displayLocation(), what);
    if (!reason.trimmed().isEmpty())
        m_error += QStringLiteral(": ") + reason.trimmed();
    return false;
}

bool TJournal::open()
{
    if (m_open)
        return true;
    if (!m_location.error.isEmpty())
        return fail(QStringLiteral("не открывается"), m_location.error);
    if (!connect() || !migrate()) {
        QSqlDatabase::database(m_connection, false).close();
        return false;
    }
    m_statements = std::make_unique<Statements>(QSqlDatabase::database(m_connection, false));
    m_open = true;
    return true;
}

bool TJournal::connect()
{
    const QString driver = m_location.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return fail(QStringLiteral("не открывается"),
                    QStringLiteral("нет драйвера Qt SQL %1 (пакет %2)")
                        .arg(driver, m_location.postgres ? QStringLiteral("libqt6sql6-psql")
                                                         : QStringLiteral("libqt6sql6-sqlite")));
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                           : QSqlDatabase::addDatabase(driver, m_connection);
    if (m_location.postgres) {
        db.setHostName(m_location.host);
        if (m_location.port > 0)
            db.setPort(m_location.port);
        db.setUserName(m_location.user);
        db.setPassword(m_location.password);
        db.setDatabaseName(m_location.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        const QFileInfo dir(QFileInfo(m_location.file).absolutePath());
        if (!dir.isDir())
            return fail(QStringLiteral("не открывается"), QStringLiteral("нет папки %1").arg(dir.filePath()));
        db.setDatabaseName(m_location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
    }
    if (!db.open())
        return fail(QStringLiteral("не открывается"), db.lastError().text());
    if (m_location.postgres) {
        // The server's notices ("already exists, skipping") are no news for the user.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SET client_min_messages TO WARNING")))
            return fail(QStringLiteral("не открывается"), query.lastError().text());
    } else {
        // WAL: readers never wait for the writer, and a crash leaves every
        // committed image; FULL makes each commit durable before the next image.
        QSqlQuery query(db);
        for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
            if (!execWhileBusy(query, QString::fromLatin1(pragma), m_busyTimeout))
                return fail(QStringLiteral("не открывается"), query.lastError().text());
        }
    }
    return true;
}

bool TJournal::migrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    // One writer migrates at a time; the others find the schema done.
    const bool begun = m_location.postgres
                           ? db.transaction() && query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(734201)"))
                           : execWhileBusy(query, QStringLiteral("BEGIN IMMEDIATE"), m_busyTimeout);
    if (!begun)
        return fail(QStringLiteral("схема не проверена"), query.lastError().text());
    auto rollback = [&](const QString &what, const QString &reason) {
        const QString error = reason;
        if (m_location.postgres)
            db.rollback();
        else
            query.exec(QStringLiteral("ROLLBACK"));
        return fail(what, error);
    };
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))
        || !query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return rollback(QStringLiteral("схема не проверена"), query.lastError().text());
    const int version = query.value(0).isNull() ? 0 : query.value(0).toInt();
    if (version > SchemaVersion) {
        return rollback(QStringLiteral("не открывается"),
                        QStringLiteral("он записан более новой версией программы (схема %1, программа знает до %2)")
                            .arg(version)
                            .arg(SchemaVersion));
    }
    for (const JournalSchema::Migration &migration : JournalSchema::migrations()) {
        if (migration.version <= version)
            continue;
        for (const QString &statement : migration.statements) {
            if (!query.exec(JournalSchema::statementFor(statement, m_location.postgres)))
                return rollback(QStringLiteral("схема не создана"), query.lastError().text());
        }
        if (!query.exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(migration.version)))
            return rollback(QStringLiteral("схема не создана"), query.lastError().text());
    }
    const bool committed = m_location.postgres ? db.commit() : query.exec(QStringLiteral("COMMIT"));
    if (!committed)
        return rollback(QStringLiteral("схема не записана"), db.lastError().text() + query.lastError().text());
    return true;
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
        return fail(QStringLiteral("прогон не записан"), db.lastError().text()), 0;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO runs (kind, base, station, started_at, settings, zones_file, zones_text) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    for (const QVariant &value : {text(run.kind), text(run.base), text(QSysInfo::machineHostName()),
                                  text(isoTime(run.startedAt.isValid() ? run.startedAt : QDateTime::currentDateTime())), text(run.settings), text(run.zonesFile),
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
    if (!finishTransaction(ok, query.lastError().text() + zone.lastError().text(), QStringLiteral("прогон не записан")))
        return 0;
    return id;
}

// Commits a transaction whose statements all succeeded, else rolls it back:
// the journal never keeps half a run or half an image. The failure names the
// statement's error, or the commit's when the statements went through.
bool TJournal::finishTransaction(bool ok, const QString &reason, const QString &what)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (ok && db.commit())
        return true;
    const QString commitError = db.lastError().text();
    db.rollback();
    return fail(what, reason.trimmed().isEmpty() ? commitError : reason);
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
        return fail(what, db.lastError().text());
    QString reason;
    bool ok = true;
    for (qsizetype i = 0; ok && i < images.size(); ++i)
        ok = insertImage(runId, images.at(i), &reason);
    return finishTransaction(ok, reason, what);
}

// The image's row and its zones' rows, inside the caller's transaction.
bool TJournal::insertImage(qint64 runId, const TRecordedImage &image, QString *error)
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
          image.modified.isValid() ? QVariant(isoTime(image.modified)) : QVariant(QMetaType(QMetaType::QString)),
          image.size >= 0 ? QVariant(image.size) : QVariant(QMetaType(QMetaType::LongLong)),
          text(isoTime(image.processedAt)), text(fateName(image.fate)), text(image.storedAs),
          text(image.detail)})
        query.bindValue(column++, value);
    bool ok = m_statements->imagePrepared && query.exec() && query.next();
    const qint64 imageId = ok ? query.value(0).toLongLong() : 0;
    query.finish();
    *error = query.lastError().text();
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
bool TJournal::insertMeasurements(qint64 imageId, const TRecordedImage &image, QString *error)
{
    const int zones = int(image.zones.size());
    for (int first = 0; first < zones; first += Statements::RowsPerInsert) {
        const int rows = std::min<int>(Statements::RowsPerInsert, zones - first);
        QSqlQuery &insert = m_statements->measurements(rows);
        int column = 0;
        for (int k = first; k < first + rows; ++k) {
            const TZoneMeasurement &m = image.zones.at(k);
            for (const QVariant &value :
                 {QVariant(imageId), QVariant(k + 1), QVariant(m.found ? 1 : 0), nullable(m.found, m.x),
                  nullable(m.found, m.y), nullable(m.found, m.dx), nullable(m.found, m.dy),
                  QVariant(m.maximum), QVariant(m.threshold), QVariant(m.area), QVariant(m.mean),
                  text(rejectionName(m.rejection))})
                insert.bindValue(column++, value);
        }
        if (!insert.exec()) {
            *error = insert.lastError().text();
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
                    query.lastError().text());
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
    query.addBindValue(text(isoTime(at.isValid() ? at : QDateTime::currentDateTime())));
    if (!base.isEmpty())
        query.addBindValue(base);
    query.addBindValue(runId);
    if (!query.exec())
        return fail(QStringLiteral("конец прогона не записан"), query.lastError().text());
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
    query.prepare(QStringLiteral("INSERT INTO events (run_id, at, station, severity, source, file, text) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &value :
         {runId > 0 ? QVariant(runId) : QVariant(QMetaType(QMetaType::LongLong)), text(isoTime(issue.time)),
          text(QSysInfo::machineHostName()), text(TIssue::severityName(issue.severity)),
          text(TIssue::sourceName(issue.source)), text(issue.file), text(issue.text)})
        query.addBindValue(value);
    if (!query.exec())
        return fail(QStringLiteral("событие не записано"), query.lastError().text());
    return true;
}

QList<TJournalRun> TJournal::runs()
{
    QList<TJournalRun> list;
    if (!open())
        return list;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT r.id, r.kind, r.base, r.started_at, r.ended_at, r.station, "
                                   "(SELECT COUNT(*) FROM images i WHERE i.run_id = r.id) FROM runs r ORDER BY r.id"))) {
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

qint64 TJournal::lastRunIdOfBase(const QString &base)
{
    const QString full = QFileInfo(base).absoluteFilePath();
    qint64 found = 0;
    for (const TJournalRun &run : runs()) {
        if (run.base == base || run.base == full || QFileInfo(run.base).fileName() == base)
            found = run.id;
    }
    return found;
}

QList<TJournalRow> TJournal::rows(qint64 runId)
{
    QList<TJournalRow> list;
    forEachRow(runId, [&list](const TJournalRow &row) { list << row; });
    return list;
}

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
    if (!execFor(query, QStringLiteral("SELECT base FROM runs WHERE id = ?"), runId))
        return false;
    if (query.next())
        context->base = query.value(0).toString();
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
                                                     parseTime(query.value(3)),
                                                     parseTime(query.value(4))});
    }
    return true;
}

// The measurement's own columns of the query below into a row.
void takeMeasurement(const QSqlQuery &query, TJournalRow *row)
{
    row->zone = query.value(1).toInt();
    row->found = query.value(2).toInt() != 0;
    row->x = row->found ? query.value(3).toDouble() : -1;
    row->y = row->found ? query.value(4).toDouble() : -1;
    row->dx = row->found ? query.value(5).toDouble() : 0;
    row->dy = row->found ? query.value(6).toDouble() : 0;
    row->area = query.value(7).toInt();
    row->mean = query.value(8).toDouble();
    row->maximum = query.value(9).toDouble();
    row->threshold = query.value(10).toDouble();
}

} // namespace

bool TJournal::forEachRow(qint64 runId, const std::function<void(const TJournalRow &)> &visit)
{
    if (!open())
        return false;
    // What is the same for every zone of the run and of an image is read once:
    // the run's base and origins, then each image; the measurements alone are
    // read row by row.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    RunRowsContext context;
    if (!readRunContext(query, runId, &context))
        return fail(QStringLiteral("не читается"), query.lastError().text());
    if (!execFor(query,
                 QStringLiteral("SELECT m.image_id, m.zone, m.found, m.x, m.y, m.dx, m.dy, m.area, m.mean, m.maximum, "
                                "m.threshold FROM measurements m JOIN images i ON i.id = m.image_id "
                                "WHERE i.run_id = ? ORDER BY m.image_id, m.zone"),
                 runId))
        return fail(QStringLiteral("не читается"), query.lastError().text());
    TJournalRow row;
    row.runId = runId;
    row.base = context.base;
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
        takeMeasurement(query, &row);
        row.hasOrigin = context.origins.value(row.zone, false);
        visit(row);
    }
    if (query.lastError().isValid())
        return fail(QStringLiteral("не читается"), query.lastError().text());
    return true;
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

#include "JournalOpening.h"

#include "JournalSchema.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {

bool failed(JournalOpening::Failure *failure, const QString &what, const QString &reason)
{
    *failure = {what, reason};
    return false;
}

QString notOpened()
{
    return QStringLiteral("не открывается");
}

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

// An error of SQLite that says the file or its shared memory may not be written.
bool cannotWrite(const QString &error)
{
    return error.contains(QLatin1String("readonly")) || error.contains(QLatin1String("read-only"))
        || error.contains(QLatin1String("unable to open"));
}

} // namespace

bool JournalOpening::open(const QString &connection, const JournalLocation &location, bool reading, Failure *failure,
                          int busyTimeout)
{
    const QString driver = location.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return failed(failure, notOpened(),
                      QStringLiteral("нет драйвера Qt SQL %1 (пакет %2)")
                          .arg(driver, location.postgres ? QStringLiteral("libqt6sql6-psql")
                                                         : QStringLiteral("libqt6sql6-sqlite")));
    }
    QSqlDatabase db = QSqlDatabase::contains(connection) ? QSqlDatabase::database(connection, false)
                                                         : QSqlDatabase::addDatabase(driver, connection);
    const bool done = reading && !location.postgres
                          ? openSqliteReader(db, location, failure, busyTimeout)
                          : connect(db, location, reading, failure, busyTimeout)
                                && configure(db, location, reading, failure, busyTimeout)
                                && (reading ? checkReadable(db, failure)
                                            : migrate(db, location.postgres, failure, busyTimeout));
    if (!done)
        db.close();
    return done;
}

bool JournalOpening::connect(QSqlDatabase &db, const JournalLocation &location, bool reading, Failure *failure,
                             int busyTimeout)
{
    if (location.postgres) {
        db.setHostName(location.host);
        if (location.port > 0)
            db.setPort(location.port);
        db.setUserName(location.user);
        db.setPassword(location.password);
        db.setDatabaseName(location.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        const QFileInfo file(location.file);
        const QFileInfo dir(file.absolutePath());
        if (!dir.isDir())
            return failed(failure, notOpened(), QStringLiteral("нет папки %1").arg(dir.filePath()));
        // SQLite would create the file a dangling link points to, wherever that is.
        if (file.isSymLink() && !file.exists())
            return failed(failure, notOpened(),
                          QStringLiteral("это ссылка на несуществующий файл %1").arg(file.symLinkTarget()));
        // A reader comes here only where it may not write: SQLite's read-only mode.
        db.setDatabaseName(reading ? JournalLocation::readOnlyUri(location.file) : location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout)
                             + (reading ? QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI") : QString()));
    }
    if (!db.open())
        return failed(failure, notOpened(), db.lastError().text());
    return true;
}

bool JournalOpening::configure(QSqlDatabase &db, const JournalLocation &location, bool reading, Failure *failure,
                               int busyTimeout)
{
    QSqlQuery query(db);
    if (location.postgres) {
        // The server's notices ("already exists, skipping") are no news for the user.
        if (!query.exec(QStringLiteral("SET client_min_messages TO WARNING")))
            return failed(failure, notOpened(), query.lastError().text());
        return true;
    }
    if (reading)
        return true;
    // WAL: readers never wait for the writer, and a crash leaves every
    // committed image; FULL makes each commit durable before the next image.
    for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        if (!execWhileBusy(query, QString::fromLatin1(pragma), busyTimeout))
            return failed(failure, notOpened(), query.lastError().text());
    }
    return true;
}

// A reader of a SQLite journal. Opened for writing but only for queries, the
// connection removes the write-ahead log and its index when it is the last
// one to close, so that none stays behind owned by the reader (SQLite hands
// files it makes as root to the journal's owner). Where the file or its
// folder may not be written, it is read through SQLite's read-only mode, as
// immutable when no writer's log is there.
bool JournalOpening::openSqliteReader(QSqlDatabase &db, const JournalLocation &location, Failure *failure,
                                      int busyTimeout)
{
    if (!QFileInfo(location.file).isFile())
        return failed(failure, notOpened(), QStringLiteral("файла нет"));
    if (connect(db, location, false, failure, busyTimeout)) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("PRAGMA query_only=1")) && checkReadable(db, failure))
            return true;
        if (!cannotWrite(failure->reason + query.lastError().text()))
            return false;
        query.finish();
        db.close();
    }
    return connect(db, location, true, failure, busyTimeout) && checkReadable(db, failure);
}

// Whether the schema is this program's already: read without a lock, so that
// a journal another connection holds for writing opens at once.
bool JournalOpening::isCurrent(QSqlDatabase &db)
{
    QSqlQuery query(db);
    const bool current = query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) && query.next()
                      && query.value(0).toInt() == SchemaVersion;
    return current;
}

bool JournalOpening::migrate(QSqlDatabase &db, bool postgres, Failure *failure, int busyTimeout)
{
    if (isCurrent(db))
        return true;
    QSqlQuery query(db);
    // One writer migrates at a time; the others find the schema done.
    const bool begun = postgres ? db.transaction() && query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(734201)"))
                                : execWhileBusy(query, QStringLiteral("BEGIN IMMEDIATE"), busyTimeout);
    if (!begun)
        return failed(failure, QStringLiteral("схема не проверена"), query.lastError().text());
    auto rollback = [&](const QString &what, const QString &reason) {
        const QString error = reason;
        if (postgres)
            db.rollback();
        else
            query.exec(QStringLiteral("ROLLBACK"));
        return failed(failure, what, error);
    };
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))
        || !query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return rollback(QStringLiteral("схема не проверена"), query.lastError().text());
    const int version = query.value(0).isNull() ? 0 : query.value(0).toInt();
    if (version > SchemaVersion)
        return rollback(notOpened(), QStringLiteral("он записан более новой версией программы (схема %1, программа "
                                                    "знает до %2)").arg(version).arg(SchemaVersion));
    for (const JournalSchema::Migration &migration : JournalSchema::migrations()) {
        if (migration.version <= version)
            continue;
        for (const QString &statement : JournalSchema::statementsFor(migration, postgres)) {
            if (!query.exec(statement))
                return rollback(QStringLiteral("схема не создана"), query.lastError().text());
        }
        if (!query.exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(migration.version)))
            return rollback(QStringLiteral("схема не создана"), query.lastError().text());
    }
    const bool committed = postgres ? db.commit() : query.exec(QStringLiteral("COMMIT"));
    if (!committed)
        return rollback(QStringLiteral("схема не записана"), db.lastError().text() + query.lastError().text());
    return true;
}

// A reader's check of the schema: only a SELECT, so that neither a read-only
// file nor a role that may only read stops it, and a writer's lock does not
// hold it up. A file that is no journal, or a damaged one, is named so. An
// older schema is read as it is: a reader never migrates.
bool JournalOpening::checkReadable(QSqlDatabase &db, Failure *failure)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next()) {
        const QString reason = query.lastError().text();
        const bool damaged = reason.contains(QLatin1String("not a database"))
                          || reason.contains(QLatin1String("malformed"))
                          || reason.contains(QLatin1String("no such table"))
                          || reason.contains(QLatin1String("does not exist"));
        return failed(failure,
                      damaged ? QStringLiteral("поврежден или не является журналом измерений")
                              : QStringLiteral("не читается"),
                      reason);
    }
    const int version = query.value(0).toInt();
    if (version > SchemaVersion)
        return failed(failure, notOpened(), QStringLiteral("он записан более новой версией программы (схема %1, "
                                                           "программа знает до %2)").arg(version).arg(SchemaVersion));
    return true;
}

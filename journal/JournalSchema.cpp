#include "JournalSchema.h"

namespace {

// SQLite: times written with the station's UTC offset rewritten in UTC. A
// text SQLite cannot read as a time is left as it is.
QString utcTexts(const QString &table, const QStringList &columns)
{
    QStringList sets;
    for (const QString &column : columns)
        sets << QStringLiteral("%1 = COALESCE(strftime('%Y-%m-%dT%H:%M:%f+00:00', %1), %1)").arg(column);
    return QStringLiteral("UPDATE %1 SET %2").arg(table, sets.join(QStringLiteral(", ")));
}

// PostgreSQL: the time texts become timestamptz, their offsets kept.
QString timestamps(const QString &table, const QStringList &columns)
{
    QStringList changes;
    for (const QString &column : columns)
        changes << QStringLiteral("ALTER COLUMN %1 TYPE timestamptz USING %1::timestamptz").arg(column);
    return QStringLiteral("ALTER TABLE %1 %2").arg(table, changes.join(QStringLiteral(", ")));
}

} // namespace

const QList<JournalSchema::Migration> &JournalSchema::migrations()
{
    static const QList<Migration> list = {
        {1,
         {QStringLiteral("CREATE TABLE runs (id %ID%, kind TEXT NOT NULL, base TEXT NOT NULL DEFAULT '', "
                         "station TEXT NOT NULL DEFAULT '', started_at TEXT NOT NULL, ended_at TEXT, "
                         "settings TEXT NOT NULL DEFAULT '', zones_file TEXT NOT NULL DEFAULT '', "
                         "zones_text TEXT NOT NULL DEFAULT '')"),
          QStringLiteral("CREATE TABLE run_zones (run_id BIGINT NOT NULL REFERENCES runs(id), zone INTEGER NOT NULL, "
                         "x1 INTEGER NOT NULL, y1 INTEGER NOT NULL, x2 INTEGER NOT NULL, y2 INTEGER NOT NULL, "
                         "x0 DOUBLE PRECISION NOT NULL, y0 DOUBLE PRECISION NOT NULL, PRIMARY KEY (run_id, zone))"),
          QStringLiteral("CREATE TABLE images (id %ID%, run_id BIGINT NOT NULL REFERENCES runs(id), "
                         "number INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL, modified_at TEXT, "
                         "size BIGINT, processed_at TEXT NOT NULL, fate TEXT NOT NULL, "
                         "stored_as TEXT NOT NULL DEFAULT '', detail TEXT NOT NULL DEFAULT '')"),
          QStringLiteral("CREATE INDEX images_run ON images (run_id, id)"),
          QStringLiteral("CREATE TABLE measurements (image_id BIGINT NOT NULL REFERENCES images(id), "
                         "zone INTEGER NOT NULL, found INTEGER NOT NULL, x DOUBLE PRECISION, y DOUBLE PRECISION, "
                         "dx DOUBLE PRECISION, dy DOUBLE PRECISION, maximum DOUBLE PRECISION NOT NULL, "
                         "threshold DOUBLE PRECISION NOT NULL, area INTEGER NOT NULL, mean DOUBLE PRECISION NOT NULL, "
                         "rejection TEXT NOT NULL DEFAULT '', PRIMARY KEY (image_id, zone))"),
          QStringLiteral("CREATE TABLE events (id %ID%, run_id BIGINT REFERENCES runs(id), at TEXT NOT NULL, "
                         "station TEXT NOT NULL DEFAULT '', severity TEXT NOT NULL, source TEXT NOT NULL, "
                         "file TEXT NOT NULL DEFAULT '', text TEXT NOT NULL)")}},
        // Times a database can compare, the spot's figures, and the indexes of
        // the queries a dashboard makes.
        {2,
         {QStringLiteral("ALTER TABLE measurements ADD COLUMN spots INTEGER"),
          QStringLiteral("ALTER TABLE measurements ADD COLUMN sx DOUBLE PRECISION"),
          QStringLiteral("ALTER TABLE measurements ADD COLUMN sy DOUBLE PRECISION"),
          QStringLiteral("CREATE INDEX images_run_number ON images (run_id, number)"),
          QStringLiteral("CREATE INDEX images_time ON images (modified_at)"),
          QStringLiteral("CREATE INDEX runs_station ON runs (station, started_at)")},
         {utcTexts(QStringLiteral("runs"), {QStringLiteral("started_at"), QStringLiteral("ended_at")}),
          utcTexts(QStringLiteral("images"), {QStringLiteral("modified_at"), QStringLiteral("processed_at")}),
          utcTexts(QStringLiteral("events"), {QStringLiteral("at")})},
         {timestamps(QStringLiteral("runs"), {QStringLiteral("started_at"), QStringLiteral("ended_at")}),
          timestamps(QStringLiteral("images"), {QStringLiteral("modified_at"), QStringLiteral("processed_at")}),
          timestamps(QStringLiteral("events"), {QStringLiteral("at")})}},
    };
    return list;
}

QStringList JournalSchema::statementsFor(const Migration &migration, bool postgres)
{
    QStringList list = postgres ? migration.postgres : migration.sqlite;
    for (QString statement : migration.statements)
        list << statement.replace(QLatin1String("%ID%"), postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                                                  : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
    return list;
}

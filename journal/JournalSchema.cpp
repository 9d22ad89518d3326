#include "JournalSchema.h"

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
    };
    return list;
}

QString JournalSchema::statementFor(const QString &statement, bool postgres)
{
    QString sql = statement;
    return sql.replace(QLatin1String("%ID%"), postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                                       : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
}

#pragma once

#include "TJournalDisplacements.h"

#include <QDateTime>
#include <QString>

class QSqlDatabase;

// Reads the displacement of a run's zones from the journal for the charts:
// only the columns they need, image by image in the order of the index on
// (run, image), with nothing made per measurement but two doubles.
namespace DisplacementReader {

// An SQLite journal through a read-only connection of its own, which reads
// the columns straight from the database; false with `error` set.
bool readSqlite(const QString &file, qint64 runId, TJournalDisplacements *out, QString *error);
// Any journal through its Qt SQL connection (PostgreSQL).
bool readSql(const QSqlDatabase &db, qint64 runId, TJournalDisplacements *out, QString *error);

// A time as the journal writes it ("2026-03-01T12:00:05.250+03:00"), read
// without Qt's general parser; any other ISO 8601 text goes through it, and
// an empty or unreadable one is an invalid time.
QDateTime parseTime(const char *text, qsizetype length);

} // namespace DisplacementReader

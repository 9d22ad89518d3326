#pragma once

#include "TJournalRow.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// The journal's rows as the export and the check read them, through one open
// connection: a whole run row by row, or only the last image of a run. Only
// SELECT statements: it works on a read-only journal and for a role that may
// only read. Reads schemas 1 and 2 alike (schema 1 without the spot's figures).
class JournalRowReader
{
public:
    explicit JournalRowReader(const QSqlDatabase &db) : m_db(db) {}

    // Every row of a run, image by image and zone by zone, without holding
    // them all; false with error() set when the journal cannot be read.
    bool forEachRow(qint64 runId, const std::function<void(const TJournalRow &)> &visit);
    // The rows of the run's image with the highest number (with `foundZone`
    // > 0: of those in which that zone was found), in zone order: one query
    // on the index of the run's image numbers, whatever the run's length.
    // Empty (and true) when there is no such image.
    bool lastImage(qint64 runId, int foundZone, QList<TJournalRow> *rows);

    QString error() const { return m_error; }

private:
    bool failed(const QString &reason);
    bool hasSpotColumns();

    QSqlDatabase m_db;
    QString m_error;
    int m_schema = 0; // the journal's schema version, read when first needed
};

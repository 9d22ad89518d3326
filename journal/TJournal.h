#pragma once

#include "JournalLocation.h"
#include "TJournalDisplacements.h"
#include "TJournalRow.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;
struct TIssue;
struct TRecordedImage;

// The measurement journal: one database (a SQLite file, or a PostgreSQL
// database a fleet shares) of runs, their images and what detection saw in
// every zone of every image, and the events of the runs. Every image is one
// transaction, so a journal never holds half an image. Several writers may
// use one journal at once.
//
// Nothing here throws: an operation that fails returns false (or nothing)
// and errorString() says why, naming the journal.
class TJournal
{
public:
    // The newest schema this program writes; older journals are migrated on open.
    static constexpr int SchemaVersion = 2;

    // How the journal is used. A reader never writes: it does not create or
    // migrate the schema, opens a SQLite file read-only and needs no more than
    // SELECT on PostgreSQL.
    enum class Access { Write, Read };

    // location: a file path or a postgresql:// address.
    explicit TJournal(const QString &location, Access access = Access::Write);
    ~TJournal();
    TJournal(const TJournal &) = delete;
    TJournal &operator=(const TJournal &) = delete;

    // Connects, and creates or migrates the schema (a reader only checks that
    // it can read it); false with errorString() set.
    bool open();
    bool isOpen() const { return m_open; }
    QString errorString() const { return m_error; }
    // Whether the last failure was the journal being away (not reachable, a
    // server gone or shutting down, a file locked by another writer, a full
    // disk) rather than refusing what was written: what failed goes through
    // once it answers again.
    bool failureIsAway();
    // Where it lies, for the user (no password).
    QString displayLocation() const { return m_location.display(); }
    int schemaVersion();

    // Writing.
    struct RunStart
    {
        QString kind;
        QString base;
        QString station;    // empty: the host name
        QString settings;   // the settings in force, as "Key=Value" lines
        QString zonesText;  // the zone file as it was read
        QString zonesFile;
        QList<QRect> zones;
        QList<QPointF> origins;
        QDateTime startedAt;  // invalid: now, when it is written
    };
    qint64 beginRun(const RunStart &run);   // the run's id, 0 on failure
    bool recordImage(qint64 runId, const TRecordedImage &image);
    // Several images of a run in one transaction: all or none (a batch's
    // grouped commit).
    bool recordImages(qint64 runId, const QList<TRecordedImage> &images);
    // Whether the run holds the image already (its number and path): a record
    // sent again after an outage is not written twice. False also on failure.
    bool hasImage(qint64 runId, const TRecordedImage &image);
    // The new fate of the run's last image recorded under image.path.
    bool recordLaterFate(qint64 runId, const TRecordedImage &image);
    // The run's end is `at` (invalid: now); a base that is not empty replaces
    // the one it began with.
    bool endRun(qint64 runId, const QString &base, const QDateTime &at = QDateTime());
    // Copies what the SQLite write-ahead log holds into the journal file and
    // empties the log, without waiting for readers, so that closing has
    // nothing left to copy or free.
    // Nothing to do on PostgreSQL; false when it failed.
    bool checkpoint();
    bool recordEvent(qint64 runId, const TIssue &issue);

    // Reading. An empty station stands for every station.
    QList<TJournalRun> runs(const QString &station = QString());
    qint64 lastRunId();
    // The newest run of a station; 0 when none (or the journal cannot be read).
    qint64 lastRunIdOfStation(const QString &station);
    // The last run whose base is `base` (a full base or its file name); 0 when none.
    qint64 lastRunIdOfBase(const QString &base, const QString &station = QString());
    // The stations whose runs have the base, as lastRunIdOfBase() matches it.
    QStringList stationsOfBase(const QString &base);
    // What a run recorded when it began: the settings in force, "Key=Value"
    // per line; false when the run is not in the journal or cannot be read.
    bool runSettings(qint64 runId, QString *settings);
    QList<TJournalRow> rows(qint64 runId);
    // The rows of a run one by one, image by image and zone by zone, without
    // holding them all; false when the journal cannot be read.
    bool forEachRow(qint64 runId, const std::function<void(const TJournalRow &)> &visit);
    // The rows of the run's last image only (with `foundZone` > 0: of the
    // last in which that zone was found), however long the run.
    bool lastImageRows(qint64 runId, int foundZone, QList<TJournalRow> *rows);
    // The displacement of a run's zones, what the charts draw, read far faster
    // than its rows; false when the journal cannot be read.
    bool readDisplacements(qint64 runId, TJournalDisplacements *out);

    // How long SQLite waits for another writer before a write fails (ms); the
    // recorder's writer waits briefly and keeps what could not be written.
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    // Whether every commit of a SQLite journal is synced to the disk before it
    // returns (the default, a watch's promise) or only at checkpoints: a batch
    // whose machine loses power is run again, a crash of the program alone
    // loses nothing either way. Nothing to do on PostgreSQL.
    void setSyncEveryCommit(bool every);

private:
    bool fail(const QString &what, const QString &reason);
    bool fail(const QString &what, const QSqlError &error);
    bool finishTransaction(bool ok, const QSqlError &error, const QString &what);
    bool insertImage(qint64 runId, const TRecordedImage &image, QSqlError *error);
    bool insertMeasurements(qint64 imageId, const TRecordedImage &image, QSqlError *error);

    JournalLocation m_location;
    Access m_access;
    QString m_connection;
    // The image's statements, prepared once per connection and used for every image.
    struct Statements;
    std::unique_ptr<Statements> m_statements;
    bool m_open = false;
    int m_busyTimeout = 30000;
    bool m_syncEveryCommit = true;
    QString m_error;
    QString m_failureCode;  // the driver's code of the last failure (SQLite's result code, a SQLSTATE)
};

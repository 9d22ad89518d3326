#pragma once

#include "JournalRecord.h"

#include <QString>

// The station's local store of what the journal could not take yet: a SQLite
// file beside the event log in the working directory. Records wait there in
// the order they came, each under the run it belongs to, until the journal
// answers again; a station killed meanwhile finds them at its next start.
// Bounded only by the disk. Only the journal it was made for (its location
// without password) is served: another journal's records stay.
//
// A spooled run has a key of its own; its id in the journal is known once its
// start is written (or from the start when the run began while the journal
// answered). Used on the journal writer's thread only.
class JournalSpool
{
public:
    struct Entry
    {
        qint64 id = 0;
        qint64 run = 0;  // the spool's key of the run
        JournalRecord record;
    };

    // journal: the journal's location as shown to the user (no password).
    JournalSpool(const QString &file, const QString &journal);
    ~JournalSpool();
    JournalSpool(const JournalSpool &) = delete;
    JournalSpool &operator=(const JournalSpool &) = delete;

    static QString fileName() { return QStringLiteral("kelvarin2-journal-spool.sqlite"); }
    QString file() const { return m_file; }

    bool open();
    QString errorString() const { return m_error; }

    // A new run; journalRun is its id in the journal, 0 while it has none.
    qint64 addRun(qint64 journalRun);
    bool setJournalRun(qint64 run, qint64 journalRun);
    qint64 journalRun(qint64 run);
    // Forgets the runs no record waits for.
    void forgetIdleRuns();

    // Keeps a record durably (committed to the disk); false when it could not.
    bool add(qint64 run, const JournalRecord &record);
    // The oldest record waiting; false when none (or the spool cannot be read).
    bool next(Entry *entry);
    bool remove(const Entry &entry);
    // How many images wait; -1 when it cannot be told.
    int waitingImages();
    bool isEmpty() { return waitingRecords() == 0; }
    int waitingRecords();

private:
    bool fail(const QString &what, const QString &reason);
    int count(const QString &condition);

    QString m_file;
    QString m_journal;
    QString m_connection;
    bool m_open = false;
    int m_images = -1;  // images waiting, -1 until counted
    QString m_error;
};

#pragma once

#include "JournalRecord.h"
#include "TIssue.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class JournalSpool;
class QThread;

// Writes a journal on a thread of its own, so that making an image durable
// (the disk sync of its commit) overlaps the measuring of the next image.
// The journal's connection is made, used and closed on that thread only.
//
// Writes are done in the order they were handed over. In a watch an image
// waits until the one before it is committed, so a crash loses no more than
// the image being written and the one being measured; but never longer than
// a moment (Moment): measuring does not stand still for a journal. A batch
// (grouped) does not wait for each image: the images that came while one
// commit was made go into the journal together, one disk sync for them all.
//
// A journal that cannot be reached, is locked or full is away: what cannot
// be written goes into the spool beside the event log (JournalSpool), and the
// journal is tried again after a pause that grows up to a minute; once it
// answers, the spool is sent in order, then the writer goes on as before.
// Records waiting in the spool when the writer starts (a station killed
// during an outage) are sent first. Where not even the spool can be written
// (a full disk), the records wait in memory.
//
// A write that fails is kept as the text of its failure, and what the user
// should know of an outage as a notice; the owner takes both on its own thread
// (takeFailures(), takeNotices()), and is told there are some through the
// callback given, called on the writer's thread.
class TJournalWriter
{
public:
    TJournalWriter(const QString &location, std::function<void()> failed);
    // Writes what is still queued (into the spool while the journal is away),
    // then stops the thread.
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter &) = delete;
    TJournalWriter &operator=(const TJournalWriter &) = delete;

    // The directory of the spool (the working directory, beside the event log).
    void setSpoolDirectory(const QString &directory);
    // The run's id is known to the writer; images and events go under it.
    // grouped: a batch, whose images may share commits.
    void beginRun(const TJournal::RunStart &run, bool grouped = false);
    void recordImage(const TRecordedImage &image);
    void recordLaterFate(const TRecordedImage &image);
    void recordEvent(const TIssue &issue);
    // Ends the run and waits until all of it is written or spooled; the run's
    // id, 0 when the journal has not got it.
    qint64 endRun(const QString &base);
    // Folds the journal's write-ahead log into its file in the background,
    // while the owner does other work (the run's result files), so that the
    // journal's closing has nothing left to copy or free.
    void checkpoint();
    void waitUntilWritten();

    // The failures since the last call, in the order they happened.
    QStringList takeFailures();
    // What the event log should say of an outage (went away, images waiting, written).
    QList<TIssue> takeNotices();
    // The images handed over and not yet in the journal (queued, in the
    // spool or in memory), as last counted.
    int waitingImages() const { return m_waitingImages; }
    // Whether everything handed over since the run began went into the
    // journal, late or not: it answers now, and nothing was refused or kept
    // in memory only.
    bool caughtUp() const { return !m_awayNow && !m_lostRecords; }

    // The pauses between tries of a journal that is away (ms); tests shorten them.
    void setPauses(int first, int longest);

    static constexpr int OpeningBacklog = 64;
    static constexpr int GroupedBacklog = 256;  // a batch's images in memory at most
    static constexpr int GroupSize = 64;        // images in one grouped commit at most
    static constexpr int GroupGatherMs = 250;   // how long a group may wait to fill
    static constexpr int MomentMs = 1000;       // the longest an image waits for the one before
    static constexpr int BusyTimeoutMs = 1000;  // the longest a write waits for another writer

private:
    struct Item
    {
        enum class Op { Record, Checkpoint, Spool };
        Op op = Op::Record;
        JournalRecord record;
        QString directory;  // Spool
    };
    void enqueue(Item item);
    void writeAll();
    static bool isImage(const Item &item);
    void gatherGroup();
    QList<Item> takeItems();
    void handle(const QList<Item> &items);
    void handleRecord(const JournalRecord &record);
    bool writeLive(const JournalRecord &record);
    bool writeGroup(const QList<Item> &items);
    void openSpool(const QString &directory);
    void hold(const JournalRecord &record);
    qint64 runKey(qint64 journalRun);
    qint64 journalRunOf(qint64 key);
    void setJournalRunOf(qint64 key, qint64 journalRun);
    void retry();
    bool drain(int *images);
    bool sendHeld(qint64 key, const JournalRecord &record);
    void spoolQueued();
    std::unique_ptr<TJournal> newJournal() const;
    void goAway(const QString &reason, bool tell);
    void tellWaiting(int images);
    void setAway(bool away);
    void stayAway(const QString &reason);
    void comeBack(int images);
    int imagesHeld();
    void refuse(const JournalRecord &record);
    bool refusedWhileSending();
    void finishRun();
    void noteFailure(const QString &text);
    void notice(const QString &text);

    QString m_location;
    std::function<void()> m_failed;
    std::unique_ptr<QThread> m_thread;

    // Shared with the writer's thread, under m_mutex.
    QMutex m_mutex;
    QWaitCondition m_changed;
    std::deque<Item> m_queue;
    int m_imagesPending = 0;  // queued or being written
    bool m_starting = false;  // a run's start is not written yet
    bool m_grouped = false;
    bool m_busy = false;
    bool m_stopping = false;
    QStringList m_failures;
    QList<TIssue> m_notices;
    std::atomic<int> m_waitingImages{0};
    std::atomic<bool> m_awayNow{false};
    std::atomic<bool> m_lostRecords{false};
    int m_firstPause = 1000;
    int m_longestPause = 60000;

    // The writer's own, used on its thread only.
    std::unique_ptr<TJournal> m_journal;
    std::unique_ptr<JournalSpool> m_spool;
    bool m_spoolFailed = false;      // told once
    bool m_away = false;
    bool m_triedAtStop = false;
    bool m_syncEveryCommit = true;  // off for a batch's run
    QString m_awayReason;
    QDateTime m_awaySince;
    int m_pause = 0;
    QDeadlineTimer m_retryAt;
    int m_waitingTold = -1;
    qint64 m_runId = 0;              // the current run in the journal, 0 while it has none
    qint64 m_runKey = 0;             // the current run in the spool, 0 while nothing of it waits
    bool m_runOpen = false;
    qint64 m_endedRun = 0;
    // Records neither the journal nor the spool took, with the spool's key
    // of their run (negative: a run known in memory only).
    std::deque<std::pair<qint64, JournalRecord>> m_held;
    QHash<qint64, qint64> m_memoryRuns;
    qint64 m_memoryKey = 0;
};

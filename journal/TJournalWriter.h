#pragma once

#include "TIssue.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <QMutex>
#include <QStringList>
#include <QWaitCondition>

#include <deque>
#include <functional>
#include <memory>

class QThread;

// Writes a journal on a thread of its own, so that making an image durable
// (the disk sync of its commit) overlaps the measuring of the next image.
// The journal's connection is made, used and closed on that thread only.
//
// Writes are done in the order they were handed over. Once a run's start is
// written, at most one image is ever waiting to be written: handing over an
// image waits until the one before it is committed, so a crash loses no more
// than the image being written and the one being measured. While the journal
// is still being opened and the run's start written, the images measured in
// the meantime wait in memory (up to OpeningBacklog of them): nothing of the
// run is on disk yet, and the run need not stand still for the opening.
// endRun() and waitUntilWritten() return once everything handed over is written.
// The journal is opened as soon as the writer starts, so that the opening
// overlaps whatever its owner does before the run's start.
//
// A write that fails is kept as the text of its failure; the owner takes the
// failures on its own thread (takeFailures()), and is told there are some
// through the callback given, called on the writer's thread.
class TJournalWriter
{
public:
    TJournalWriter(const QString &location, std::function<void()> failed);
    // Writes what is still queued, then stops the thread.
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter &) = delete;
    TJournalWriter &operator=(const TJournalWriter &) = delete;

    // The run's id is known to the writer; images and events go under it.
    void beginRun(const TJournal::RunStart &run);
    void recordImage(const TRecordedImage &image);
    void recordLaterFate(const TRecordedImage &image);
    void recordEvent(const TIssue &issue);
    // Ends the run and waits until all of it is written; the run's id, 0 when
    // the run could not be written.
    qint64 endRun(const QString &base);
    // Folds the journal's write-ahead log into its file in the background,
    // while the owner does other work (the run's result files), so that the
    // journal's closing has nothing left to copy or free.
    void checkpoint();
    void waitUntilWritten();

    // The failures since the last call, in the order they happened.
    QStringList takeFailures();

    static constexpr int OpeningBacklog = 64;

private:
    using Write = std::function<void(TJournal &)>;
    void enqueue(Write write, bool image);
    void writeAll();
    void noteFailure(const QString &text);

    QString m_location;
    std::function<void()> m_failed;
    std::unique_ptr<QThread> m_thread;

    // Shared with the writer's thread, under m_mutex.
    QMutex m_mutex;
    QWaitCondition m_changed;
    std::deque<std::pair<Write, bool>> m_queue;  // a write and whether it is an image
    int m_imagesPending = 0;                     // queued or being written
    bool m_starting = false;                     // a run's start is not written yet
    bool m_busy = false;
    bool m_stopping = false;
    QStringList m_failures;

    // The writer's own, used on its thread only.
    bool m_openFailed = false;  // the opening at the thread's start failed, not told yet
    qint64 m_runId = 0;
};

#include "TJournalWriter.h"

#include <QMutexLocker>
#include <QThread>

#include <utility>

TJournalWriter::TJournalWriter(const QString &location, std::function<void()> failed)
    : m_location(location), m_failed(std::move(failed))
{
    m_thread.reset(QThread::create([this] { writeAll(); }));
    m_thread->setObjectName(QStringLiteral("journal writer"));
    m_thread->start();
}

TJournalWriter::~TJournalWriter()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_changed.wakeAll();
    }
    m_thread->wait();
}

void TJournalWriter::beginRun(const TJournal::RunStart &run)
{
    {
        QMutexLocker lock(&m_mutex);
        m_starting = true;
    }
    enqueue([this, run](TJournal &journal) {
        // A journal that could not be opened a moment ago is not tried again
        // (a server that does not answer would be waited for twice).
        m_runId = std::exchange(m_openFailed, false) ? 0 : journal.beginRun(run);
        if (m_runId == 0)
            noteFailure(journal.errorString());
        QMutexLocker lock(&m_mutex);
        m_starting = false;
    }, false);
}

void TJournalWriter::recordImage(const TRecordedImage &image)
{
    enqueue([this, image](TJournal &journal) {
        // Without its run an image has nowhere to go; the failure was told.
        if (m_runId != 0 && !journal.recordImage(m_runId, image))
            noteFailure(journal.errorString());
    }, true);
}

void TJournalWriter::recordLaterFate(const TRecordedImage &image)
{
    enqueue([this, image](TJournal &journal) {
        if (m_runId != 0 && !journal.recordLaterFate(m_runId, image))
            noteFailure(journal.errorString());
    }, false);
}

void TJournalWriter::recordEvent(const TIssue &issue)
{
    enqueue([this, issue](TJournal &journal) {
        // A journal that could not be opened is not tried again for every event.
        if (journal.isOpen() && !journal.recordEvent(m_runId, issue))
            noteFailure(journal.errorString());
    }, false);
}

qint64 TJournalWriter::endRun(const QString &base)
{
    qint64 ended = 0;
    enqueue([this, base, &ended](TJournal &journal) {
        ended = m_runId;
        if (m_runId != 0 && !journal.endRun(m_runId, base))
            noteFailure(journal.errorString());
        m_runId = 0;
    }, false);
    waitUntilWritten();
    return ended;
}

void TJournalWriter::checkpoint()
{
    enqueue([this](TJournal &journal) {
        if (journal.isOpen() && !journal.checkpoint())
            noteFailure(journal.errorString());
    }, false);
}

void TJournalWriter::waitUntilWritten()
{
    QMutexLocker lock(&m_mutex);
    while (!m_queue.empty() || m_busy)
        m_changed.wait(&m_mutex);
}

QStringList TJournalWriter::takeFailures()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_failures, {});
}

// An image waits for the one before it: the queue never holds two, except
// while the run's start is being written.
void TJournalWriter::enqueue(Write write, bool image)
{
    QMutexLocker lock(&m_mutex);
    while (image && m_imagesPending >= (m_starting ? OpeningBacklog : 1))
        m_changed.wait(&m_mutex);
    m_queue.emplace_back(std::move(write), image);
    if (image)
        ++m_imagesPending;
    m_changed.wakeAll();
}

// The writer's thread: the journal (its connection) lives and dies here.
void TJournalWriter::writeAll()
{
    TJournal journal(m_location);
    m_openFailed = !journal.open();
    QMutexLocker lock(&m_mutex);
    for (;;) {
        while (m_queue.empty() && !m_stopping)
            m_changed.wait(&m_mutex);
        if (m_queue.empty())
            return;
        auto [write, image] = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        write(journal);
        lock.relock();
        m_busy = false;
        if (image)
            --m_imagesPending;
        m_changed.wakeAll();
    }
}

void TJournalWriter::noteFailure(const QString &text)
{
    {
        QMutexLocker lock(&m_mutex);
        m_failures << text;
    }
    if (m_failed)
        m_failed();
}

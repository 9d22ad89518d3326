#include "TJournalWriter.h"

#include "JournalLocation.h"
#include "IsoTime.h"
#include "JournalSpool.h"
#include "LoaderLogging.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QThread>

#include <algorithm>
#include <mutex>
#include <utility>

TJournalWriter::TJournalWriter(const QString &location, std::function<void()> failed)
    : m_location(location), m_failed(std::move(failed))
{
    // The writer's thread loads the SQL driver: Qt's loaders get their logging
    // made here, before the first such thread exists (see LoaderLogging).
    static std::once_flag driversListed;
    std::call_once(driversListed, [] {
        LoaderLogging::registerCategories();
        QSqlDatabase::drivers();
    });
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

void TJournalWriter::setPauses(int first, int longest)
{
    QMutexLocker lock(&m_mutex);
    m_firstPause = first;
    m_longestPause = longest;
}

void TJournalWriter::setSpoolDirectory(const QString &directory)
{
    Item item;
    item.op = Item::Op::Spool;
    item.directory = directory;
    enqueue(std::move(item));
}

void TJournalWriter::beginRun(const TJournal::RunStart &run, bool grouped)
{
    {
        QMutexLocker lock(&m_mutex);
        m_starting = true;
        m_grouped = grouped;
    }
    enqueue(Item{Item::Op::Record, JournalRecord::begin(run), {}});
}

void TJournalWriter::recordImage(const TRecordedImage &image)
{
    enqueue(Item{Item::Op::Record, JournalRecord::ofImage(image), {}});
}

void TJournalWriter::recordLaterFate(const TRecordedImage &image)
{
    enqueue(Item{Item::Op::Record, JournalRecord::laterFate(image), {}});
}

void TJournalWriter::recordEvent(const TIssue &issue)
{
    enqueue(Item{Item::Op::Record, JournalRecord::event(issue), {}});
}

qint64 TJournalWriter::endRun(const QString &base)
{
    enqueue(Item{Item::Op::Record, JournalRecord::end(base), {}});
    waitUntilWritten();
    QMutexLocker lock(&m_mutex);
    return m_endedRun;
}

void TJournalWriter::checkpoint()
{
    enqueue(Item{Item::Op::Checkpoint, {}, {}});
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

QList<TIssue> TJournalWriter::takeNotices()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_notices, {});
}

// An image waits for the one before it (a batch: for room among the images
// in memory), but never longer than a moment.
void TJournalWriter::enqueue(Item item)
{
    const bool image = isImage(item);
    QMutexLocker lock(&m_mutex);
    const QDeadlineTimer moment(MomentMs);
    while (image && m_imagesPending >= (m_starting ? OpeningBacklog : m_grouped ? GroupedBacklog : 1)
           && !moment.hasExpired())
        m_changed.wait(&m_mutex, moment);
    m_queue.push_back(std::move(item));
    if (image)
        ++m_imagesPending;
    m_changed.wakeAll();
}

// The writer's thread: the journal (its connection) lives and dies here.
void TJournalWriter::writeAll()
{
    m_journal = newJournal();
    // Told with the run's start, which is the first thing that must wait.
    if (!m_journal->open())
        goAway(m_journal->errorString(), false);
    QMutexLocker lock(&m_mutex);
    for (;;) {
        while (m_queue.empty() && !m_stopping && !(m_away && m_retryAt.hasExpired())) {
            if (m_away)
                m_changed.wait(&m_mutex, m_retryAt);
            else
                m_changed.wait(&m_mutex);
        }
        if (m_queue.empty() && m_stopping) {
            // A station stopping tries the journal once more, so that a server
            // back since the last try gets what waits now, not at the next start.
            if (!m_away || std::exchange(m_triedAtStop, true))
                break;
            lock.unlock();
            retry();
            lock.relock();
            continue;
        }
        // A journal away is tried again when its pause is over, whatever comes.
        const bool retrying = m_away && m_retryAt.hasExpired();
        if (!retrying)
            gatherGroup();
        const QList<Item> items = retrying ? QList<Item>() : takeItems();
        m_busy = true;
        lock.unlock();
        if (items.isEmpty())
            retry();
        else
            handle(items);
        const int held = m_away ? imagesHeld() : 0;
        lock.relock();
        m_busy = false;
        for (const Item &item : items)
            m_imagesPending -= isImage(item) ? 1 : 0;
        m_waitingImages = m_imagesPending + held;
        m_changed.wakeAll();
    }
    lock.unlock();
    m_spool.reset();
    m_journal.reset();
}

// A connection of the writer's: it waits briefly for another writer, and
// syncs every commit or not as the run asks.
std::unique_ptr<TJournal> TJournalWriter::newJournal() const
{
    auto journal = std::make_unique<TJournal>(m_location);
    journal->setBusyTimeout(BusyTimeoutMs);
    journal->setSyncEveryCommit(m_syncEveryCommit);
    return journal;
}

bool TJournalWriter::isImage(const Item &item)
{
    return item.op == Item::Op::Record && item.record.isImage();
}

// A batch's images are written in groups: the writer waits a little for the
// group to fill (every commit is a disk sync, and rewrites the pages the
// previous one wrote), unless something else than an image is waiting.
// Called with m_mutex held.
void TJournalWriter::gatherGroup()
{
    if (!m_grouped || m_away)
        return;
    const QDeadlineTimer gathering(GroupGatherMs);
    for (;;) {
        int images = 0;
        for (const Item &item : m_queue) {
            if (!isImage(item))
                return;
            ++images;
        }
        if (images >= GroupSize || m_stopping || gathering.hasExpired())
            return;
        m_changed.wait(&m_mutex, gathering);
    }
}

// The next write: one item, or a batch's images that wait, up to a group.
// Called with m_mutex held.
QList<TJournalWriter::Item> TJournalWriter::takeItems()
{
    QList<Item> items;
    while (!m_queue.empty()
           && (items.isEmpty()
               || (m_grouped && isImage(items.first()) && isImage(m_queue.front()) && items.size() < GroupSize))) {
        items << std::move(m_queue.front());
        m_queue.pop_front();
    }
    return items;
}

void TJournalWriter::handle(const QList<Item> &items)
{
    if (items.size() > 1 && writeGroup(items))
        return;
    for (const Item &item : items) {
        switch (item.op) {
        case Item::Op::Record: handleRecord(item.record); break;
        case Item::Op::Spool: openSpool(item.directory); break;
        case Item::Op::Checkpoint:
            if (!m_away && m_journal->isOpen() && !m_journal->checkpoint())
                noteFailure(m_journal->errorString());
            break;
        }
    }
}

// Images of a batch in one transaction; false when they are to be taken one by one.
bool TJournalWriter::writeGroup(const QList<Item> &items)
{
    if (m_away || m_runId == 0)
        return false;
    QList<TRecordedImage> images;
    for (const Item &item : items)
        images << item.record.image;
    if (m_journal->recordImages(m_runId, images))
        return true;
    // Refused rather than away: one by one, so that only the refused image is missing.
    if (m_journal->failureIsAway())
        goAway(m_journal->errorString(), true);
    return false;
}

void TJournalWriter::handleRecord(const JournalRecord &record)
{
    if (record.kind == JournalRecord::Kind::Begin)
        m_lostRecords = false;
    if (!m_away) {
        if (writeLive(record))
            return;
        if (!m_journal->failureIsAway()) {
            refuse(record);
            return;
        }
        goAway(m_journal->errorString(), record.kind != JournalRecord::Kind::Begin);
    }
    hold(record);
    if (record.kind == JournalRecord::Kind::Begin) {
        QMutexLocker lock(&m_mutex);
        m_starting = false;
    }
}

// Into the journal as it comes; false when the journal did not take it.
bool TJournalWriter::writeLive(const JournalRecord &record)
{
    switch (record.kind) {
    case JournalRecord::Kind::Begin:
        m_runId = 0;
        m_runKey = 0;
        m_runOpen = true;
        {
            QMutexLocker lock(&m_mutex);
            m_syncEveryCommit = !m_grouped;
        }
        m_journal->setSyncEveryCommit(m_syncEveryCommit);
        m_runId = m_journal->beginRun(record.run);
        if (m_runId != 0) {
            QMutexLocker lock(&m_mutex);
            m_starting = false;
        }
        return m_runId != 0;
    // Without its run an image has nowhere to go.
    case JournalRecord::Kind::Image: return m_runId == 0 || m_journal->recordImage(m_runId, record.image);
    case JournalRecord::Kind::LaterFate: return m_runId == 0 || m_journal->recordLaterFate(m_runId, record.image);
    case JournalRecord::Kind::End:
        if (m_runId != 0 && !m_journal->endRun(m_runId, record.base, record.at))
            return false;
        finishRun();
        return true;
    case JournalRecord::Kind::Event: return m_journal->recordEvent(m_runId, record.issue);
    }
    return true;
}

// The journal answered and refused the record (a constraint, a trigger, a
// right it lacks): trying again would not help. The failure is told and the
// record left out; a run whose start was refused has nowhere for its images.
void TJournalWriter::refuse(const JournalRecord &record)
{
    m_lostRecords = true;
    noteFailure(m_journal->errorString());
    if (record.kind == JournalRecord::Kind::Begin) {
        m_runId = 0;
        QMutexLocker lock(&m_mutex);
        m_starting = false;
    } else if (record.kind == JournalRecord::Kind::End) {
        finishRun();
    }
}

void TJournalWriter::finishRun()
{
    {
        QMutexLocker lock(&m_mutex);
        m_endedRun = m_runId;
    }
    m_runId = 0;
    m_runKey = 0;
    m_runOpen = false;
}

// ---- the spool -------------------------------------------------------------

// Records an earlier life of the station left waiting are sent before anything new.
void TJournalWriter::openSpool(const QString &directory)
{
    if (directory.isEmpty() || (m_spool && m_spool->file() == QDir(directory).filePath(JournalSpool::fileName())))
        return;
    m_spool = std::make_unique<JournalSpool>(QDir(directory).filePath(JournalSpool::fileName()),
                                             JournalLocation::parse(m_location).display());
    m_spoolFailed = false;
    // The spool's file is made when something first has to wait.
    if (!QFileInfo::exists(m_spool->file()) || !m_spool->open() || m_spool->isEmpty())
        return;
    if (!m_away) {
        setAway(true);
        m_awaySince = QDateTime::currentDateTime();
        m_pause = 0;
    }
    notice(QStringLiteral("Журнал измерений %1: в очереди %2 ждут записи изображений: %3.")
               .arg(m_journal->displayLocation(), m_spool->file())
               .arg(m_spool->waitingImages()));
    m_retryAt = QDeadlineTimer(0);
}

// Keeps what the journal did not take: in the spool, else (the spool cannot
// be written, or records wait in memory already) in memory, in order.
void TJournalWriter::hold(const JournalRecord &record)
{
    qint64 key = 0;
    if (record.kind == JournalRecord::Kind::Begin) {
        if (!m_awayReason.isEmpty())
            noteFailure(m_awayReason);
        m_runOpen = true;
        m_runId = 0;
        m_runKey = runKey(0);
        key = m_runKey;
    } else if (m_runOpen) {
        if (m_runKey == 0)
            m_runKey = runKey(m_runId);
        key = m_runKey;
    }
    const bool spooled = m_held.empty() && key >= 0 && m_spool && m_spool->add(key, record);
    if (!spooled) {
        m_lostRecords = true;  // in memory only, until the journal answers
        if (m_spool && !m_spoolFailed) {
            m_spoolFailed = true;
            noteFailure(m_spool->errorString());
        }
        m_held.emplace_back(key, record);
    }
    if (record.kind == JournalRecord::Kind::End) {
        const int waiting = imagesHeld();
        finishRun();
        const auto inMemory = std::count_if(m_held.cbegin(), m_held.cend(),
                                            [](const auto &held) { return held.second.isImage(); });
        if (!m_held.empty()) {
            noteFailure(QStringLiteral("Журнал измерений %1: изображений ждут записи только в памяти: %2; "
                                       "если программа завершится раньше, чем журнал ответит, они не будут записаны.")
                            .arg(m_journal->displayLocation())
                            .arg(inMemory));
        }
        tellWaiting(waiting);
    }
}

// A key for a run in the spool; negative when only memory knows it.
qint64 TJournalWriter::runKey(qint64 journalRun)
{
    const qint64 key = m_held.empty() && m_spool ? m_spool->addRun(journalRun) : 0;
    if (key > 0)
        return key;
    m_memoryRuns.insert(--m_memoryKey, journalRun);
    return m_memoryKey;
}

qint64 TJournalWriter::journalRunOf(qint64 key)
{
    if (key == 0)
        return 0;
    if (key < 0)
        return m_memoryRuns.value(key);
    return m_spool ? m_spool->journalRun(key) : 0;
}

void TJournalWriter::setJournalRunOf(qint64 key, qint64 journalRun)
{
    if (key < 0)
        m_memoryRuns.insert(key, journalRun);
    else if (key > 0 && m_spool)
        m_spool->setJournalRun(key, journalRun);
}

int TJournalWriter::imagesHeld()
{
    int images = m_spool ? std::max(0, m_spool->waitingImages()) : 0;
    for (const auto &[key, record] : m_held)
        images += record.isImage() ? 1 : 0;
    return images;
}

// ---- away and back ---------------------------------------------------------

void TJournalWriter::goAway(const QString &reason, bool tell)
{
    setAway(true);
    m_awayReason = reason;
    m_awaySince = QDateTime::currentDateTime();
    {
        QMutexLocker lock(&m_mutex);
        m_pause = m_firstPause;
    }
    m_retryAt = QDeadlineTimer(m_pause);
    m_waitingTold = -1;
    if (tell)
        noteFailure(reason);
    notice(QStringLiteral("Журнал измерений %1 недоступен; записи изображений ждут в очереди %2 и будут записаны, "
                          "когда он ответит. Причина: %3")
               .arg(m_journal->displayLocation(),
                    m_spool ? m_spool->file() : QStringLiteral("(пока в памяти)"), reason));
}

// Another try failed: a longer pause, and the count of images waiting when it grew.
void TJournalWriter::stayAway(const QString &reason)
{
    m_awayReason = reason;
    {
        QMutexLocker lock(&m_mutex);
        m_pause = std::clamp(m_pause * 2, m_firstPause, m_longestPause);
    }
    m_retryAt = QDeadlineTimer(m_pause);
    const int waiting = imagesHeld();
    if (waiting != m_waitingTold)
        tellWaiting(waiting);
}

void TJournalWriter::tellWaiting(int images)
{
    m_waitingTold = images;
    notice(QStringLiteral("Журнал измерений %1 недоступен: ждут записи изображений: %2.")
               .arg(m_journal->displayLocation())
               .arg(images));
}

// Tries the journal again with a new connection (a server restarted has
// dropped the old one) and sends what waits, in order.
void TJournalWriter::retry()
{
    std::unique_ptr<TJournal> journal = newJournal();
    if (!journal->open()) {
        stayAway(journal->errorString());
        return;
    }
    m_journal = std::move(journal);
    int images = 0;
    if (drain(&images))
        comeBack(images);
    else
        stayAway(m_journal->errorString());
}

// Sends the spool, then what waits in memory; false at the first record the
// journal does not take (it stays first in line).
bool TJournalWriter::drain(int *images)
{
    for (;;) {
        spoolQueued();
        JournalSpool::Entry entry;
        if (m_spool && m_spool->next(&entry)) {
            if (!sendHeld(entry.run, entry.record) && !refusedWhileSending())
                return false;
            // Sent but still in the spool: sent again at the next try (an
            // image the journal holds is not written twice), never in a loop.
            if (!m_spool->remove(entry))
                return false;
        } else if (!m_held.empty()) {
            entry.run = m_held.front().first;
            entry.record = m_held.front().second;
            if (!sendHeld(entry.run, entry.record) && !refusedWhileSending())
                return false;
            m_held.pop_front();
        } else {
            return true;
        }
        *images += entry.record.isImage() ? 1 : 0;
    }
}

// A record that waited and that the journal, answering, refused: told and
// left out, so that it does not stop the ones behind it for good.
bool TJournalWriter::refusedWhileSending()
{
    if (m_journal->failureIsAway())
        return false;
    m_lostRecords = true;
    noteFailure(m_journal->errorString());
    return true;
}

// One record that waited, under its run's id in the journal. An image the
// journal holds already (its commit went through, its answer was lost) is
// not written again.
bool TJournalWriter::sendHeld(qint64 key, const JournalRecord &record)
{
    const qint64 run = journalRunOf(key);
    switch (record.kind) {
    case JournalRecord::Kind::Begin: {
        const qint64 id = m_journal->beginRun(record.run);
        if (id != 0)
            setJournalRunOf(key, id);
        return id != 0;
    }
    case JournalRecord::Kind::Image:
        return run == 0 || m_journal->hasImage(run, record.image) || m_journal->recordImage(run, record.image);
    case JournalRecord::Kind::LaterFate: return run == 0 || m_journal->recordLaterFate(run, record.image);
    case JournalRecord::Kind::End: return run == 0 || m_journal->endRun(run, record.base, record.at);
    case JournalRecord::Kind::Event: return m_journal->recordEvent(run, record.issue);
    }
    return true;
}

// Records handed over while the spool is being sent go into it behind the
// others, so that they are on the disk meanwhile.
void TJournalWriter::spoolQueued()
{
    std::deque<Item> records;
    {
        QMutexLocker lock(&m_mutex);
        std::deque<Item> others;
        for (Item &item : m_queue)
            (item.op == Item::Op::Record ? records : others).push_back(std::move(item));
        m_queue = std::move(others);
    }
    int images = 0;
    for (const Item &item : records) {
        hold(item.record);
        images += isImage(item) ? 1 : 0;
    }
    QMutexLocker lock(&m_mutex);
    m_imagesPending -= images;
    if (std::any_of(records.cbegin(), records.cend(),
                    [](const Item &item) { return item.record.kind == JournalRecord::Kind::Begin; }))
        m_starting = false;
    m_changed.wakeAll();
}

void TJournalWriter::comeBack(int images)
{
    setAway(false);
    m_awayReason.clear();
    if (m_runOpen && m_runKey != 0)
        m_runId = journalRunOf(m_runKey);
    m_runKey = 0;
    m_memoryRuns.clear();
    if (m_spool)
        m_spool->forgetIdleRuns();
    notice(QStringLiteral("Журнал измерений %1 снова доступен: записано изображений из очереди: %2 "
                          "(журнал был недоступен с %3).")
               .arg(m_journal->displayLocation())
               .arg(images)
               .arg(IsoTime::text(m_awaySince, IsoTime::Precision::Seconds)));
}

void TJournalWriter::setAway(bool away)
{
    m_away = away;
    m_awayNow = away;
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

// A warning, so that the event log keeps it with the others of the outage.
void TJournalWriter::notice(const QString &text)
{
    {
        QMutexLocker lock(&m_mutex);
        m_notices << TIssue::make(TIssue::Severity::Warning, TIssue::Source::Run, m_journal->displayLocation(), text);
    }
    if (m_failed)
        m_failed();
}

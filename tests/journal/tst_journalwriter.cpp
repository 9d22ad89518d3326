#include "TJournalRecorder.h"
#include "TParameters.h"
#include "TRecordedImage.h"
#include "TZoneInfo.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>

// Every disk sync of the process passes here first (the journal's SQLite
// resolves fsync and fdatasync to these): a test counts those of one file.
namespace {

std::atomic<bool> counting{false};
QMutex countedLock;
QString countedFile;
int syncs = 0;

void noteSync(int fd)
{
    if (!counting)
        return;
    char target[4096];
    const ssize_t length = readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), target,
                                    sizeof target - 1);
    if (length <= 0)
        return;
    const QString file = QString::fromLocal8Bit(target, int(length));
    QMutexLocker lock(&countedLock);
    syncs += file == countedFile ? 1 : 0;
}

template<typename Function> Function realFunction(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    noteSync(fd);
    static const auto real = realFunction<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    noteSync(fd);
    static const auto real = realFunction<int (*)(int)>("fdatasync");
    return real(fd);
}

namespace {

TRecordedImage image(int number)
{
    TRecordedImage image;
    image.path = QStringLiteral("/station/buffer/w-%1.bmp").arg(number);
    image.number = number;
    for (int k = 0; k < 16; ++k) {
        TZoneMeasurement m;
        m.found = true;
        m.x = 10 + k;
        m.y = 20 + number;
        image.zones << m;
    }
    return image;
}

} // namespace

// What a watch promises of its journal: each image is durable (a disk sync
// of its commit) before the next one is taken, so that a crash loses no more
// than the image being written and the one being measured.
class TestJournalWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void watchImageIsCommittedBeforeTheNextIsTaken();
    void watchCommitsAreEachSynced_data();
    void watchCommitsAreEachSynced();

private:
    int imagesInJournal() { return count(QStringLiteral("images")); }
    int count(const QString &table);

    QTemporaryDir m_dir;
    TParameters m_params;
    QString m_journal;
    int m_testNumber = 0;
};

void TestJournalWriter::init()
{
    QVERIFY(m_dir.isValid());
    m_params = TParameters();
    m_params.WorkDir = m_dir.filePath(QStringLiteral("work%1").arg(++m_testNumber));
    QDir().mkpath(m_params.WorkDir);
    m_params.ZonesFileName = m_dir.filePath(QStringLiteral("z.zon"));
    TestSupport::writeFile(m_params.ZonesFileName, "0;0;19;29\r\n");
    m_journal = QDir(m_params.WorkDir).filePath(QStringLiteral("journal.sqlite"));
}

// Read through a connection of its own, as another process would.
int TestJournalWriter::count(const QString &table)
{
    const QString name = QStringLiteral("reader");
    int images = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_journal);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && query.next())
            images = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(name);
    return images;
}

// Handing over an image waits until the one before it is committed: the
// journal holds every image but the last whenever the run goes on.
void TestJournalWriter::watchImageIsCommittedBeforeTheNextIsTaken()
{
    TJournalRecorder recorder(m_journal);
    recorder.beginRun(QStringLiteral("watch"), QString(), m_params, {});
    // While the run's start is being written, images may wait in memory; once
    // it is there, each waits for the one before. The start's row is visible
    // a moment before the writer is done with it; the first image's row is
    // not, so that is what the test waits for.
    recorder.recordImage(image(1));
    QTRY_COMPARE(count(QStringLiteral("images")), 1);
    for (int n = 2; n <= 40; ++n) {
        recorder.recordImage(image(n));
        const int held = count(QStringLiteral("images"));
        if (n > 2)
            QVERIFY2(held >= n - 1, qPrintable(QStringLiteral("image %1 handed over, %2 in the journal").arg(n).arg(held)));
    }
    recorder.endRun(QString());
    QCOMPARE(imagesInJournal(), 40);
    QVERIFY(!recorder.failed());
}

void TestJournalWriter::watchCommitsAreEachSynced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("everyImage");
    QTest::newRow("watch") << QStringLiteral("watch") << true;
    QTest::newRow("timed run") << QStringLiteral("scheduled") << true;
    // A batch over a list may share a sync among the images that waited.
    QTest::newRow("batch") << QStringLiteral("cli") << false;
}

// Each image of a watch is on the disk when its commit returns: one sync of
// the journal's write-ahead log per image at least.
void TestJournalWriter::watchCommitsAreEachSynced()
{
    QFETCH(QString, kind);
    QFETCH(bool, everyImage);
    constexpr int Images = 30;
    {
        QMutexLocker lock(&countedLock);
        countedFile = QFileInfo(m_journal + QStringLiteral("-wal")).absoluteFilePath();
        syncs = 0;
    }
    TJournalRecorder recorder(m_journal);
    recorder.beginRun(kind, QString(), m_params, {});
    counting = true;
    for (int n = 1; n <= Images; ++n)
        recorder.recordImage(image(n));
    recorder.endRun(QString());
    counting = false;
    QCOMPARE(imagesInJournal(), Images);
    QMutexLocker lock(&countedLock);
    if (everyImage)
        QVERIFY2(syncs >= Images, qPrintable(QString::number(syncs)));
    else
        QVERIFY2(syncs > 0 && syncs <= Images, qPrintable(QString::number(syncs)));
}

QTEST_GUILESS_MAIN(TestJournalWriter)
#include "tst_journalwriter.moc"

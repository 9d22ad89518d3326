#include "BufferWatcher.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Which image of the buffer the watch takes next: name order, retries of a
// failed disposal after a growing pause, and an image that keeps growing.
class TestBufferWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void retryPauseDoublesUpToAMinute();
    void shortWriteHoldsLaterImages();
    void imageThatKeepsGrowingIsPassedOver();

private:
    QString image(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    void grow(const QString &name) { TestSupport::writeFile(image(name), QByteArray(m_size += 10, 'x')); }
    QTemporaryDir m_dir;
    BufferWatcher m_watcher;
    int m_size = 0;
};

void TestBufferWatcher::init()
{
    m_watcher.clear();
    for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files))
        QFile::remove(image(name));
}

// A failed disposal is tried again after 1 s, then 2, 4, ... and never more
// than a minute apart; in between, the image is passed over.
void TestBufferWatcher::retryPauseDoublesUpToAMinute()
{
    grow("a.bmp");
    qint64 now = 1000000;
    m_watcher.next(m_dir.path(), now);
    QCOMPARE(m_watcher.next(m_dir.path(), now).work, BufferWatcher::Work::Process);
    const QList<qint64> pauses{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
    m_watcher.disposalFailed(image("a.bmp"), now);
    for (const qint64 pause : pauses) {
        QCOMPARE(m_watcher.next(m_dir.path(), now + pause - 1).work, BufferWatcher::Work::None);
        const BufferWatcher::Next due = m_watcher.next(m_dir.path(), now + pause);
        QCOMPARE(due.work, BufferWatcher::Work::DisposeOnly);
        QCOMPARE(due.path, image("a.bmp"));
        now += pause;
        m_watcher.disposalFailed(image("a.bmp"), now);
    }
    QCOMPARE(m_watcher.pendingCount(), 1);
    // Gone from the buffer (moved by hand): forgotten.
    QFile::remove(image("a.bmp"));
    m_watcher.next(m_dir.path(), now);
    QCOMPARE(m_watcher.pendingCount(), 0);
}

// A camera writing its image for a moment: the images after it wait, so
// that the series keeps the name order.
void TestBufferWatcher::shortWriteHoldsLaterImages()
{
    grow("a.bmp");
    TestSupport::writeFile(image("b.bmp"), "b");
    m_watcher.next(m_dir.path(), 0);
    grow("a.bmp");
    QCOMPARE(m_watcher.next(m_dir.path(), 1000).work, BufferWatcher::Work::None);
    const BufferWatcher::Next next = m_watcher.next(m_dir.path(), 1100);
    QCOMPARE(next.work, BufferWatcher::Work::Process);
    QCOMPARE(next.path, image("a.bmp"));
}

// A file that never stops growing (a log written into the buffer, a stuck
// writer) holds the others only for a while, is then passed over and named
// once; it is taken when it has stopped growing.
void TestBufferWatcher::imageThatKeepsGrowingIsPassedOver()
{
    grow("a.bmp");
    TestSupport::writeFile(image("b.bmp"), "b");
    TestSupport::writeFile(image("c.bmp"), "c");
    m_watcher.next(m_dir.path(), 0);
    qint64 now = 0;
    QStringList passed;
    QStringList taken;
    for (int tick = 1; tick <= 150; ++tick) {
        now = tick * 100;
        if (tick < 140)
            grow("a.bmp");
        const BufferWatcher::Next next = m_watcher.next(m_dir.path(), now);
        if (!next.growing.isEmpty())
            passed << QFileInfo(next.growing).fileName() + '@' + QString::number(now);
        if (next.work == BufferWatcher::Work::Process) {
            taken << QFileInfo(next.path).fileName() + '@' + QString::number(now);
            m_watcher.forget(next.path);
            QFile::remove(next.path);
        }
    }
    QCOMPARE(passed, QStringList{"a.bmp@" + QString::number(BufferWatcher::GrowingPassMs)});
    QCOMPARE(taken.size(), 3);
    QVERIFY2(taken.at(0).startsWith("b.bmp@") && taken.at(1).startsWith("c.bmp@") && taken.at(2).startsWith("a.bmp@"),
             qPrintable(taken.join(' ')));
    QVERIFY(taken.at(0) == "b.bmp@" + QString::number(BufferWatcher::GrowingPassMs + 100)
            || taken.at(0) == "b.bmp@" + QString::number(BufferWatcher::GrowingPassMs));
}

QTEST_GUILESS_MAIN(TestBufferWatcher)
#include "tst_bufferwatcher.moc"

#include "WatchStation.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// One working directory, several starts: a second watch or run is refused
// while one works there, a lock left by a killed watch is taken over, and a
// watch after one whose results were moved away never adds to its archive.
class TestSharedWorkDir : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondStartIsRefused();
    void lockHeldByAnotherProgram_data();
    void lockHeldByAnotherProgram();
    void lockOfKilledWatchIsTakenOver();
    void restartAfterResultsMovedKeepsArchive();

private:
    // Starts a watch and waits for its first line; the process is left running.
    static bool startWatch(QProcess &tool, const WatchStation &station, const QString &buffer);
    static void stop(QProcess &tool);
    static QString lockFile(const WatchStation &station) { return QDir(station.work).filePath("kelvarin2.lock"); }
};

bool TestSharedWorkDir::startWatch(QProcess &tool, const WatchStation &station, const QString &buffer)
{
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, buffer});
    if (!tool.waitForStarted())
        return false;
    QByteArray err;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && !err.contains("Наблюдение за ")) {
        tool.waitForReadyRead(100);
        err += tool.readAllStandardError();
    }
    return err.contains("Наблюдение за ");
}

void TestSharedWorkDir::stop(QProcess &tool)
{
    ::kill(pid_t(tool.processId()), SIGTERM);
    tool.waitForFinished(30000);
}

void TestSharedWorkDir::secondStartIsRefused()
{
    WatchStation station;
    const QString otherBuffer = station.dir.filePath("buffer2");
    QDir().mkpath(otherBuffer);
    QProcess first;
    QVERIFY(startWatch(first, station, station.buffer));
    const QString holder = QString("Рабочая директория %1 занята: в ней работает процесс %2 на ")
                               .arg(station.work)
                               .arg(first.processId());
    const QString image = QDir(otherBuffer).filePath("b.bmp");
    TestSupport::writeFile(image, WatchStation::image(2, 2));
    const QList<QStringList> starts{{"watch", "--settings", station.settings, otherBuffer},
                                    {"process", "--settings", station.settings, image}};
    for (const QStringList &arguments : starts) {
        QByteArray out, err;
        QCOMPARE(WatchStation::run(arguments, &out, &err), 2);
        QVERIFY2(QString::fromUtf8(err).contains(holder), err.constData());
    }
    // The refused starts changed nothing: the image waits, the first watch goes on.
    QVERIFY(QFileInfo::exists(image));
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    stop(first);
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(station.crdLines(1).size(), 1);
    QCOMPARE(QDir(station.work).entryList({"work_*_1.crd"}, QDir::Files), QStringList{"work_0001_1.crd"});
    // Given free at the end: the next start works.
    QVERIFY(!QFileInfo::exists(lockFile(station)));
    QByteArray out, err;
    QCOMPARE(WatchStation::run(starts.last(), &out, &err), 0);
}

void TestSharedWorkDir::lockHeldByAnotherProgram_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("holder");
    QTest::newRow("says who") << QByteArray("pid=4242\nhost=station-7\nstart=2026-12-10T11:50:00+01:00\n")
                              << "процесс 4242 на station-7, начат 2026-12-10T11:50:00+01:00";
    QTest::newRow("says nothing") << QByteArray() << "неизвестный процесс";
}

// `flock` from another program: the tool honours any holder of the file.
void TestSharedWorkDir::lockHeldByAnotherProgram()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, holder);
    WatchStation station;
    TestSupport::writeFile(lockFile(station), content);
    const int fd = ::open(QFile::encodeName(lockFile(station)).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    QByteArray out, err;
    const int status = WatchStation::run({"watch", "--settings", station.settings, station.buffer}, &out, &err);
    ::close(fd);
    QCOMPARE(status, 2);
    QCOMPARE(QString::fromUtf8(err), QString("kelvarin2-cli: Рабочая директория %1 занята: в ней работает %2.\n")
                                         .arg(station.work, holder));
    // The holder's file is left to the holder.
    QCOMPARE(TestSupport::readFile(lockFile(station)), content);
}

void TestSharedWorkDir::lockOfKilledWatchIsTakenOver()
{
    WatchStation station;
    QProcess killed;
    QVERIFY(startWatch(killed, station, station.buffer));
    const qint64 pid = killed.processId();
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(killed.waitForFinished(30000));
    QVERIFY(QFileInfo::exists(lockFile(station)));

    QProcess next;
    QVERIFY(startWatch(next, station, station.buffer));
    stop(next);
    QCOMPARE(next.exitCode(), 0);
    const QString events = QString::fromUtf8(TestSupport::readFile(QDir(station.work).filePath("kelvarin2-events.log")));
    QVERIFY2(events.contains(QString("Блокировка рабочей директории %1 оставлена завершившимся запуском (процесс %2 на ")
                                 .arg(station.work)
                                 .arg(pid)),
             qPrintable(events));
    QVERIFY(!QFileInfo::exists(lockFile(station)));
}

// The first watch's result set was moved away and only its archive stayed:
// the next watch takes a new base and never touches that archive.
void TestSharedWorkDir::restartAfterResultsMovedKeepsArchive()
{
    if (!WatchStation::haveZip())
        QSKIP("zip and unzip are not installed");
    WatchStation station("SaveToOneZip=1\r\n");
    QProcess tool;
    QVERIFY(startWatch(tool, station, station.buffer));
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(1, 1));
    TestSupport::writeFile(QDir(station.buffer).filePath("b.bmp"), WatchStation::image(2, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    stop(tool);
    const QString firstArchive = station.base() + ".zip";
    const QByteArray archived = TestSupport::readFile(firstArchive);
    QCOMPARE(WatchStation::archiveEntries(firstArchive), (QStringList{"a.bmp", "b.bmp"}));
    for (const QString &name : QDir(station.work).entryList({"work_0001_*"}, QDir::Files))
        QVERIFY(QFile::remove(QDir(station.work).filePath(name)));

    QVERIFY(startWatch(tool, station, station.buffer));
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(3, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    stop(tool);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(TestSupport::readFile(firstArchive), archived);
    QCOMPARE(WatchStation::archiveEntries(QDir(station.work).filePath("work_0002.zip")), QStringList{"a.bmp"});
    QVERIFY(QFileInfo::exists(QDir(station.work).filePath("work_0002_1.crd")));
}

QTEST_GUILESS_MAIN(TestSharedWorkDir)
#include "tst_sharedworkdir.moc"

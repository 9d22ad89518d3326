#include "../journal/PostgresForTests.h"
#include "JournalSpool.h"
#include "TJournal.h"
#include "WatchStation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <memory>

#include <csignal>

namespace {

// A watch of the tool on a station, with the journal and station given.
class RunningWatch
{
public:
    RunningWatch(const WatchStation &station, const QString &journal, const QString &name)
        : metrics(QDir(station.dir.path()).filePath(QStringLiteral("station.prom")))
    {
        m_tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, "--journal", journal,
                                            "--station", name, "--metrics", metrics, station.buffer});
    }
    // The images the metrics file says wait for the journal; -1 when it does not say.
    int waitingForJournal() const
    {
        for (const QByteArray &line : TestSupport::readFile(metrics).split('\n')) {
            if (line.startsWith("kelvarin2_images_waiting_for_journal{"))
                return line.mid(line.lastIndexOf(' ') + 1).toInt();
        }
        return -1;
    }
    const QString metrics;
    ~RunningWatch()
    {
        if (m_tool.state() != QProcess::NotRunning) {
            m_tool.kill();
            m_tool.waitForFinished();
        }
    }
    bool started()
    {
        QByteArray err;
        QElapsedTimer waited;
        waited.start();
        while (!err.contains("Наблюдение за ") && waited.elapsed() < 20000) {
            m_tool.waitForReadyRead(200);
            err += m_tool.readAllStandardError();
        }
        return err.contains("Наблюдение за ");
    }
    bool stop(int signal)
    {
        ::kill(pid_t(m_tool.processId()), signal);
        return m_tool.waitForFinished(30000);
    }
    int exitCode() const { return m_tool.exitStatus() == QProcess::NormalExit ? m_tool.exitCode() : -1; }

private:
    QProcess m_tool;
};

// The images of a station's runs in the journal, "number:name" in order, a
// duplicate as often as it is there.
QStringList journaled(const QString &journal, const QString &station)
{
    QStringList images;
    TJournal reader(journal, TJournal::Access::Read);
    for (const TJournalRun &run : reader.runs(station)) {
        for (const TJournalRow &row : reader.rows(run.id)) {
            const QString image = QStringLiteral("%1:%2").arg(row.number).arg(row.image);
            if (row.zone == 1)
                images << image;
        }
    }
    return images;
}

QStringList names(const QString &prefix, int first, int last)
{
    QStringList images;
    for (int n = first; n <= last; ++n)
        images << QString::number(n) + QLatin1Char(':') + prefix + QString::number(n) + QStringLiteral(".bmp");
    return images;
}

void dropImages(const WatchStation &station, const QString &prefix, int first, int last)
{
    for (int n = first; n <= last; ++n)
        TestSupport::writeFile(QDir(station.buffer).filePath(QStringLiteral("%1%2.bmp").arg(prefix).arg(n)),
                               WatchStation::image(1 + n % 15, 1 + n % 20));
}

} // namespace

// A station's journal away while it watches: the PostgreSQL server restarted
// in the middle of a watch or down when it starts, a SQLite journal another
// process holds. Measuring goes on, and every image reaches the journal once.
class TestJournalOutage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void serverRestartedDuringAWatch();
    void serverDownAtStartAndStationKilled();
    void sqliteJournalHeldByAnotherProcess();

private:
    QString stationName(const char *test) const
    {
        return QStringLiteral("%1-%2").arg(QLatin1String(test)).arg(QCoreApplication::applicationPid());
    }

    bool m_serverStopped = false;
};

void TestJournalOutage::cleanup()
{
    if (std::exchange(m_serverStopped, false))
        postgresServer(QStringLiteral("start"));
}

void TestJournalOutage::serverRestartedDuringAWatch()
{
    const QString journal = testPostgres();
    KELVARIN_NEED_SERVER(journal);
    const QString name = stationName("restart");
    WatchStation station;
    RunningWatch watch(station, journal, name);
    QVERIFY(watch.started());
    dropImages(station, QStringLiteral("a"), 1, 3);
    QTRY_COMPARE_WITH_TIMEOUT(journaled(journal, name), names(QStringLiteral("a"), 1, 3), 30000);

    m_serverStopped = true;
    QVERIFY(postgresServer(QStringLiteral("stop")));
    dropImages(station, QStringLiteral("a"), 4, 6);
    // Measured, its results written and the buffer emptied while the server is away.
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(station.crdLines(1).size(), 6, 10000);
    QVERIFY(QFileInfo::exists(QDir(station.work).filePath(JournalSpool::fileName())));
    // The count a Prometheus server reads, refreshed every second.
    QTRY_COMPARE_WITH_TIMEOUT(watch.waitingForJournal(), 3, 10000);
    QVERIFY(postgresServer(QStringLiteral("start")));
    m_serverStopped = false;

    dropImages(station, QStringLiteral("a"), 7, 8);
    QTRY_COMPARE_WITH_TIMEOUT(journaled(journal, name), names(QStringLiteral("a"), 1, 8), 90000);
    QTRY_COMPARE_WITH_TIMEOUT(watch.waitingForJournal(), 0, 10000);
    QVERIFY(watch.stop(SIGINT));
    // Nothing was lost: the outage is told, but the watch did its work.
    QCOMPARE(watch.exitCode(), 0);
    QCOMPARE(journaled(journal, name), names(QStringLiteral("a"), 1, 8));
    TJournal reader(journal, TJournal::Access::Read);
    const QList<TJournalRun> runs = reader.runs(name);
    QCOMPARE(runs.size(), 1);
    QVERIFY(runs.first().end.isValid());
    // The event log says when the journal went away and when what waited was written.
    const QString events = QString::fromUtf8(TestSupport::readFile(QDir(station.work).filePath("kelvarin2-events.log")));
    QVERIFY2(events.contains(QStringLiteral("недоступен")), qPrintable(events));
    QVERIFY2(events.contains(QStringLiteral("снова доступен")), qPrintable(events));
}

// Down when the watch starts, and the station killed before it is back: the
// next run of the station sends what its spool kept, under the first run.
void TestJournalOutage::serverDownAtStartAndStationKilled()
{
    const QString journal = testPostgres();
    KELVARIN_NEED_SERVER(journal);
    const QString name = stationName("down");
    WatchStation station;
    m_serverStopped = true;
    QVERIFY(postgresServer(QStringLiteral("stop")));
    {
        RunningWatch watch(station, journal, name);
        QVERIFY(watch.started());
        dropImages(station, QStringLiteral("b"), 1, 4);
        QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(station.crdLines(1).size(), 4, 10000);
        // The fourth image's record is committed to the spool right after its results.
        QTest::qWait(500);
        QVERIFY(watch.stop(SIGKILL));
    }
    QVERIFY(postgresServer(QStringLiteral("start")));
    m_serverStopped = false;
    QCOMPARE(journaled(journal, name), QStringList());

    dropImages(station, QStringLiteral("c"), 1, 2);
    QByteArray out, err;
    WatchStation::run({"process", "--settings", station.settings, "--journal", journal, "--station", name,
                       station.buffer}, &out, &err);
    QCOMPARE(journaled(journal, name), names(QStringLiteral("b"), 1, 4) + names(QStringLiteral("c"), 1, 2));
    TJournal reader(journal, TJournal::Access::Read);
    const QList<TJournalRun> runs = reader.runs(name);
    QCOMPARE(runs.size(), 2);
    QVERIFY(!runs.first().end.isValid()); // killed: it never ended
    QVERIFY(runs.last().end.isValid());
}

// Another process holds the SQLite journal when the watch starts: the watch
// measures at its pace meanwhile, and the journal gets every image once it is free.
void TestJournalOutage::sqliteJournalHeldByAnotherProcess()
{
    WatchStation station;
    const QString journal = QDir(station.work).filePath("held.sqlite");
    {
        TJournal created(journal);
        QVERIFY(created.open());
    }
    QSemaphore held;
    QSemaphore release;
    std::unique_ptr<QThread> holder(QThread::create([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            db.setDatabaseName(journal);
            QSqlQuery query(db);
            db.open();
            query.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            held.release();
            release.tryAcquire(1, 60000);
            query.exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }));
    holder->start();
    held.acquire();
    const QString name = stationName("held");
    RunningWatch watch(station, journal, name);
    QVERIFY(watch.started());
    QElapsedTimer measuring;
    measuring.start();
    dropImages(station, QStringLiteral("d"), 1, 6);
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(station.crdLines(1).size(), 6, 10000);
    // Far below the half minute SQLite would have waited for the lock per image.
    QVERIFY2(measuring.elapsed() < 20000, qPrintable(QString::number(measuring.elapsed())));
    release.release();
    holder->wait();
    QTRY_COMPARE_WITH_TIMEOUT(journaled(journal, name), names(QStringLiteral("d"), 1, 6), 60000);
    QVERIFY(watch.stop(SIGINT));
    QCOMPARE(journaled(journal, name), names(QStringLiteral("d"), 1, 6));
}

QTEST_GUILESS_MAIN(TestJournalOutage)
#include "tst_journaloutage.moc"

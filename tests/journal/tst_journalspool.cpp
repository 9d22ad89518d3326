#include "JournalLocation.h"
#include "JournalRecord.h"
#include "JournalSpool.h"
#include "PostgresForTests.h"
#include "TIssue.h"
#include "TJournal.h"
#include "TJournalRecorder.h"
#include "TParameters.h"
#include "TZoneInfo.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace {

// An image of `zones` zones, as detection and the run's record hand it over.
TRecordedImage image(const QString &tag, int number, int zones = 4)
{
    TRecordedImage image;
    image.path = QStringLiteral("/station/buffer/%1-%2.bmp").arg(tag).arg(number);
    image.number = number;
    image.modified = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC).addSecs(60 * number);
    image.size = 1000 + number;
    for (int k = 0; k < zones; ++k) {
        TZoneMeasurement m;
        m.found = k != 1;
        m.x = m.found ? 100.25 + k + number : -1;
        m.y = m.found ? 50.5 - k : -1;
        m.hasOrigin = k != 2;
        m.dx = m.found ? 0.25 * number : 0;
        m.dy = m.found ? -0.5 * k : 0;
        m.maximum = 250;
        m.threshold = 187.5;
        m.area = 9 + k;
        m.mean = 201.25;
        m.rejection = m.found ? TZoneMeasurement::Rejection::None : TZoneMeasurement::Rejection::MinArea;
        m.spots = k;  // zone 1: spots not counted
        m.sx = m.found ? 0.001 * (k + 1) + 0.0001 * number : 0;
        m.sy = m.found ? 0.002 * (k + 1) : 0;
        image.zones << m;
    }
    return image;
}

// A second connection that holds the SQLite journal with BEGIN EXCLUSIVE
// until released (or a minute, so that a fault cannot hang the suite).
class JournalLock
{
public:
    explicit JournalLock(const QString &file)
    {
        m_thread.reset(QThread::create([this, file] {
            const QString name = QStringLiteral("lock%1").arg(quintptr(this));
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(file);
                QSqlQuery query(db);
                m_locked = db.open() && query.exec(QStringLiteral("BEGIN EXCLUSIVE"));
                m_held.release();
                m_release.tryAcquire(1, 60000);
                query.exec(QStringLiteral("ROLLBACK"));
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }));
        m_thread->start();
        m_held.acquire();
    }
    ~JournalLock() { release(); }
    bool locked() const { return m_locked; }
    void release()
    {
        if (!m_thread)
            return;
        m_release.release();
        m_thread->wait();
        m_thread.reset();
    }

private:
    std::unique_ptr<QThread> m_thread;
    QSemaphore m_held;
    QSemaphore m_release;
    bool m_locked = false;
};

} // namespace

// What the journal cannot take waits in the spool and is written, in order
// and once, when it answers again: a locked SQLite journal, a PostgreSQL
// server stopped at the start or during a run, a station killed meanwhile.
class TestJournalSpool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void recordsKeepEveryField_data();
    void recordsKeepEveryField();
    void lockedSqliteJournal_data();
    void lockedSqliteJournal();
    void recordsLeftByAKilledStationAreSentFirst();
    void postgresAway_data();
    void postgresAway();
    void stoppingTriesTheJournalOnceMore();
    void fullDiskCountsWhatWaits();

private:
    std::unique_ptr<TJournalRecorder> recorder(const QString &location);
    // The images of the journal's runs that used `tag`, as "number:path", in order.
    QStringList imagesIn(const QString &location, const QString &tag);
    // "number zone spots sx sy" of every zone of a SQLite journal, NULL as such.
    static QStringList zoneFigures(const QString &file);
    static QStringList expectedZoneFigures(int images);

    QTemporaryDir m_dir;
    TParameters m_params;
    QList<TIssue> m_notices;
    int m_testNumber = 0;
    bool m_serverStopped = false;
};

void TestJournalSpool::init()
{
    QVERIFY(m_dir.isValid());
    m_params = TParameters();
    m_params.WorkDir = m_dir.filePath(QStringLiteral("work%1").arg(++m_testNumber));
    QDir().mkpath(m_params.WorkDir);
    m_params.ZonesFileName = m_dir.filePath(QStringLiteral("z.zon"));
    TestSupport::writeFile(m_params.ZonesFileName, "0;0;19;29\r\n");
    // The suite's PostgreSQL journal is shared by every test and every run
    // of this one: a station of its own tells this test's runs apart.
    m_params.Station = QStringLiteral("spool-%1-%2").arg(QCoreApplication::applicationPid()).arg(m_testNumber);
    m_notices.clear();
}

// A test that failed with the server stopped leaves it running for the others.
void TestJournalSpool::cleanup()
{
    if (std::exchange(m_serverStopped, false))
        postgresServer(QStringLiteral("start"));
}

std::unique_ptr<TJournalRecorder> TestJournalSpool::recorder(const QString &location)
{
    auto recorder = std::make_unique<TJournalRecorder>(location);
    recorder->setRetryPauses(100, 400);
    recorder->setNoticeHandler([this](const TIssue &notice) { m_notices << notice; });
    return recorder;
}

QStringList TestJournalSpool::imagesIn(const QString &location, const QString &tag)
{
    QStringList found;
    TJournal journal(location);
    const bool shared = JournalLocation::parse(location).postgres;
    for (const TJournalRun &run : journal.runs(shared ? m_params.Station : QString())) {
        QString last;
        for (const TJournalRow &row : journal.rows(run.id)) {
            const QString text = QStringLiteral("%1:%2").arg(row.number).arg(row.image);
            if (text != last && row.image.startsWith(tag + QLatin1Char('-')))
                found << text;
            last = text;
        }
    }
    return found;
}

void TestJournalSpool::recordsKeepEveryField_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("begin") << int(JournalRecord::Kind::Begin);
    QTest::newRow("image") << int(JournalRecord::Kind::Image);
    QTest::newRow("later fate") << int(JournalRecord::Kind::LaterFate);
    QTest::newRow("end") << int(JournalRecord::Kind::End);
    QTest::newRow("event") << int(JournalRecord::Kind::Event);
}

// What waits in the spool is written later exactly as it would have been.
void TestJournalSpool::recordsKeepEveryField()
{
    QFETCH(int, kind);
    TJournal::RunStart run;
    run.kind = QStringLiteral("watch");
    run.base = QStringLiteral("/w/base");
    run.settings = QStringLiteral("A=1\n");
    run.zonesText = QStringLiteral("0;0;9;9\r\n");
    run.zones = {QRect(0, 0, 10, 10)};
    run.origins = {QPointF(1.5, -1)};
    TRecordedImage shot = image(QStringLiteral("r"), 7);
    shot.fate = TRecordedImage::Fate::Archived;
    shot.storedAs = QStringLiteral("/w/a.zip:r-7.bmp");
    shot.detail = QStringLiteral("причина");
    const TIssue issue = TIssue::make(TIssue::Severity::Alarm, TIssue::Source::Monitoring, QStringLiteral("f.bmp"),
                                      QStringLiteral("Зона 3"));
    JournalRecord record;
    switch (JournalRecord::Kind(kind)) {
    case JournalRecord::Kind::Begin: record = JournalRecord::begin(run); break;
    case JournalRecord::Kind::Image: record = JournalRecord::ofImage(shot); break;
    case JournalRecord::Kind::LaterFate: record = JournalRecord::laterFate(shot); break;
    case JournalRecord::Kind::End: record = JournalRecord::end(QStringLiteral("/w/base")); break;
    case JournalRecord::Kind::Event: record = JournalRecord::event(issue); break;
    }
    JournalRecord back;
    QVERIFY(JournalRecord::decode(record.kind, record.encode(), &back));
    QCOMPARE(back.encode(), record.encode());
    QCOMPARE(back.run.startedAt, record.run.startedAt);
    QCOMPARE(back.image.zones.size(), record.image.zones.size());
    for (qsizetype k = 0; k < back.image.zones.size(); ++k) {
        QCOMPARE(back.image.zones.at(k).dx, record.image.zones.at(k).dx);
        QCOMPARE(back.image.zones.at(k).hasOrigin, record.image.zones.at(k).hasOrigin);
        QCOMPARE(back.image.zones.at(k).rejection, record.image.zones.at(k).rejection);
        QCOMPARE(back.image.zones.at(k).spots, record.image.zones.at(k).spots);
        QCOMPARE(back.image.zones.at(k).sx, record.image.zones.at(k).sx);
        QCOMPARE(back.image.zones.at(k).sy, record.image.zones.at(k).sy);
    }
    QCOMPARE(back.image.fate, record.image.fate);
    QCOMPARE(back.issue.severity, record.issue.severity);
    QCOMPARE(back.issue.text, record.issue.text);
    QCOMPARE(back.at, record.at);
    // Cut short, a record is refused rather than half read.
    QVERIFY(!JournalRecord::decode(record.kind, record.encode().chopped(3), &back));
}

void TestJournalSpool::lockedSqliteJournal_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::newRow("locked at the start") << true;
    QTest::newRow("locked during the run") << false;
}

// Another process holds the journal with BEGIN EXCLUSIVE: images are handed
// over while it holds it (measuring never waits for the journal), and every
// one is in the journal, once and in order, when it is free again.
void TestJournalSpool::lockedSqliteJournal()
{
    QFETCH(bool, atStart);
    const QString file = QDir(m_params.WorkDir).filePath(QStringLiteral("journal.sqlite"));
    {
        TJournal journal(file);
        QVERIFY(journal.open());
    }
    auto writer = recorder(file);
    std::unique_ptr<JournalLock> lock;
    if (atStart)
        lock = std::make_unique<JournalLock>(file);
    writer->beginRun(QStringLiteral("watch"), QString(), m_params, {});
    QStringList expected;
    for (int n = 1; n <= 12; ++n) {
        if (n == 5 && !atStart) {
            QTRY_COMPARE(imagesIn(file, QStringLiteral("lock")).size(), 4);
            lock = std::make_unique<JournalLock>(file);
        }
        QVERIFY(!lock || lock->locked());
        writer->recordImage(image(QStringLiteral("lock"), n));
        expected << QStringLiteral("%1:lock-%1.bmp").arg(n);
    }
    writer->endRun(QString());
    QVERIFY(writer->failed());
    lock->release();
    QTRY_COMPARE_WITH_TIMEOUT(imagesIn(file, QStringLiteral("lock")), expected, 20000);
    QTRY_VERIFY(QFileInfo::exists(QDir(m_params.WorkDir).filePath(JournalSpool::fileName())));
    QStringList texts;
    for (const TIssue &notice : std::as_const(m_notices))
        texts << notice.text;
    QVERIFY2(texts.join('\n').contains(QStringLiteral("недоступен")), qPrintable(texts.join('\n')));
    QTRY_VERIFY(!m_notices.isEmpty() && m_notices.last().text.contains(QStringLiteral("снова доступен")));
    // Caught up, the run has nothing left to fail on.
    QVERIFY(!writer->failed());
    QVERIFY2(m_notices.last().text.contains(QStringLiteral(": %1 ").arg(atStart ? 12 : 8)),
             qPrintable(m_notices.last().text));
    // The run has its end, and only one run was made of it.
    TJournal journal(file);
    QCOMPARE(journal.runs().size(), 1);
    QVERIFY(journal.runs().first().end.isValid());
    // Spots and the centre's uncertainty, written at once or from the spool;
    // NULL where spots were not counted or the target was not found.
    QCOMPARE(zoneFigures(file), expectedZoneFigures(12));
}

QStringList TestJournalSpool::zoneFigures(const QString &file)
{
    QStringList figures;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("figures"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open()
            && query.exec(QStringLiteral("SELECT i.number, m.zone, m.spots, m.sx, m.sy FROM measurements m "
                                         "JOIN images i ON i.id = m.image_id ORDER BY i.number, m.zone"))) {
            while (query.next()) {
                QStringList row;
                for (int c = 0; c < 5; ++c)
                    row << (query.value(c).isNull() ? QStringLiteral("NULL") : query.value(c).toString());
                figures << row.join(QLatin1Char(' '));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("figures"));
    return figures;
}

QStringList TestJournalSpool::expectedZoneFigures(int images)
{
    QStringList figures;
    for (int n = 1; n <= images; ++n) {
        const TRecordedImage shot = image(QStringLiteral("lock"), n);
        for (qsizetype k = 0; k < shot.zones.size(); ++k) {
            const TZoneMeasurement &m = shot.zones.at(k);
            const auto real = [&](double value) { return m.found ? QVariant(value).toString() : QStringLiteral("NULL"); };
            figures << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(n)
                           .arg(k + 1)
                           .arg(m.spots > 0 ? QString::number(m.spots) : QStringLiteral("NULL"), real(m.sx), real(m.sy));
        }
    }
    return figures;
}

// A station killed while records waited: its next start sends them, in
// order and before its own run, under the runs they belong to.
void TestJournalSpool::recordsLeftByAKilledStationAreSentFirst()
{
    const QString file = QDir(m_params.WorkDir).filePath(QStringLiteral("journal.sqlite"));
    {
        JournalSpool spool(QDir(m_params.WorkDir).filePath(JournalSpool::fileName()),
                           JournalLocation::parse(file).display());
        TJournal::RunStart run;
        run.kind = QStringLiteral("watch");
        const qint64 key = spool.addRun(0);
        QVERIFY(key > 0);
        QVERIFY(spool.add(key, JournalRecord::begin(run)));
        for (int n = 1; n <= 3; ++n)
            QVERIFY(spool.add(key, JournalRecord::ofImage(image(QStringLiteral("left"), n))));
        QCOMPARE(spool.waitingImages(), 3);
    }
    auto writer = recorder(file);
    writer->beginRun(QStringLiteral("watch"), QString(), m_params, {});
    writer->recordImage(image(QStringLiteral("next"), 1));
    writer->endRun(QString());
    QTRY_COMPARE(imagesIn(file, QStringLiteral("next")), QStringList{QStringLiteral("1:next-1.bmp")});
    QCOMPARE(imagesIn(file, QStringLiteral("left")),
             (QStringList{QStringLiteral("1:left-1.bmp"), QStringLiteral("2:left-2.bmp"), QStringLiteral("3:left-3.bmp")}));
    TJournal journal(file);
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 2);
    QVERIFY(!runs.first().end.isValid()); // killed: it never ended
    QVERIFY(runs.last().end.isValid());
    JournalSpool spool(QDir(m_params.WorkDir).filePath(JournalSpool::fileName()),
                       JournalLocation::parse(file).display());
    QCOMPARE(spool.waitingRecords(), 0);
}

void TestJournalSpool::postgresAway_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::newRow("server down at the start") << true;
    QTest::newRow("server restarted during the run") << false;
}

// The server stopped before the run or in its middle: every image is in
// the journal exactly once after it is back.
void TestJournalSpool::postgresAway()
{
    QFETCH(bool, atStart);
    const QString location = testPostgres();
    KELVARIN_NEED_SERVER(location);
    const QString tag = atStart ? QStringLiteral("pgstart") : QStringLiteral("pgmid");
    auto writer = recorder(location);
    m_serverStopped = atStart;
    if (atStart)
        QVERIFY(postgresServer(QStringLiteral("stop")));
    writer->beginRun(QStringLiteral("watch"), QString(), m_params, {});
    QStringList expected;
    for (int n = 1; n <= 9; ++n) {
        if (n == 4 && !atStart) {
            m_serverStopped = true;
            QVERIFY(postgresServer(QStringLiteral("stop")));
        }
        writer->recordImage(image(tag, n, 16));
        expected << QStringLiteral("%1:%2-%1.bmp").arg(n).arg(tag);
        if (n == 7 && !atStart) {
            QVERIFY(postgresServer(QStringLiteral("start")));
            m_serverStopped = false;
        }
    }
    writer->endRun(QString());
    if (atStart) {
        QVERIFY(writer->failed());
        QVERIFY(postgresServer(QStringLiteral("start")));
        m_serverStopped = false;
    }
    QTRY_COMPARE_WITH_TIMEOUT(imagesIn(location, tag), expected, 30000);
    QTRY_VERIFY(!m_notices.isEmpty() && m_notices.last().text.contains(QStringLiteral("снова доступен")));
    QVERIFY(!writer->failed());
}

// The server came back after the last try: a station that stops does not
// leave what waits for its next start.
void TestJournalSpool::stoppingTriesTheJournalOnceMore()
{
    const QString location = testPostgres();
    KELVARIN_NEED_SERVER(location);
    m_serverStopped = true;
    QVERIFY(postgresServer(QStringLiteral("stop")));
    {
        auto writer = recorder(location);
        writer->setRetryPauses(60000, 60000);
        writer->beginRun(QStringLiteral("watch"), QString(), m_params, {});
        for (int n = 1; n <= 3; ++n)
            writer->recordImage(image(QStringLiteral("last"), n));
        writer->endRun(QString());
        QVERIFY(writer->failed());
        QVERIFY(postgresServer(QStringLiteral("start")));
        m_serverStopped = false;
    }
    QCOMPARE(imagesIn(location, QStringLiteral("last")),
             (QStringList{QStringLiteral("1:last-1.bmp"), QStringLiteral("2:last-2.bmp"), QStringLiteral("3:last-3.bmp")}));
    TJournal journal(location);
    QVERIFY(journal.runs(m_params.Station).first().end.isValid());
}

// A full disk (the file size limit of a forked child) takes the journal and
// then the spool: the run goes on, and how many images could not be kept is
// said. What the spool kept reaches the journal later; nothing twice.
void TestJournalSpool::fullDiskCountsWhatWaits()
{
    const QString file = QDir(m_params.WorkDir).filePath(QStringLiteral("journal.sqlite"));
    {
        TJournal journal(file);
        QVERIFY(journal.open());
        QVERIFY(journal.checkpoint());
    }
    const QString told = QDir(m_params.WorkDir).filePath(QStringLiteral("told.txt"));
    constexpr int Images = 150;
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{96 * 1024, 96 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        QStringList failures;
        {
            TJournalRecorder writer(file);
            writer.setRetryPauses(60000, 60000);
            writer.setFailureHandler([&](const QString &text) { failures << text; });
            writer.beginRun(QStringLiteral("cli"), QString(), m_params, {});
            for (int n = 1; n <= Images; ++n)
                writer.recordImage(image(QStringLiteral("full"), n, 16));
            writer.endRun(QString());
            failures << writer.failure();
        }
        QFile out(told);
        const bool written = out.open(QIODevice::WriteOnly) && out.write(failures.join('\n').toUtf8()) > 0 && out.flush();
        _exit(written ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the child could not tell what it was told");
    const QString text = QString::fromUtf8(TestSupport::readFile(told));
    // The spool kept some, memory the rest; the count of the lost ones is said.
    const QRegularExpression count(QStringLiteral("только в памяти: (\\d+)"));
    const QRegularExpressionMatch match = count.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text.isEmpty() ? QStringLiteral("(nothing told)") : text));
    const int lost = match.captured(1).toInt();
    QVERIFY2(lost > 0 && lost < Images, qPrintable(text));
    // Without the limit, what the journal and the spool kept is all there, once.
    auto writer = recorder(file);
    writer->beginRun(QStringLiteral("cli"), QString(), m_params, {});
    writer->endRun(QString());
    QStringList expected;
    for (int n = 1; n <= Images - lost; ++n)
        expected << QStringLiteral("%1:full-%1.bmp").arg(n);
    QTRY_COMPARE_WITH_TIMEOUT(imagesIn(file, QStringLiteral("full")), expected, 20000);
}

QTEST_GUILESS_MAIN(TestJournalSpool)
#include "tst_journalspool.moc"

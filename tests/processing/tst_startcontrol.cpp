#include "BmpWriter.h"
#include "Cp1251.h"
#include "ImageReadiness.h"
#include "KelvarinError.h"
#include "ResultFiles.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TRunHost.h"
#include "TStartControl.h"
#include "TStartHost.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

struct RunHost : TRunHost
{
    QStringList statuses, errors;
    QList<bool> commands;
    QStringList processed;
    int busy = 0;
    std::function<void()> onEvents;
    void SetStatusText(const QString &text) override { statuses << text; }
    void EnableCommands(bool on) override { commands << on; }
    void ProcessEvents() override
    {
        if (onEvents)
            onEvents();
    }
    void ImageProcessed(const QString &path, int) override { processed << QFileInfo(path).fileName(); }
    // The engine's own failures (settings, zone file) are errors; only the
    // start control's issues are kept whole.
    void report(const TIssue &issue) override
    {
        (issue.source == TIssue::Source::Watch ? notices : errors) << issue.text;
        if (issue.source != TIssue::Source::Settings)
            issues << issue;
    }
    QStringList notices;
    QList<TIssue> issues;
    void BeginBusy() override { ++busy; }
    void EndBusy() override { --busy; }
};

struct StartHost : TStartHost
{
    QList<bool> lists;
    QStringList directories;
    int scheduledRuns = 0;
    void EnableFileLists(bool on) override { lists << on; }
    void ShowDirectory(const QString &directory) override { directories << directory; }
    void StartScheduledRun() override { ++scheduledRuns; }
};

// What the watch hands the journal: "path fate storedAs" per image, a later fate marked "later".
struct Recorder : TMeasurementRecorder
{
    QStringList calls;
    void beginRun(const QString &, const QString &, const TParameters &, const QList<TZoneInfo> &) override {}
    void recordImage(const TRecordedImage &image) override { calls << line(image); }
    void recordLaterFate(const TRecordedImage &image) override { calls << QStringLiteral("later ") + line(image); }
    void endRun(const QString &) override {}
    static QString line(const TRecordedImage &image)
    {
        return QFileInfo(image.path).fileName() + QLatin1Char(' ') + QString::number(int(image.fate)) + QLatin1Char(' ')
             + QFileInfo(image.storedAs).fileName();
    }
};

struct FixedClock : TClock
{
    QDateTime time;
    QDateTime now() const override { return time; }
};

// A 24 x 16 image with a 3 x 3 spot at (x, y) and another 12 columns to the right.
QByteArray imageBytes(int x, int y)
{
    BmpWriter::Image image;
    image.width = 24;
    image.height = 16;
    image.bitsPerPixel = 8;
    image.pixels = QList<quint32>(24 * 16, 5);
    for (int dy = 0; dy < 3; ++dy) {
        for (int dx = 0; dx < 3; ++dx) {
            image.pixels[(y + dy) * 24 + x + dx] = 200;
            image.pixels[(y + dy) * 24 + x + dx + 12] = 200;
        }
    }
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    return BmpWriter::encode(image);
}

bool haveZip()
{
    return !QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty();
}

QStringList archiveEntries(const QString &archive)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    unzip.waitForFinished();
    return QString::fromLocal8Bit(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The coordinate file of images with their spots at these x, in zone 1 (or,
// 12 columns on, in zone 2); a zone without origin writes x + 1 and y + 1.
QByteArray crdLines(const QList<int> &xs, int zone = 1)
{
    QByteArray bytes;
    for (int i = 0; i < xs.size(); ++i) {
        bytes += QByteArray::number(i + 1) + '\t' + QByteArray::number(xs.at(i) + 2 + (zone - 1) * 12)
               + ".0000\t3.0000\r\n";
    }
    return bytes;
}

// A watch over a buffer directory with two zones, zip on the PATH.
struct Station
{
    QTemporaryDir dir;
    QString buffer, work;
    TParameters params;
    TRunTimes times;
    RunHost runHost;
    StartHost startHost;
    std::unique_ptr<TPointFinder> finder;
    std::unique_ptr<TStartControl> control;
    QString watchBase;

    Station()
    {
        buffer = dir.filePath(QStringLiteral("buffer"));
        work = dir.filePath(QStringLiteral("work"));
        QDir().mkpath(buffer);
        QDir().mkpath(work);
        TestSupport::writeFile(dir.filePath(QStringLiteral("z.zon")), "0;0;11;15\r\n12;0;23;15\r\n");
        params.WorkDir = work;
        params.BufferDir = buffer;
        params.ZonesFileName = dir.filePath(QStringLiteral("z.zon"));
        params.MinSCount = 0;
        params.MaxSCount = 100;
        params.AverageYPorog = 50;
        params.NeedVisualization = false;
        finder = std::make_unique<TPointFinder>(params, nullptr, &runHost);
        finder->ReadZoneFile(params.ZonesFileName);
        control = std::make_unique<TStartControl>(*finder, params, times, runHost, startHost);
    }
    QString image(const QString &name) const { return QDir(buffer).filePath(name); }
    void drop(const QString &name, int x) const { TestSupport::writeFile(image(name), imageBytes(x, 1)); }
    // Starts the watch and keeps its base name, which ends with it.
    void watch()
    {
        control->SetStartStyle(2);
        watchBase = control->ResultsBase();
    }
    QString base() const { return watchBase; }
    QByteArray crd(int zone) const { return TestSupport::readFile(base() + "_" + QString::number(zone) + ".crd"); }
    QString log() const { return Cp1251::decode(TestSupport::readFile(base() + "_time.log")); }
    QStringList bufferImages() const { return QDir(buffer).entryList(QDir::Files); }
    QString status() const { return runHost.statuses.value(runHost.statuses.size() - 1); }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            control->TimerTimer();
    }
    // A script standing in for the archiver.
    QString script(const QString &name, const QByteArray &body)
    {
        const QString path = dir.filePath(name);
        TestSupport::writeFile(path, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    }
};

} // namespace

// The start styles: switching, the scheduled start, the watched buffer directory.
class TestStartControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TClock::setInstance(nullptr); }
    void switchesStyles_data();
    void switchesStyles();
    void refusesUnusableBufferDirectory_data();
    void refusesUnusableBufferDirectory();
    void startsManuallyWhenStoredWatchCannot();
    void scheduledStart_data();
    void scheduledStart();
    void scheduledStartOnlyOnce();
    void stopEndsScheduledWait();
    void threeImagesOnePerTick_data();
    void threeImagesOnePerTick();
    void runsOnItsOwnTimer();
    void waitsForImageBeingWritten_data();
    void waitsForImageBeingWritten();
    void imageThatKeepsGrowingIsPassedOverAndTold();
    void readOnlyImageSetAsideInTheEnd();
    void damagedImageSetAside();
    void moveRefusedKeepsImageAndPoints();
    void reusedNamesKeepBothImages_data();
    void reusedNamesKeepBothImages();
    void setAsideThroughLinkRefused();
    void stopWithNothingProcessedWritesNothing();
    void archiverFailureKeepsImageForRetry_data();
    void archiverFailureKeepsImageForRetry();
    void imageLeftUnarchivedIsNotMeasuredAgain_data();
    void imageLeftUnarchivedIsNotMeasuredAgain();
    void stopWhileArchiving();
    void resultsThatCannotBeWritten();
};

void TestStartControl::switchesStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("inForce");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("commands");
    QTest::addColumn<bool>("lists");
    QTest::addColumn<bool>("timer");
    QTest::newRow("timer") << 1 << 1 << " Ожидание времени запуска..." << false << true << true;
    QTest::newRow("new files") << 2 << 2 << " Ожидание новых файлов..." << false << false << true;
    QTest::newRow("manual") << 3 << 3 << "" << true << true << false;
    QTest::newRow("unknown value") << 0 << 3 << "" << true << true << false;
}

void TestStartControl::switchesStyles()
{
    QFETCH(int, style);
    QFETCH(int, inForce);
    QFETCH(QString, status);
    QFETCH(bool, commands);
    QFETCH(bool, lists);
    QFETCH(bool, timer);
    FixedClock clock;
    clock.time = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    TClock::setInstance(&clock);
    Station s;
    // Leftover result sets push the watch's base name on.
    TestSupport::writeFile(QDir(s.work).filePath("work_0001_1.crd"), "");
    s.finder->StopRequested = true;
    s.control->SetStartStyle(style);
    s.watchBase = s.control->ResultsBase();
    QCOMPARE(s.control->startStyle(), inForce);
    QCOMPARE(s.params.StartStyle, inForce);
    QCOMPARE(s.status(), status);
    QCOMPARE(s.runHost.commands, QList<bool>{commands});
    QCOMPARE(s.startHost.lists, QList<bool>{lists});
    QCOMPARE(s.control->timerActive(), timer);
    QVERIFY(!s.finder->StopRequested);
    if (inForce == 2) {
        QCOMPARE(s.startHost.directories, QStringList{s.buffer});
        QCOMPARE(s.base(), QDir(s.work).filePath("work_0002"));
        QCOMPARE(s.times.RunStart, TDateTime::fromDateTime(clock.time));
    } else {
        QVERIFY(s.startHost.directories.isEmpty());
        QVERIFY(s.base().isEmpty());
    }
}

void TestStartControl::refusesUnusableBufferDirectory_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing" << "Буферная директория %1 не существует.";
    QTest::newRow("empty") << "" << "Буферная директория не задана.";
    QTest::newRow("working directory") << "work/." << "Буферная директория не может совпадать с рабочей!";
}

void TestStartControl::refusesUnusableBufferDirectory()
{
    QFETCH(QString, buffer);
    QFETCH(QString, message);
    Station s;
    s.control->SetStartStyle(1);
    s.params.BufferDir = buffer.isEmpty() ? QString() : s.dir.filePath(buffer);
    try {
        s.watch();
        QFAIL("no error");
    } catch (const KelvarinError &error) {
        if (message.contains("%1"))
            message = message.arg(QDir::toNativeSeparators(s.params.BufferDir));
        QCOMPARE(error.message(), message);
    }
    // Nothing changed: the settings dialog stays open with the style in force.
    QCOMPARE(s.control->startStyle(), 1);
    QCOMPARE(s.params.StartStyle, 1);
    QVERIFY(s.control->timerActive());
    QVERIFY(s.startHost.directories.isEmpty());
}

void TestStartControl::startsManuallyWhenStoredWatchCannot()
{
    Station s;
    s.params.StartStyle = 2;
    s.params.BufferDir = s.dir.filePath("gone");
    QVERIFY(!s.control->StartStoredStyle());
    QCOMPARE(s.control->startStyle(), 3);
    // Suspended: the stored style is kept for the next writing of the settings.
    QCOMPARE(s.params.StartStyle, 2);
    QVERIFY(s.control->suspended());
    QCOMPARE(s.status(), " Буферная директория " + QDir::toNativeSeparators(s.params.BufferDir)
                             + " не существует. Включен запуск по клавише \"Enter\" или пусковой кнопке.");
    QCOMPARE(s.runHost.commands.last(), true);
    QVERIFY(!s.control->timerActive());

    s.params.StartStyle = 2;
    s.params.BufferDir = s.buffer;
    QVERIFY(s.control->StartStoredStyle());
    QCOMPARE(s.control->startStyle(), 2);
}

void TestStartControl::scheduledStart_data()
{
    QTest::addColumn<double>("secondsToStart");
    QTest::addColumn<bool>("starts");
    QTest::newRow("three seconds before") << 3.0 << false;
    QTest::newRow("just over two seconds before") << 2.01 << false;
    QTest::newRow("within two seconds before") << 1.99 << true;
    QTest::newRow("on time") << 0.0 << true;
    QTest::newRow("one second late") << -1.0 << true;
    QTest::newRow("more than two seconds late") << -2.5 << false;
}

void TestStartControl::scheduledStart()
{
    QFETCH(double, secondsToStart);
    QFETCH(bool, starts);
    const QDateTime start(QDate(2024, 3, 1), QTime(10, 0, 0));
    FixedClock clock;
    clock.time = start.addMSecs(qint64(-secondsToStart * 1000));
    TClock::setInstance(&clock);
    Station s;
    s.params.StartDate = TDateTime::fromDateTime(start);
    s.control->SetStartStyle(1);
    s.tick();
    QCOMPARE(s.startHost.scheduledRuns, starts ? 1 : 0);
    QCOMPARE(s.control->timerActive(), !starts);
    QCOMPARE(s.control->startStyle(), 1);
}

void TestStartControl::scheduledStartOnlyOnce()
{
    const QDateTime start(QDate(2024, 3, 1), QTime(10, 0, 0));
    FixedClock clock;
    clock.time = start.addSecs(-60);
    TClock::setInstance(&clock);
    Station s;
    s.params.StartDate = TDateTime::fromDateTime(start);
    s.control->SetStartStyle(1);
    // The clock walks through the window a tenth of a second per tick.
    for (int i = 0; i < 700; ++i) {
        s.tick();
        clock.time = clock.time.addMSecs(100);
    }
    QCOMPARE(s.startHost.scheduledRuns, 1);
    QCOMPARE(s.control->startStyle(), 1);
    // Setting the style again arms it again.
    clock.time = start;
    s.control->SetStartStyle(1);
    s.tick();
    QCOMPARE(s.startHost.scheduledRuns, 2);
}

void TestStartControl::stopEndsScheduledWait()
{
    FixedClock clock;
    clock.time = QDateTime(QDate(2024, 3, 1), QTime(9, 0, 0));
    TClock::setInstance(&clock);
    Station s;
    s.params.StartDate = TDateTime::fromDateTime(clock.time.addSecs(3600));
    s.control->SetStartStyle(1);
    s.tick();
    QCOMPARE(s.control->startStyle(), 1);
    s.finder->StopRequested = true;
    s.tick();
    QCOMPARE(s.control->startStyle(), 3);
    QVERIFY(!s.control->timerActive());
    QCOMPARE(s.runHost.commands.last(), true);
    QCOMPARE(s.startHost.scheduledRuns, 0);
    // Suspended, not forgotten: resuming waits for the start time again.
    QCOMPARE(s.params.StartStyle, 1);
    QVERIFY(s.control->resume());
    QCOMPARE(s.control->startStyle(), 1);
    QVERIFY(s.control->timerActive());
    QVERIFY(!s.control->resume());
    s.control->SetStartStyle(3);
    QVERIFY(!s.control->suspended());
}

void TestStartControl::threeImagesOnePerTick_data()
{
    QTest::addColumn<bool>("oneZip");
    QTest::addColumn<bool>("manyZip");
    QTest::newRow("one archive") << true << false;
    QTest::newRow("archive per image") << false << true;
    QTest::newRow("both options: one archive") << true << true;
    QTest::newRow("moved into the working directory") << false << false;
}

void TestStartControl::threeImagesOnePerTick()
{
    QFETCH(bool, oneZip);
    QFETCH(bool, manyZip);
    if ((oneZip || manyZip) && !haveZip())
        QSKIP("zip and unzip are not installed");
    Station s;
    s.params.SaveToOneZip = oneZip;
    s.params.SaveToManyZip = manyZip;
    s.watch();
    // Name order without regard to case; "a.b.bmp" is archived as "a".
    s.drop("c.bmp", 3);
    s.drop("a.b.bmp", 1);
    s.drop("B.bmp", 2);
    const QByteArray bBytes = TestSupport::readFile(s.image("B.bmp"));
    s.tick(); // new files are looked at once before they count as complete
    QVERIFY(s.runHost.processed.isEmpty());
    QList<int> xs;
    const QStringList order{"a.b.bmp", "B.bmp", "c.bmp"};
    for (int n = 1; n <= 3; ++n) {
        s.tick();
        QCOMPARE(s.runHost.processed, order.mid(0, n));
        QCOMPARE(s.bufferImages(), order.mid(n));
        xs << n;
        QCOMPARE(s.crd(1), crdLines(xs));
        QVERIFY(s.log().endsWith(QStringLiteral("Количество файлов: %1\r\n").arg(n)));
        QCOMPARE(s.status(), QString(" Ожидание новых файлов..."));
        QVERIFY(s.control->timerActive());
    }
    QCOMPARE(s.crd(2), crdLines(xs, 2));
    QVERIFY(!s.log().contains("Время обработки"));
    QCOMPARE(s.runHost.busy, 0);
    if (oneZip) {
        QCOMPARE(archiveEntries(s.base() + ".zip"), order);
    } else if (manyZip) {
        QCOMPARE(archiveEntries(s.base() + "_a.zip"), QStringList{"a.b.bmp"});
        QCOMPARE(archiveEntries(s.base() + "_B.zip"), QStringList{"B.bmp"});
        QCOMPARE(archiveEntries(s.base() + "_c.zip"), QStringList{"c.bmp"});
    } else {
        QCOMPARE(TestSupport::readFile(QDir(s.work).filePath("B.bmp")), bBytes);
        for (const QString &name : order)
            QVERIFY(QFile::exists(QDir(s.work).filePath(name)));
    }
    QVERIFY(s.runHost.notices.isEmpty());
}

void TestStartControl::runsOnItsOwnTimer()
{
    Station s;
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    QTRY_COMPARE_WITH_TIMEOUT(s.bufferImages(), QStringList(), 20000);
    QCOMPARE(s.crd(1), crdLines({1, 2}));
    s.finder->StopRequested = true;
    QTRY_COMPARE_WITH_TIMEOUT(s.control->startStyle(), 3, 20000);
    QCOMPARE(s.status(), QString(" Работа прервана. Результаты сохранены."));
}

void TestStartControl::waitsForImageBeingWritten_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("passedOver");
    // A locked or read-only image must not stall the others; a growing one
    // holds them so that the series keeps the name order.
    QTest::newRow("held open for writing here") << "here" << true;
    QTest::newRow("held open for writing by another process") << "process" << true;
    QTest::newRow("read-only") << "read-only" << true;
    QTest::newRow("growing between ticks") << "growing" << false;
}

void TestStartControl::waitsForImageBeingWritten()
{
    QFETCH(QString, how);
    QFETCH(bool, passedOver);
    Station s;
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    const QString a = s.image("a.bmp");
    QFile writer(a);
    QProcess holder;
    if (how == "here") {
        QVERIFY(writer.open(QIODevice::Append));
    } else if (how == "process") {
        holder.setStandardOutputFile(a, QIODevice::Append);
        holder.start("sleep", {"30"});
        QVERIFY(holder.waitForStarted());
    } else if (how == "read-only") {
        QVERIFY(QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    }
    for (int i = 0; i < 5; ++i) {
        if (how == "growing") {
            QByteArray bytes = TestSupport::readFile(a);
            TestSupport::writeFile(a, bytes + '\0');
        }
        s.tick();
        QVERIFY(QFile::exists(a));
        QCOMPARE(s.runHost.processed, passedOver && i > 0 ? QStringList{"b.bmp"} : QStringList());
    }
    writer.close();
    if (holder.state() != QProcess::NotRunning) {
        holder.kill();
        holder.waitForFinished();
    }
    QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    s.tick(3);
    QCOMPARE(s.runHost.processed, passedOver ? QStringList({"b.bmp", "a.bmp"}) : QStringList({"a.bmp", "b.bmp"}));
    QCOMPARE(s.crd(1), passedOver ? crdLines({2, 1}) : crdLines({1, 2}));
    QVERIFY(s.runHost.notices.isEmpty());
}

// A file that keeps growing holds the images after it only for a while; then
// they go on, and the status line and the event log say which one waits, once.
void TestStartControl::imageThatKeepsGrowingIsPassedOverAndTold()
{
    FixedClock clock;
    clock.time = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    TClock::setInstance(&clock);
    Station s;
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    const QString a = s.image("a.bmp");
    const auto growAndTick = [&](qint64 ms) {
        TestSupport::writeFile(a, TestSupport::readFile(a) + '\0');
        clock.time = clock.time.addMSecs(ms);
        s.tick();
    };
    growAndTick(0);
    growAndTick(BufferWatcher::GrowingPassMs - 1000);
    QVERIFY(s.runHost.processed.isEmpty());
    QVERIFY(s.runHost.notices.isEmpty());
    growAndTick(1000);
    QCOMPARE(s.runHost.processed, QStringList{"b.bmp"});
    QCOMPARE(s.runHost.notices.size(), 1);
    QVERIFY2(s.runHost.notices.first().contains("a.bmp записывается дольше 10 с"), qPrintable(s.runHost.notices.first()));
    QCOMPARE(s.runHost.issues.first().file, a);
    QVERIFY2(s.status().contains("a.bmp записывается"), qPrintable(s.status()));
    for (int i = 0; i < 3; ++i)
        growAndTick(1000);
    QCOMPARE(s.runHost.notices.size(), 1);
    // Once it has stopped growing it is measured after the others.
    s.tick(3);
    QCOMPARE(s.runHost.processed, QStringList({"b.bmp", "a.bmp"}));
    QCOMPARE(s.crd(1), crdLines({2, 1}));
    QVERIFY2(!s.status().contains("записывается"), qPrintable(s.status()));
}

void TestStartControl::readOnlyImageSetAsideInTheEnd()
{
    Station s;
    s.control->setNotOpenableTicks(4);
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    QVERIFY(QFile::setPermissions(s.image("a.bmp"), QFileDevice::ReadOwner));
    // The read-only image is passed over at once; the one after it goes on.
    s.tick(2);
    QCOMPARE(s.runHost.processed, QStringList{"b.bmp"});
    s.tick(2);
    QCOMPARE(s.bufferImages(), QStringList{"a.bmp"});
    s.tick();
    QVERIFY(s.bufferImages().isEmpty());
    QVERIFY(QFile::exists(QDir(s.buffer).filePath("Отложенные/a.bmp")));
    QCOMPARE(s.runHost.notices.size(), 1);
    QCOMPARE(s.runHost.issues.first().file, s.image("a.bmp"));
    QCOMPARE(s.runHost.processed, QStringList{"b.bmp"});
}

void TestStartControl::damagedImageSetAside()
{
    Station s;
    s.watch();
    const QDir aside(QDir(s.buffer).filePath("Отложенные"));
    QVERIFY(QDir().mkpath(aside.path()));
    // An earlier image of that name is never overwritten.
    TestSupport::writeFile(aside.filePath("a.bmp"), "earlier");
    TestSupport::writeFile(s.image("a.bmp"), "BM not a bitmap");
    s.drop("b.bmp", 2);
    s.tick(); // first look
    s.tick();
    QVERIFY(s.status().startsWith(" Изображение a.bmp не обработано (попытка 1 из 3): "));
    QVERIFY(s.status().endsWith(" Ожидание новых файлов..."));
    s.tick();
    QCOMPARE(s.bufferImages(), QStringList({"a.bmp", "b.bmp"}));
    s.tick();
    QCOMPARE(s.bufferImages(), QStringList{"b.bmp"});
    QCOMPARE(TestSupport::readFile(aside.filePath("a.bmp")), QByteArray("earlier"));
    QCOMPARE(TestSupport::readFile(aside.filePath("a_1.bmp")), QByteArray("BM not a bitmap"));
    QVERIFY(s.status().startsWith(" Изображение a.bmp отложено в папку \"Отложенные\" под именем a_1.bmp: "));
    QCOMPARE(s.runHost.notices.size(), 3);
    s.tick();
    QCOMPARE(s.runHost.processed, QStringList{"b.bmp"});
    QCOMPARE(s.crd(1), crdLines({2}));
    // The set-aside directory is never taken for a new image.
    s.tick(3);
    QCOMPARE(s.runHost.processed, QStringList{"b.bmp"});
    QCOMPARE(s.status(), QString(" Ожидание новых файлов..."));
}

// A processed image that cannot be moved keeps its points, stays in the
// buffer and is tried again, with a growing pause, for the moving alone.
void TestStartControl::moveRefusedKeepsImageAndPoints()
{
    FixedClock clock;
    clock.time = QDateTime(QDate(2026, 12, 9), QTime(14, 0));
    TClock::setInstance(&clock);
    Station s;
    s.watch();
    // The working directory is gone after the watch began (its results stay where they were).
    const QString later = s.dir.filePath("later");
    s.params.WorkDir = later;
    s.drop("a.bmp", 1);
    const QByteArray bytes = TestSupport::readFile(s.image("a.bmp"));
    s.tick(2);
    QCOMPARE(s.bufferImages(), QStringList{"a.bmp"});
    QVERIFY2(s.status().startsWith(" Изображение a.bmp обработано, но оставлено в буферной директории до следующей "
                                   "попытки: Не скопирован в рабочую директорию"),
             qPrintable(s.status()));
    QCOMPARE(s.finder->zones().at(0).points.size(), 1);
    QCOMPARE(s.crd(1), crdLines({1}));
    QCOMPARE(s.control->imagesAwaitingDisposal(), 1);
    // Retried after its pause (tst_bufferwatcher checks the pauses), for the moving alone.
    QVERIFY(QDir().mkpath(later));
    clock.time = clock.time.addSecs(60);
    s.tick();
    QVERIFY(s.bufferImages().isEmpty());
    QCOMPARE(TestSupport::readFile(QDir(later).filePath("a.bmp")), bytes);
    // Processed once: one line, never twice.
    QCOMPARE(s.runHost.processed, QStringList{"a.bmp"});
    QCOMPARE(s.crd(1), crdLines({1}));
    QCOMPARE(s.control->imagesAwaitingDisposal(), 0);
    QVERIFY(!QDir(s.buffer).exists("Отложенные"));
}

void TestStartControl::archiverFailureKeepsImageForRetry_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << "архиватор";
    QTest::newRow("fails") << QByteArray("echo 'zip error: disk full' >&2; exit 15")
                           << "архиватор вернул код 15: zip error: disk full.";
    QTest::newRow("never ends") << QByteArray("exec sleep 30") << "архиватор не закончил работу за ";
}

void TestStartControl::archiverFailureKeepsImageForRetry()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, reason);
    FixedClock clock;
    clock.time = QDateTime(QDate(2026, 12, 9), QTime(14, 0));
    TClock::setInstance(&clock);
    Recorder recorder;
    Station s;
    s.params.SaveToOneZip = true;
    s.control->setArchiver(script.isEmpty() ? s.dir.filePath("no-such-zip") : s.script("zip", script));
    s.control->setArchiverTimeout(300);
    s.control->setRecorder(&recorder);
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    s.tick(2);
    QCOMPARE(s.bufferImages(), (QStringList{"a.bmp", "b.bmp"}));
    const QString status = s.status();
    QVERIFY2(status.startsWith(" Изображение a.bmp обработано, но оставлено в буферной директории до следующей "
                               "попытки: Файл не заархивирован: "),
             qPrintable(status));
    QVERIFY2(status.contains(reason), qPrintable(status));
    QCOMPARE(s.runHost.issues.last().severity, TIssue::Severity::Warning);
    QCOMPARE(s.runHost.issues.last().file, s.image("a.bmp"));
    // The image was measured: its point stays in the results. The next one
    // goes on while the first waits for its pause.
    QCOMPARE(s.crd(1), crdLines({1}));
    s.tick();
    QCOMPARE(s.runHost.processed, (QStringList{"a.bmp", "b.bmp"}));
    QCOMPARE(s.crd(1), crdLines({1, 2}));
    QVERIFY(!QDir(s.buffer).exists("Отложенные"));
    QVERIFY(!s.control->waitingForArchiver());
    if (!haveZip())
        return;
    // The archiver is back: both are archived, neither processed again.
    s.control->setArchiver(QStringLiteral("zip"));
    clock.time = clock.time.addSecs(2);
    s.tick(2);
    QVERIFY(s.bufferImages().isEmpty());
    QCOMPARE(archiveEntries(s.base() + ".zip"), (QStringList{"a.bmp", "b.bmp"}));
    QCOMPARE(s.runHost.processed, (QStringList{"a.bmp", "b.bmp"}));
    QCOMPARE(s.crd(1), crdLines({1, 2}));
    // Recorded once each when processed; the retries that archived them give their fate.
    const QString zip = QFileInfo(s.base()).fileName() + ".zip:";
    QCOMPARE(recorder.calls, (QStringList{"a.bmp 0 ", "b.bmp 0 ", "later a.bmp 1 " + zip + "a.bmp",
                                          "later b.bmp 1 " + zip + "b.bmp"}));
}

void TestStartControl::imageLeftUnarchivedIsNotMeasuredAgain_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("the same image") << false;
    QTest::newRow("another image by that name meanwhile") << true;
}

// An image measured but not archived when its watch ended has its points in
// that watch's results: the next watch archives it without measuring it again,
// unless the file is another one by now.
void TestStartControl::imageLeftUnarchivedIsNotMeasuredAgain()
{
    QFETCH(bool, replaced);
    if (!haveZip())
        QSKIP("zip and unzip are not installed");
    FixedClock clock;
    clock.time = QDateTime(QDate(2026, 12, 9), QTime(14, 0));
    TClock::setInstance(&clock);
    Station s;
    s.params.SaveToOneZip = true;
    s.control->setArchiver(s.script("zip", "exit 15"));
    s.watch();
    s.drop("a.bmp", 1);
    s.tick(2);
    QCOMPARE(s.bufferImages(), QStringList{"a.bmp"});
    s.finder->StopRequested = true;
    s.tick();
    QCOMPARE(s.control->startStyle(), 3);
    QCOMPARE(s.crd(1), crdLines({1}));
    const QString awaiting = QDir(s.work).filePath("kelvarin2-awaiting.txt");
    QVERIFY(QFileInfo::exists(awaiting));
    if (replaced)
        s.drop("a.bmp", 4);

    // The next watch, as a new start of the tool: its series start empty.
    s.finder->ReadZoneFile(s.params.ZonesFileName);
    s.control->setArchiver(QStringLiteral("zip"));
    const QString first = s.base();
    s.watch();
    QVERIFY(s.base() != first);
    clock.time = clock.time.addSecs(2);
    s.tick(3);
    QVERIFY(s.bufferImages().isEmpty());
    QCOMPARE(archiveEntries(s.base() + ".zip"), QStringList{"a.bmp"});
    QCOMPARE(s.runHost.processed, replaced ? (QStringList{"a.bmp", "a.bmp"}) : QStringList{"a.bmp"});
    QCOMPARE(s.finder->zones().at(0).points.size(), replaced ? 1 : 0);
    QVERIFY(!QFileInfo::exists(awaiting));
}

void TestStartControl::reusedNamesKeepBothImages_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("one archive") << "one" << "dup.bmp" << "dup.bmp";
    QTest::newRow("archive per image") << "many" << "dup.bmp" << "dup.bmp";
    QTest::newRow("archive per image, same stem") << "many" << "a.1.bmp" << "a.2.bmp";
    QTest::newRow("moved") << "move" << "dup.bmp" << "dup.bmp";
    QTest::newRow("moved, a link at the name") << "link" << "dup.bmp" << "dup.bmp";
}

// Nothing archived or moved is ever replaced: the newcomer gets "~2".
void TestStartControl::reusedNamesKeepBothImages()
{
    QFETCH(QString, mode);
    QFETCH(QString, first);
    QFETCH(QString, second);
    if (mode != "move" && !haveZip())
        QSKIP("zip and unzip are not installed");
    Station s;
    s.params.SaveToOneZip = mode == "one";
    s.params.SaveToManyZip = mode == "many";
    QTemporaryDir elsewhere;
    // A link where the first image would go is never written through.
    if (mode == "link")
        QVERIFY(QFile::link(elsewhere.filePath("img.bmp"), QDir(s.work).filePath("dup.bmp")));
    s.watch();
    s.drop(first, 1);
    const QByteArray firstBytes = TestSupport::readFile(s.image(first));
    s.tick(2);
    QVERIFY(s.bufferImages().isEmpty());
    s.drop(second, 2);
    const QByteArray secondBytes = TestSupport::readFile(s.image(second));
    s.tick(2);
    QVERIFY(s.bufferImages().isEmpty());
    QCOMPARE(s.crd(1), crdLines({1, 2}));
    if (mode == "one") {
        QCOMPARE(archiveEntries(s.base() + ".zip"), (QStringList{"dup.bmp", "dup~2.bmp"}));
    } else if (mode == "many") {
        QCOMPARE(archiveEntries(s.base() + "_" + first.section('.', 0, 0) + ".zip"), QStringList{first});
        QCOMPARE(archiveEntries(s.base() + "_" + first.section('.', 0, 0) + "~2.zip"), QStringList{second});
    } else if (mode == "move") {
        QCOMPARE(TestSupport::readFile(QDir(s.work).filePath("dup.bmp")), firstBytes);
        QCOMPARE(TestSupport::readFile(QDir(s.work).filePath("dup~2.bmp")), secondBytes);
    } else {
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QCOMPARE(TestSupport::readFile(QDir(s.work).filePath("dup~2.bmp")), firstBytes);
        QCOMPARE(TestSupport::readFile(QDir(s.work).filePath("dup~3.bmp")), secondBytes);
    }
    QVERIFY(s.runHost.notices.isEmpty());
}

// "Отложенные" as a link to elsewhere: nothing goes through it.
void TestStartControl::setAsideThroughLinkRefused()
{
    Station s;
    QTemporaryDir elsewhere;
    QVERIFY(QFile::link(elsewhere.path(), QDir(s.buffer).filePath("Отложенные")));
    s.watch();
    TestSupport::writeFile(s.image("a.bmp"), "BM not a bitmap");
    s.tick(4);
    QCOMPARE(s.bufferImages(), QStringList{"a.bmp"});
    QVERIFY(QDir(elsewhere.path()).isEmpty());
    QVERIFY2(s.status().contains("символическая ссылка"), qPrintable(s.status()));
    // Passed over from now on.
    s.tick(3);
    QCOMPARE(s.runHost.notices.size(), 3);
}

// A watch stopped before any image writes no empty result set and keeps its number free.
void TestStartControl::stopWithNothingProcessedWritesNothing()
{
    Station s;
    s.watch();
    const QString base = s.base();
    s.tick(2);
    s.finder->StopRequested = true;
    s.tick();
    QCOMPARE(s.control->startStyle(), 3);
    QVERIFY(s.control->endedWithNothingProcessed());
    QCOMPARE(QDir(s.work).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(s.status(), QString(" Работа прервана. Изображения не обработаны, результаты не записаны."));
    s.watch();
    QCOMPARE(s.base(), base);
    QVERIFY(!s.control->endedWithNothingProcessed());
}

void TestStartControl::stopWhileArchiving()
{
    if (!haveZip())
        QSKIP("zip and unzip are not installed");
    Station s;
    s.params.SaveToOneZip = true;
    s.control->setArchiver(s.script("slowzip", "sleep 0.3\nexec zip \"$@\""));
    int eventsWhileArchiving = 0;
    s.runHost.onEvents = [&] {
        if (s.control->waitingForArchiver() && ++eventsWhileArchiving == 2)
            s.finder->StopRequested = true;
    };
    s.watch();
    s.drop("a.bmp", 1);
    s.drop("b.bmp", 2);
    s.tick(2);
    QVERIFY(eventsWhileArchiving >= 2);
    // The archiver finished, then the results were written and the watch ended.
    QCOMPARE(archiveEntries(s.base() + ".zip"), QStringList{"a.bmp"});
    QCOMPARE(s.bufferImages(), QStringList{"b.bmp"});
    QCOMPARE(s.crd(1), crdLines({1}));
    QVERIFY(s.log().endsWith("Количество файлов: 1\r\n"));
    QCOMPARE(s.control->startStyle(), 3);
    // A stop never changes the stored style; the watch can be resumed.
    QCOMPARE(s.params.StartStyle, 2);
    QVERIFY(s.control->suspended());
    QVERIFY(!s.control->timerActive());
    QCOMPARE(s.runHost.commands.last(), true);
    QCOMPARE(s.startHost.lists.last(), true);
    QCOMPARE(s.status(), QString(" Работа прервана. Результаты сохранены."));

    s.params.ResAutoSave = false;
    s.watch();
    s.finder->StopRequested = true;
    s.tick();
    QCOMPARE(s.status(), QString(" Работа прервана."));
}

void TestStartControl::resultsThatCannotBeWritten()
{
    Station s;
    s.watch();
    // A directory where the first coordinate file belongs.
    QVERIFY(QDir().mkpath(s.base() + "_1.crd"));
    s.drop("a.bmp", 1);
    s.tick(2);
    QVERIFY2(s.status().startsWith(" Результаты не записаны: Не удается создать файл "), qPrintable(s.status()));
    QVERIFY(s.status().endsWith(" Ожидание новых файлов..."));
    QCOMPARE(s.runHost.notices.size(), 1);
    // The image itself was handled.
    QVERIFY(s.bufferImages().isEmpty());
    s.finder->StopRequested = true;
    s.tick();
    QVERIFY2(s.status().startsWith(" Работа прервана. Результаты не записаны: "), qPrintable(s.status()));
}

QTEST_GUILESS_MAIN(TestStartControl)
#include "tst_startcontrol.moc"

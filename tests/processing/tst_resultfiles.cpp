#include "Cp1251.h"
#include "KelvarinError.h"
#include "ResultFiles.h"
#include "ResultSetWriter.h"
#include "TDateTime.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// The result set: coordinate files, log texts, base names.
class TestResultFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatCoordinate_data();
    void formatCoordinate();
    void coordinateLines();
    void writesEveryZoneEvenEmpty();
    void writeFailureKeepsEarlierFiles();
    void nextResultsBase();
    void anyFileOfABaseTakesIt_data();
    void anyFileOfABaseTakesIt();
    void fullDiskKeepsEarlierResultSet();
    void danglingLinkIsNotAFreeBase();
    void elapsedText_data();
    void elapsedText();
    void dateTimeText();
    void logLines();
    void dayConversions();
};

void TestResultFiles::formatCoordinate_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << 12.5 << "12.5000";
    QTest::newRow("negative quarter") << -0.25 << "-0.2500";
    QTest::newRow("whole") << 1024.0 << "1024.0000";
    QTest::newRow("tie") << 0.03125 << "0.0313";
    QTest::newRow("negative tie") << -0.03125 << "-0.0313";
    QTest::newRow("below tie in binary") << 12.34565 << "12.3456";
    QTest::newRow("negative to zero") << -0.00004 << "-0.0000";
}

void TestResultFiles::formatCoordinate()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    // Always ".", whatever the locale.
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        QCOMPARE(ResultFiles::FormatCoordinate(value), text);
    }
}

void TestResultFiles::coordinateLines()
{
    TZoneInfo zone(0, 0, 10, 10, 100, 50);
    zone.points << VT_Point(112.5, 49.75) << VT_Point(100, 50) << VT_Point(-1, -1) << VT_Point(101, 51)
                << VT_Point(-1, 7);
    QCOMPARE(ResultFiles::coordinateFileBytes(zone),
             QByteArray("1\t12.5000\t-0.2500\r\n2\t0.0000\t0.0000\r\n4\t1.0000\t1.0000\r\n"
                        "5\t-101.0000\t-43.0000\r\n"));
    // Without an origin (-1, -1) the values come out as x + 1 and y + 1.
    TZoneInfo noOrigin(0, 0, 1, 1);
    noOrigin.points << VT_Point(10, 20);
    QCOMPARE(ResultFiles::coordinateFileBytes(noOrigin), QByteArray("1\t11.0000\t21.0000\r\n"));
}

void TestResultFiles::writesEveryZoneEvenEmpty()
{
    QTemporaryDir dir;
    TZoneInfo found(0, 0, 1, 1);
    found.points << VT_Point(1, 2);
    TZoneInfo never(0, 0, 1, 1);
    never.points << VT_Point(-1, -1) << VT_Point(-1, -1);
    const QString base = dir.filePath(QStringLiteral("Bridge_0001"));
    ResultFiles::WriteCoordinateFiles({found, never, TZoneInfo()}, base);
    QCOMPARE(TestSupport::readFile(base + "_1.crd"), QByteArray("1\t2.0000\t3.0000\r\n"));
    QCOMPARE(TestSupport::readFile(base + "_2.crd"), QByteArray());
    QCOMPARE(TestSupport::readFile(base + "_3.crd"), QByteArray());
    QVERIFY(!QFile::exists(base + "_4.crd"));
}

void TestResultFiles::writeFailureKeepsEarlierFiles()
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("res"));
    // A directory where the second file should go makes that file fail.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("res_2.crd")));
    try {
        ResultFiles::WriteCoordinateFiles({TZoneInfo(), TZoneInfo(), TZoneInfo()}, base);
        QFAIL("no error");
    } catch (const KelvarinError &error) {
        QVERIFY(error.message().contains(QStringLiteral("res_2.crd")));
    }
    QVERIFY(QFile::exists(base + "_1.crd"));
    QVERIFY(!QFile::exists(base + "_3.crd"));
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"res_1.crd"});
}

// The file size limit of a forked child stands in for a full disk: the
// rewritten result set is refused whole, the earlier one stays byte for byte.
void TestResultFiles::fullDiskKeepsEarlierResultSet()
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("work_0001"));
    TZoneInfo zone(0, 0, 1, 1);
    zone.points << VT_Point(1, 2);
    const TRunTimes times = TRunTimes::watched(46000.5, 46000.75);
    ResultSetWriter::write({zone, zone}, base, times);
    const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(names, (QStringList{"work_0001_1.crd", "work_0001_2.crd", "work_0001_time.log"}));
    QList<QByteArray> earlier;
    for (const QString &name : names)
        earlier << TestSupport::readFile(dir.filePath(name));
    // The second zone's file grows past the limit; the first would fit.
    TZoneInfo grown = zone;
    for (int i = 0; i < 2000; ++i)
        grown.points << VT_Point(i, i);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            ResultSetWriter::write({zone, grown}, base, times);
        } catch (const KelvarinError &error) {
            _exit(error.message().contains(QStringLiteral("work_0001_2.crd")) ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the full disk went unnoticed");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), names);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(TestSupport::readFile(dir.filePath(names.at(i))), earlier.at(i));
}

// A dangling link at a result name is not a free name: the next one is taken.
void TestResultFiles::danglingLinkIsNotAFreeBase()
{
    QTemporaryDir tmp, elsewhere;
    const QString work = tmp.filePath(QStringLiteral("Bridge"));
    QVERIFY(QDir().mkpath(work));
    QVERIFY(QFile::link(elsewhere.filePath("gone.crd"), work + "/Bridge_0001_1.crd"));
    QCOMPARE(ResultFiles::NextResultsBase(work), work + "/Bridge_0002");
}

void TestResultFiles::nextResultsBase()
{
    QTemporaryDir tmp;
    const QString work = tmp.filePath(QStringLiteral("Bridge"));
    QVERIFY(QDir().mkpath(work));
    QCOMPARE(ResultFiles::NextResultsBase(work), work + "/Bridge_0001");
    TestSupport::writeFile(work + "/Bridge_0001_1.crd", "");
    TestSupport::writeFile(work + "/Bridge_0002_1.crd", "");
    QCOMPARE(ResultFiles::NextResultsBase(work), work + "/Bridge_0003");
    TestSupport::writeFile(work + "/Bridge_0003_1.crd", "");
    for (int n = 4; n <= 999; ++n)
        TestSupport::writeFile(work + QStringLiteral("/Bridge_%1_1.crd").arg(n, 4, 10, QLatin1Char('0')), "");
    QCOMPARE(ResultFiles::NextResultsBase(work), work + "/Bridge_1000");
    QCOMPARE(ResultFiles::NextResultsBase(work + "/"), work + "/Bridge_1000");
}

// A watch whose results were moved away (or that crashed after archiving and
// before its first result set) leaves some of its files behind: its base is
// not free, or the next watch would add to its archive.
void TestResultFiles::anyFileOfABaseTakesIt_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("next");
    QTest::newRow("one archive alone") << QStringList{"Bridge_0001.zip"} << "Bridge_0002";
    QTest::newRow("log alone") << QStringList{"Bridge_0001_time.log"} << "Bridge_0002";
    QTest::newRow("a later zone's file") << QStringList{"Bridge_0001_3.crd"} << "Bridge_0002";
    QTest::newRow("archive per image") << QStringList{"Bridge_0001_cam.zip"} << "Bridge_0002";
    QTest::newRow("a gap") << QStringList{"Bridge_0001.zip", "Bridge_0003_1.crd"} << "Bridge_0002";
    QTest::newRow("any name after the base") << QStringList{"Bridge_0001_.x"} << "Bridge_0002";
    // Names that only look alike belong to no base of this directory.
    QTest::newRow("five digits") << QStringList{"Bridge_00010_1.crd", "Bridge_00011.zip"} << "Bridge_0001";
    QTest::newRow("other names") << QStringList{"Bridge_0001.zip.bak", "Bridge_0001", "bridge_0001_1.crd",
                                                "Other_0001_1.crd"}
                                 << "Bridge_0001";
}

void TestResultFiles::anyFileOfABaseTakesIt()
{
    QFETCH(QStringList, names);
    QFETCH(QString, next);
    QTemporaryDir tmp;
    const QString work = tmp.filePath(QStringLiteral("Bridge"));
    QVERIFY(QDir().mkpath(work));
    for (const QString &name : names)
        TestSupport::writeFile(work + "/" + name, "");
    QCOMPARE(ResultFiles::NextResultsBase(work), work + "/" + next);
}

void TestResultFiles::elapsedText_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");
    const double ms = 1.0 / 86400000.0;
    QTest::newRow("minute and 5.003 s") << 65003 * ms << "0:1:5:3";
    QTest::newRow("90 s") << 90000 * ms << "0:1:30:0";
    QTest::newRow("26 hours") << 26.0 / 24.0 << "1  2:0:0:0";
    QTest::newRow("zero") << 0.0 << "0:0:0:0";
}

void TestResultFiles::elapsedText()
{
    QFETCH(double, days);
    QFETCH(QString, text);
    QCOMPARE(ResultFiles::ElapsedText(days), text);
}

void TestResultFiles::dateTimeText()
{
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(ResultFiles::DateTimeText(0), QStringLiteral("30.12.1899"));
    const double noon = TDateTime::fromDateAndTime(QDate(2026, 12, 9), QTime(14, 5, 9));
    QCOMPARE(ResultFiles::DateTimeText(noon), QStringLiteral("09.12.2026 14:05:09"));
    QCOMPARE(ResultFiles::DateTimeText(std::trunc(noon)), QStringLiteral("09.12.2026"));
}

void TestResultFiles::logLines()
{
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    const double start = TDateTime::fromDateAndTime(QDate(2026, 12, 9), QTime(10, 0, 0));
    const double end = TDateTime::fromDateAndTime(QDate(2026, 12, 9), QTime(10, 1, 30));
    const QByteArray log = ResultFiles::logBytes(3, TRunTimes::finished(start, end));
    QCOMPARE(Cp1251::decode(log), QStringLiteral("Дата начала обработки: 09.12.2026 10:00:00\r\n"
                                                 "Дата окончания обработки: 09.12.2026 10:01:30\r\n"
                                                 "Время обработки: 0:1:30:0\r\n"
                                                 "Количество файлов: 3\r\n"));
    // Single-byte Cyrillic: "Д" is 0xC4.
    QCOMPARE(log.at(0), char(0xC4));
    // A watch passes no elapsed time: no processing time line.
    QVERIFY(!Cp1251::decode(ResultFiles::logBytes(0, TRunTimes::watched(start, end))).contains(QStringLiteral("Время")));
}

void TestResultFiles::dayConversions()
{
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    const double days = TDateTime::fromDateTime(when);
    QCOMPARE(TDateTime::toDateTime(days), when);
    QCOMPARE(TDateTime::datePart(0.5), QDate(1899, 12, 30));
    QCOMPARE(TDateTime::timePart(0.5), QTime(12, 0));
    // Half a millisecond before midnight rounds into the next day.
    QCOMPARE(TDateTime::toDateTime(1.0 - 0.4 / 86400000.0), QDateTime(QDate(1899, 12, 31), QTime(0, 0)));
}

QTEST_GUILESS_MAIN(TestResultFiles)
#include "tst_resultfiles.moc"

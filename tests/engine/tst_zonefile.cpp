#include "KelvarinError.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TestSupport.h"
#include "ZoneFile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct RecordingReporter : TIssueSink
{
    QStringList messages;
    void report(const TIssue &issue) override
    {
        messages << issue.caption + QLatin1Char('|') + issue.text;
    }
};

// The zone's fields as text, for compact comparisons.
QString describe(const TZoneInfo &z)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6").arg(z.X1).arg(z.Y1).arg(z.X2).arg(z.Y2).arg(z.X0).arg(z.Y0);
}

QStringList describeAll(const QList<TZoneInfo> &zones)
{
    QStringList list;
    for (const TZoneInfo &z : zones)
        list << describe(z);
    return list;
}

} // namespace

// The zone file: reading rules, writing format, and the overlay geometry.
class TestZoneFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void badLineReason_data();
    void badLineReason();
    void lineEnds_data();
    void lineEnds();
    void format();
    void formatUnderComma();
    void readThroughFinder();
    void writeThroughFinder();
};

void TestZoneFile::parse_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("zones");
    const QChar dot('.'), comma(',');
    QTest::newRow("four fields") << dot << QByteArray("100;50;140;90") << true << QStringList{"100 50 140 90 -1 -1"};
    QTest::newRow("origin comma") << comma << QByteArray("100;50;140;90; 120,5000 ; 70,2500") << true
                                  << QStringList{"100 50 140 90 120.5 70.25"};
    QTest::newRow("origin exponent") << dot << QByteArray("1;2;3;4;7.25E1;1e-3") << true
                                     << QStringList{"1 2 3 4 72.5 0.001"};
    QTest::newRow("five fields") << dot << QByteArray("1;2;3;4;5") << true << QStringList{"1 2 3 4 -1 -1"};
    QTest::newRow("seven fields") << dot << QByteArray("1;2;3;4;5;6;7") << true << QStringList{"1 2 3 4 5 -1"};
    QTest::newRow("bad origin x") << dot << QByteArray("1;2;3;4;x;6") << true << QStringList{"1 2 3 4 -1 -1"};
    QTest::newRow("bad origin y") << comma << QByteArray("1;2;3;4\r\n1;2;3;4;5;-") << true
                                  << QStringList{"1 2 3 4 -1 -1", "1 2 3 4 5 -1"};
    QTest::newRow("empty origin") << dot << QByteArray("1;2;3;4;;") << true << QStringList{"1 2 3 4 -1 -1"};
    // Written under one locale, read under the other: the same zones.
    QTest::newRow("point file, comma locale") << comma << QByteArray("60.3000;10.0000;90.5000;40.0000;70.1000;20.2500")
                                               << true << QStringList{"60 10 90 40 70.1 20.25"};
    QTest::newRow("comma file, point locale") << dot << QByteArray("60,3000 ; 10,0000 ; 90,5 ; 40 ; 70,1000 ; 20,25")
                                               << true << QStringList{"60 10 90 40 70.1 20.25"};
    QTest::newRow("truncated corners") << comma << QByteArray("12,9;-0,5;-3,7;4") << true
                                       << QStringList{"12 0 -3 4 -1 -1"};
    QTest::newRow("swapped corners") << dot << QByteArray("140;90;100;50") << true
                                     << QStringList{"140 90 100 50 -1 -1"};
    QTest::newRow("blanks") << dot << QByteArray(" 1 ; 2 ;3 ; 4 ") << true << QStringList{"1 2 3 4 -1 -1"};
    QTest::newRow("empty file") << dot << QByteArray() << true << QStringList{};
    QTest::newRow("three fields") << dot << QByteArray("1;2;3;4\r\n5;6;7\r\n8;9;10;11\r\n") << false
                                  << QStringList{"1 2 3 4 -1 -1"};
    QTest::newRow("blank last line") << dot << QByteArray("1;2;3;4\r\n\r\n") << false
                                     << QStringList{"1 2 3 4 -1 -1"};
    QTest::newRow("letter in corner") << dot << QByteArray("1;2;x;4") << false << QStringList{};
    QTest::newRow("tab in number") << dot << QByteArray("1;2;3;\t4") << false << QStringList{};
    QTest::newRow("two separators") << dot << QByteArray("1,5.5;2;3;4") << false << QStringList{};
    QTest::newRow("corner too large") << dot << QByteArray("1e10;2;3;4") << false << QStringList{};
    QTest::newRow("garbage") << dot << QByteArray("\x00\xff\x13;;;\x01", 7) << false << QStringList{};
}

void TestZoneFile::parse()
{
    QFETCH(QChar, separator);
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(QStringList, zones);
    LocaleGuard guard(separator);
    const ZoneFile::ParseResult result = ZoneFile::parse(text);
    QCOMPARE(result.ok, ok);
    QCOMPARE(describeAll(result.zones), zones);
}

void TestZoneFile::badLineReason_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");        // 0: read whole
    QTest::addColumn<QString>("reason");  // the bad line's, or the warnings'
    QTest::newRow("origin x") << QByteArray("1;2;3;4\r\n1;2;3;4; abc ;5") << 0 << "строка 2: поле X0: «abc» - не число";
    QTest::newRow("origin y") << QByteArray("1;2;3;4;5;6;7") << 0 << "строка 1: поле Y0: «6;7» - не число";
    QTest::newRow("origin y empty") << QByteArray("1;2;3;4;5;") << 0 << "строка 1: поле Y0: «» - не число";
    QTest::newRow("no origin") << QByteArray("1;2;3;4;;\r\n1;2;3;4;5") << 0 << "";
    QTest::newRow("corner") << QByteArray("1;2;3;4\r\n1;2;3;4\r\n1;y;3;4") << 3 << "поле Y1: «y» - не число";
    QTest::newRow("too few") << QByteArray("1;2;3") << 1 << "меньше четырёх полей через \";\"";
}

// What is wrong is said: a bad line stops reading with its reason; an origin
// that cannot be read leaves its zone without one, with a warning.
void TestZoneFile::badLineReason()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, reason);
    const ZoneFile::ParseResult result = ZoneFile::parse(text);
    QCOMPARE(result.ok, line == 0);
    QCOMPARE(result.badLine, line);
    QCOMPARE(line == 0 ? result.warnings.join("; ") : result.reason, reason);
}

void TestZoneFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("crlf") << QByteArray("1;2;3;4\r\n5;6;7;8\r\n");
    QTest::newRow("lf") << QByteArray("1;2;3;4\n5;6;7;8\n");
    QTest::newRow("cr") << QByteArray("1;2;3;4\r5;6;7;8\r");
    QTest::newRow("no final break") << QByteArray("1;2;3;4\r\n5;6;7;8");
}

void TestZoneFile::lineEnds()
{
    QFETCH(QByteArray, text);
    const ZoneFile::ParseResult result = ZoneFile::parse(text);
    QVERIFY(result.ok);
    QCOMPARE(describeAll(result.zones), (QStringList{"1 2 3 4 -1 -1", "5 6 7 8 -1 -1"}));
}

void TestZoneFile::format()
{
    LocaleGuard guard(QLatin1Char('.'));
    TZoneInfo withPoints(100, 50, 140, 90, 3, 4);
    withPoints.points << VT_Point(120.25, 70.03125) << VT_Point(1, 1);
    TZoneInfo originOnly(1, 2, 3, 4, 5, 6);
    TZoneInfo notFound(-1, 0, 10, 10);
    notFound.points << VT_Point(-1, -1);
    QCOMPARE(ZoneFile::format({withPoints, originOnly, notFound}),
             QByteArray("100.0000 ; 50.0000 ; 140.0000 ; 90.0000 ; 120.2500 ; 70.0313\r\n"
                        "1.0000 ; 2.0000 ; 3.0000 ; 4.0000\r\n"
                        "-1.0000 ; 0.0000 ; 10.0000 ; 10.0000 ; -1.0000 ; -1.0000\r\n"));
    // A not-found first point writes the origin -1, -1: it reads back without origin.
    const ZoneFile::ParseResult back = ZoneFile::parse(ZoneFile::format({notFound}));
    QVERIFY(back.ok);
    QVERIFY(!back.zones.first().hasOrigin());
}

void TestZoneFile::formatUnderComma()
{
    LocaleGuard guard(QLatin1Char(','));
    QCOMPARE(ZoneFile::format({TZoneInfo(120, 0, 1, 2)}), QByteArray("120,0000 ; 0,0000 ; 1,0000 ; 2,0000\r\n"));
    TZoneInfo z(1, 2, 3, 4);
    z.points << VT_Point(10.5, 20.25);
    const ZoneFile::ParseResult back = ZoneFile::parse(ZoneFile::format({z}));
    QVERIFY(back.ok);
    QCOMPARE(describe(back.zones.first()), QStringLiteral("1 2 3 4 10.5 20.25"));
}

void TestZoneFile::readThroughFinder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("z.zon"));
    TestSupport::writeFile(path, "1;2;3;4\r\n5;6;7\r\n");
    TParameters params;
    RecordingReporter reporter;
    TPointFinder finder(params, nullptr, &reporter);
    finder.zones() << TZoneInfo(9, 9, 9, 9);
    QVERIFY(!finder.ReadZoneFile(path));
    // The message names the file and the line, for a user who never chose it.
    QCOMPARE(reporter.messages, QStringList{"Ошибка!|Ошибка чтения файла координат зон!\n" + path
                                            + ", строка 2: меньше четырёх полей через \";\""});
    QCOMPARE(finder.zones().size(), 1);

    reporter.messages.clear();
    QVERIFY(!finder.ReadZoneFile(QString()));
    QVERIFY(finder.zones().isEmpty());
    QVERIFY(reporter.messages.isEmpty());

    const QString missing = dir.filePath(QStringLiteral("missing.zon"));
    QVERIFY(!finder.ReadZoneFile(missing));
    QCOMPARE(reporter.messages, QStringList{"Ошибка!|Ошибка чтения файла координат зон!\nФайл " + missing + " не найден."});

    // An origin that cannot be read: the zones are read, with a warning.
    reporter.messages.clear();
    TestSupport::writeFile(path, "1;2;3;4;5.5;6\r\n1;2;3;4;5,5;y\r\n");
    QVERIFY(finder.ReadZoneFile(path));
    QCOMPARE(describeAll(finder.zones()), (QStringList{"1 2 3 4 5.5 6", "1 2 3 4 5.5 -1"}));
    QCOMPARE(reporter.messages, QStringList{"|Начало координат зоны не прочитано: " + path
                                            + ", строка 2: поле Y0: «y» - не число"});

    // No zone file at all: a named pipe would block, an endless device fill memory.
    const QString pipe = dir.filePath(QStringLiteral("pipe.zon"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &name : {pipe, QStringLiteral("/dev/zero"), dir.path()}) {
        reporter.messages.clear();
        QVERIFY(!finder.ReadZoneFile(name));
        QCOMPARE(reporter.messages.size(), 1);
        QVERIFY(reporter.messages.first().startsWith("Ошибка!|Ошибка чтения файла координат зон!\n"));
        QVERIFY(reporter.messages.first().contains(name));
    }
}

void TestZoneFile::writeThroughFinder()
{
    QTemporaryDir dir;
    TParameters params;
    RecordingReporter reporter;
    TPointFinder finder(params, nullptr, &reporter);
    finder.zones() << TZoneInfo(1, 2, 3, 4);
    const QString path = dir.filePath(QStringLiteral("out.zon"));
    finder.WriteZoneFile(path);
    QVERIFY(QFile::exists(path));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, finder.WriteZoneFile(dir.filePath(QStringLiteral("no/dir/z.zon"))));
    try {
        finder.WriteZoneFile(dir.filePath(QStringLiteral("no/dir/z.zon")));
    } catch (const KelvarinError &error) {
        QCOMPARE(error.message(), QStringLiteral("Ошибка сохранения файла зон!"));
    }
}

QTEST_GUILESS_MAIN(TestZoneFile)
#include "tst_zonefile.moc"

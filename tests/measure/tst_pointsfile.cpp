#include "HandOffFile.h"
#include "KelvarinError.h"
#include "PointsFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// The points file of the measurement window and the main window's hand-off
// file: exact bytes under both separators, reading rules, file naming.
class TestPointsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesExactBytes_data();
    void writesExactBytes();
    void roundTrip_data();
    void roundTrip();
    void reading_data();
    void reading();
    void handOffName_data();
    void handOffName();
    void handOffContents();
    void handOffUnwritable();
};

void TestPointsFile::writesExactBytes_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow(".") << QChar('.') << QByteArray("10 ; 20\r\n10.5 ; 20.25\r\n-1 ; -1\r\n1E-5 ; 123456789012345\r\n");
    QTest::newRow(",") << QChar(',') << QByteArray("10 ; 20\r\n10,5 ; 20,25\r\n-1 ; -1\r\n1E-5 ; 123456789012345\r\n");
}

void TestPointsFile::writesExactBytes()
{
    QFETCH(QChar, separator);
    QFETCH(QByteArray, expected);
    LocaleGuard locale(separator);
    QCOMPARE(PointsFile::format({{10, 20}, {10.5, 20.25}, {-1, -1}, {0.00001, 123456789012345.0}}), expected);
    QCOMPARE(PointsFile::format({}), QByteArray());
}

void TestPointsFile::roundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow(".") << QChar('.');
    QTest::newRow(",") << QChar(',');
}

void TestPointsFile::roundTrip()
{
    QFETCH(QChar, separator);
    LocaleGuard locale(separator);
    // Fractions from the magnifier (steps of 1/zoom) and values with 15 digits.
    const QList<QPointF> points = {{10, 20}, {10.5, 20.25}, {-1, -1}, {123.4, 5.2},
                                   {0.142857142857143, 2592.66666666667}, {1e20, -3.5e-7}};
    const PointsFile::ParseResult result = PointsFile::parse(PointsFile::format(points));
    QVERIFY(result.ok);
    QCOMPARE(result.points, points);
}

void TestPointsFile::reading_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<int>("badLine"); // 0: all read

    QTest::newRow("comma line, comma locale") << QChar(',') << QByteArray("12,5;7") << QList<QPointF>{{12.5, 7}} << 0;
    // Written under the other locale: the same points.
    QTest::newRow("comma line, point locale") << QChar('.') << QByteArray("12,5;7") << QList<QPointF>{{12.5, 7}} << 0;
    QTest::newRow("point line, comma locale") << QChar(',') << QByteArray("12.5 ; 7,25") << QList<QPointF>{{12.5, 7.25}} << 0;
    QTest::newRow("both separators") << QChar('.') << QByteArray("1;2\r\n1,2.5;7") << QList<QPointF>{{1, 2}} << 2;
    QTest::newRow("blanks around numbers") << QChar('.') << QByteArray("  1.5  ;  -2  \n") << QList<QPointF>{{1.5, -2}} << 0;
    QTest::newRow("LF, CR and CR LF") << QChar('.') << QByteArray("1;2\n3;4\r5;6\r\n")
                                      << QList<QPointF>{{1, 2}, {3, 4}, {5, 6}} << 0;
    QTest::newRow("third line empty") << QChar('.') << QByteArray("1 ; 2\r\n3 ; 4\r\n\r\n5 ; 6\r\n")
                                      << QList<QPointF>{{1, 2}, {3, 4}} << 3;
    QTest::newRow("no semicolon") << QChar('.') << QByteArray("1 ; 2\r\n3 4\r\n") << QList<QPointF>{{1, 2}} << 2;
    QTest::newRow("second semicolon") << QChar('.') << QByteArray("1 ; 2 ; 3\r\n") << QList<QPointF>{} << 1;
    QTest::newRow("engine coordinate file (tabs)") << QChar('.') << QByteArray("1\t10.0000\t20.0000\r\n")
                                                   << QList<QPointF>{} << 1;
    QTest::newRow("garbage") << QChar('.') << QByteArray("x ; 1\r\n") << QList<QPointF>{} << 1;
    QTest::newRow("missing x") << QChar('.') << QByteArray(" ; 1\r\n") << QList<QPointF>{} << 1;
    QTest::newRow("empty file") << QChar('.') << QByteArray() << QList<QPointF>{} << 0;
    QTest::newRow("no final line break") << QChar('.') << QByteArray("7;8") << QList<QPointF>{{7, 8}} << 0;
}

void TestPointsFile::reading()
{
    QFETCH(QChar, separator);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QPointF>, points);
    QFETCH(int, badLine);
    LocaleGuard locale(separator);
    const PointsFile::ParseResult result = PointsFile::parse(bytes);
    QCOMPARE(result.points, points);
    QCOMPARE(result.ok, badLine == 0);
    QCOMPARE(result.badLine, badLine);
}

void TestPointsFile::handOffName_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("expected"); // relative: below the current directory

    QTest::newRow("lower case") << QStringLiteral("/data/cam1.bmp") << QStringLiteral("/data/cam1$tmp.crd");
    QTest::newRow("capitals") << QStringLiteral("/data/IMAGE.BMP") << QStringLiteral("$tmp.crd");
    QTest::newRow("first .bmp") << QStringLiteral("/data/a.bmp.d/b.bmp") << QStringLiteral("/data/a$tmp.crd");
    QTest::newRow("no image") << QString() << QStringLiteral("$tmp.crd");
    QTest::newRow("relative image") << QStringLiteral("shots/c.bmp") << QStringLiteral("shots/c$tmp.crd");
    // Pictures of the other formats are named after the image too, their
    // extension in any case, never the current directory's "$tmp.crd".
    QTest::newRow("png") << QStringLiteral("/data/cam1.png") << QStringLiteral("/data/cam1$tmp.crd");
    QTest::newRow("tiff capitals") << QStringLiteral("/data/CAM.TIFF") << QStringLiteral("/data/CAM$tmp.crd");
    QTest::newRow("tif") << QStringLiteral("/data/a.b.tif") << QStringLiteral("/data/a.b$tmp.crd");
    QTest::newRow("jpeg relative") << QStringLiteral("shots/c.jpeg") << QStringLiteral("shots/c$tmp.crd");
    QTest::newRow("jpg") << QStringLiteral("/data/c.Jpg") << QStringLiteral("/data/c$tmp.crd");
    QTest::newRow(".bmp first") << QStringLiteral("/data/x.bmp.d/y.png") << QStringLiteral("/data/x$tmp.crd");
    QTest::newRow("extension inside") << QStringLiteral("/data/a.png.d/b") << QStringLiteral("$tmp.crd");
}

void TestPointsFile::handOffName()
{
    QFETCH(QString, image);
    QFETCH(QString, expected);
    QCOMPARE(HandOffFile::fileName(image), QDir::current().absoluteFilePath(expected));
}

void TestPointsFile::handOffContents()
{
    LocaleGuard locale(QChar(','));
    TZoneInfo first(0, 0, 10, 10, 5, 5);
    first.points = {VT_Point(1, 2), VT_Point(3.25, 4.5)};
    TZoneInfo empty(20, 20, 30, 30);
    TZoneInfo notFound(40, 40, 50, 50);
    notFound.points = {VT_Point(44, 45), VT_Point(-1, -1)};
    // The last point of every zone with points, absolute, zone origin ignored.
    QCOMPARE(HandOffFile::contents({first, empty, notFound}), QByteArray("3,25 ; 4,5\r\n-1 ; -1\r\n"));
    QCOMPARE(HandOffFile::contents({empty}), QByteArray());

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("shot.bmp"));
    const QString written = HandOffFile::write({first}, image);
    QCOMPARE(written, dir.filePath(QStringLiteral("shot$tmp.crd")));
    QCOMPARE(TestSupport::readFile(written), QByteArray("3,25 ; 4,5\r\n"));
}

void TestPointsFile::handOffUnwritable()
{
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("missing/shot.bmp"));
    TZoneInfo zone(0, 0, 1, 1);
    zone.points = {VT_Point(1, 1)};
    QVERIFY_THROWS_EXCEPTION(KelvarinError, HandOffFile::write({zone}, image));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing/shot$tmp.crd"))));
}

QTEST_GUILESS_MAIN(TestPointsFile)
#include "tst_pointsfile.moc"

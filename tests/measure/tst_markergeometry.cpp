#include "MarkerGeometry.h"

#include <QtTest>

// Marker pixels on the overlay: truncation toward zero, arm lengths, label corner.
class TestMarkerGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void worked();
    void runs_data();
    void runs();
    void farAwayValuesStayFinite();
};

void TestMarkerGeometry::worked()
{
    // 10.9, 4.2 with S = 8: row 4, columns 2..17; column 10, rows -4..11; label at (13, 7).
    const QRect h = MarkerGeometry::horizontalRun(10.9, 4.2, 8);
    QCOMPARE(h, QRect(QPoint(2, 4), QPoint(17, 4)));
    const QRect v = MarkerGeometry::verticalRun(10.9, 4.2, 8);
    QCOMPARE(v, QRect(QPoint(10, -4), QPoint(10, 11)));
    QCOMPARE(MarkerGeometry::crossRect(10.9, 4.2, 8), QRect(QPoint(2, -4), QPoint(17, 11)));
    QCOMPARE(MarkerGeometry::labelOrigin(10.9, 4.2), QPoint(13, 7));
    QCOMPARE(MarkerGeometry::labelRect(10.9, 4.2, QSize(9, 15)), QRect(13, 7, 9, 15));
}

void TestMarkerGeometry::runs_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("size");
    QTest::addColumn<QRect>("horizontal");
    QTest::addColumn<QRect>("vertical");

    // Negative fractions truncate toward zero, not down.
    QTest::newRow("-0.5, -1.7") << -0.5 << -1.7 << 8 << QRect(-8, -1, 16, 1) << QRect(0, -9, 1, 16);
    QTest::newRow("whole, size 20") << 100.0 << 50.0 << 20 << QRect(80, 50, 40, 1) << QRect(100, 30, 1, 40);
    QTest::newRow("-1, -1 (not found)") << -1.0 << -1.0 << 8 << QRect(-9, -1, 16, 1) << QRect(-1, -9, 1, 16);
}

void TestMarkerGeometry::runs()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(int, size);
    QFETCH(QRect, horizontal);
    QFETCH(QRect, vertical);
    QCOMPARE(MarkerGeometry::horizontalRun(x, y, size), horizontal);
    QCOMPARE(MarkerGeometry::verticalRun(x, y, size), vertical);
    // Each run is 2S pixels: the left and upper arms are one pixel longer.
    QCOMPARE(horizontal.width(), 2 * size);
    QCOMPARE(vertical.height(), 2 * size);
    QCOMPARE(MarkerGeometry::pixel(x) - horizontal.left(), size);
    QCOMPARE(horizontal.right() - MarkerGeometry::pixel(x), size - 1);
}

void TestMarkerGeometry::farAwayValuesStayFinite()
{
    const QRect far = MarkerGeometry::crossRect(1e300, -1e300, 8);
    QVERIFY(far.isValid());
    QVERIFY(!far.intersects(QRect(0, 0, 100000, 100000)));
    QCOMPARE(MarkerGeometry::pixel(std::numeric_limits<double>::quiet_NaN()) < 0, true);
}

QTEST_GUILESS_MAIN(TestMarkerGeometry)
#include "tst_markergeometry.moc"

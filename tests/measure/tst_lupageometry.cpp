#include "LupaGeometry.h"

#include <QtTest>

// The magnifier's arithmetic: centre and side, bounds of zoom, area and
// crosshair steps, and how the offsets follow zoom and area changes.
class TestLupaGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialAndWorkedNumbers();
    void outOfRangeIgnored();
    void crosshairStopsAtBound();
    void zoomRescalesOffsets_data();
    void zoomRescalesOffsets();
    void areaKeepsOrClampsOffsets();
    void placeOnScreen_data();
    void placeOnScreen();
    void placeClear_data();
    void placeClear();
};

void TestLupaGeometry::initialAndWorkedNumbers()
{
    LupaGeometry g;
    QCOMPARE(g.area(), 30);
    QCOMPARE(g.zoom(), 5);
    QCOMPARE(g.centre(), 153);
    QCOMPARE(g.side(), 300);

    QVERIFY(g.setArea(20));
    QCOMPARE(g.side(), 200);
    QCOMPARE(g.centre(), 103);
    QCOMPARE(g.labelPosition(), QPoint(25, 2));
    QCOMPARE(g.labelPointSize(), 13);
    // The mouse pixel (source column a) fills magnified columns 100..104.
    QCOMPARE(g.sourceRect(50, 60), QRect(30, 40, 40, 40));
    QCOMPARE(g.shiftX(), 0.0);
    QVERIFY(g.moveCrosshair(1, 0));
    QVERIFY(g.moveCrosshair(1, -1));
    QCOMPARE(g.shiftX(), 0.4);
    QCOMPARE(g.shiftY(), -0.2);
    QCOMPARE(g.crosshairColumn(), 105);
    QCOMPARE(g.crosshairRow(), 102);
    QVERIFY(g.resetCrosshair());
    QVERIFY(!g.resetCrosshair());
}

void TestLupaGeometry::outOfRangeIgnored()
{
    LupaGeometry g;
    QVERIFY(!g.setZoom(9));
    QVERIFY(!g.setZoom(1));
    QVERIFY(!g.setZoom(5));
    QVERIFY(!g.setArea(14));
    QVERIFY(!g.setArea(41));
    QVERIFY(!g.setArea(30));
    QCOMPARE(g.zoom(), 5);
    QCOMPARE(g.area(), 30);
    QVERIFY(g.setZoom(2) && g.setZoom(8) && g.setArea(15) && g.setArea(40));
    QCOMPARE(g.side(), 640);
}

void TestLupaGeometry::crosshairStopsAtBound()
{
    LupaGeometry g;
    g.setArea(20);
    for (int i = 0; i < 100; ++i)
        QVERIFY(g.moveCrosshair(1, 0));
    QCOMPARE(g.fineOffsetX(), 100);
    QVERIFY(!g.moveCrosshair(1, 0)); // the 101st press
    QCOMPARE(g.fineOffsetX(), 100);
    QCOMPARE(g.shiftX(), 20.0);
    // A diagonal step beyond one bound is ignored on both axes.
    QVERIFY(!g.moveCrosshair(1, 1));
    QCOMPARE(g.fineOffsetY(), 0);
    for (int i = 0; i < 100; ++i)
        g.moveCrosshair(0, -1);
    QVERIFY(!g.moveCrosshair(0, -1));
    QCOMPARE(g.fineOffsetY(), -100);
}

void TestLupaGeometry::zoomRescalesOffsets_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("expected");

    QTest::newRow("5 to 2, 7") << 5 << 2 << 7 << 2;    // 2.8 truncated
    QTest::newRow("5 to 2, -7") << 5 << 2 << -7 << -2; // toward zero
    QTest::newRow("2 to 5, 3") << 2 << 5 << 3 << 7;    // 7.5 truncated
    QTest::newRow("8 to 3, -13") << 8 << 3 << -13 << -4;
}

void TestLupaGeometry::zoomRescalesOffsets()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, offset);
    QFETCH(int, expected);
    LupaGeometry g;
    g.setZoom(from);
    for (int i = 0; i < std::abs(offset); ++i)
        g.moveCrosshair(offset > 0 ? 1 : -1, offset > 0 ? -1 : 1);
    QVERIFY(g.setZoom(to));
    QCOMPARE(g.fineOffsetX(), expected);
    QCOMPARE(g.fineOffsetY(), -expected);
}

void TestLupaGeometry::areaKeepsOrClampsOffsets()
{
    LupaGeometry g; // a = 30, z = 5: offsets up to 150
    for (int i = 0; i < 120; ++i)
        g.moveCrosshair(1, -1);
    for (int i = 0; i < 30; ++i)
        g.moveCrosshair(1, 0);
    QCOMPARE(g.fineOffsetX(), 150);
    QVERIFY(g.setArea(25)); // bound 125: both kept where they fit
    QCOMPARE(g.fineOffsetX(), 125);
    QCOMPARE(g.fineOffsetY(), -120);
    QVERIFY(g.setArea(40)); // a larger area never moves the crosshair
    QCOMPARE(g.fineOffsetX(), 125);
    QCOMPARE(g.fineOffsetY(), -120);
    QVERIFY(g.setArea(15));
    QCOMPARE(g.fineOffsetX(), 75);
    QCOMPARE(g.fineOffsetY(), -75);
}

void TestLupaGeometry::placeOnScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("place");
    const QRect screen(0, 0, 1600, 1000);
    QTest::newRow("inside stays") << QRect(100, 50, 200, 200) << screen << QPoint(100, 50);
    QTest::newRow("8x grown at x=1400") << QRect(1400, 50, 640, 640) << screen << QPoint(960, 50);
    QTest::newRow("off the bottom") << QRect(10, 900, 200, 200) << screen << QPoint(10, 800);
    QTest::newRow("off the top left") << QRect(-30, -5, 200, 200) << screen << QPoint(0, 0);
    QTest::newRow("larger than the screen") << QRect(500, 500, 640, 640) << QRect(0, 0, 600, 400) << QPoint(0, 0);
    QTest::newRow("second screen") << QRect(3000, 100, 640, 640) << QRect(1600, 0, 1920, 1080)
                                   << QPoint(2880, 100);
}

void TestLupaGeometry::placeOnScreen()
{
    QFETCH(QRect, window);
    QFETCH(QRect, screen);
    QFETCH(QPoint, place);
    QCOMPARE(LupaGeometry::placeOnScreen(window, screen), place);
}

void TestLupaGeometry::placeClear_data()
{
    QTest::addColumn<QRect>("current");
    QTest::addColumn<QRect>("cursorArea");
    QTest::addColumn<QPoint>("place");
    // A 1000 x 800 screen, the measurement window at (100, 100) 500 x 400, a
    // magnifier of 300 x 300.
    QTest::newRow("clear where it is: stays") << QRect(650, 100, 300, 300) << QRect(200, 200, 60, 60) << QPoint(650, 100);
    QTest::newRow("no area: stays") << QRect(650, 100, 300, 300) << QRect() << QPoint(650, 100);
    QTest::newRow("covering the area: beside the window, right")
        << QRect(150, 150, 300, 300) << QRect(200, 200, 60, 60) << QPoint(600, 100);
    QTest::newRow("area at the window's right edge: left of the window, kept on screen")
        << QRect(580, 100, 300, 300) << QRect(570, 150, 60, 60) << QPoint(0, 100);
    QTest::newRow("both sides covered: a corner clear of it")
        << QRect(600, 100, 300, 300) << QRect(0, 100, 1000, 60) << QPoint(0, 500);
}

// Wherever the mouse goes, the magnifier never hides the area it magnifies.
void TestLupaGeometry::placeClear()
{
    QFETCH(QRect, current);
    QFETCH(QRect, cursorArea);
    QFETCH(QPoint, place);
    const QRect screen(0, 0, 1000, 800);
    const QPoint placed = LupaGeometry::placeClear(current, QRect(100, 100, 500, 400), cursorArea, screen);
    QCOMPARE(placed, place);
    QVERIFY(!QRect(placed, current.size()).intersects(cursorArea));
    QVERIFY(screen.contains(QRect(placed, current.size())));
}

QTEST_GUILESS_MAIN(TestLupaGeometry)
#include "tst_lupageometry.moc"

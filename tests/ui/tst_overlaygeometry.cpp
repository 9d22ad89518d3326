#include "OverlayGeometry.h"
#include "TZoneInfo.h"

#include <QtTest>

// The main window's overlay arithmetic: zone outlines, crosses, the view's
// scale and zones drawn with the mouse.
class TestOverlayGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overlayGeometry();
    void dragMakesZone_data();
    void dragMakesZone();
};

void TestOverlayGeometry::overlayGeometry()
{
    const auto outline = OverlayGeometry::zoneOutline(TZoneInfo(1, 2, 3, 4));
    QCOMPARE(outline[0], QPoint(1, 2));
    QCOMPARE(outline[1], QPoint(1, 4));
    QCOMPARE(outline[2], QPoint(3, 4));
    QCOMPARE(outline[3], QPoint(3, 2));
    QCOMPARE(outline[4], QPoint(1, 2));
    QCOMPARE(OverlayGeometry::penWidth(100), 1);
    QCOMPARE(OverlayGeometry::penWidth(75), 2);
    const auto cross = OverlayGeometry::cross(50, 60);
    QCOMPARE(cross[0], QLine(40, 60, 60, 60));
    QCOMPARE(cross[1], QLine(50, 70, 50, 50));
    // Truncated, not rounded.
    QCOMPARE(OverlayGeometry::viewToImage(QPoint(101, 57), 200), QPoint(50, 28));
    QCOMPARE(OverlayGeometry::viewToImage(QPoint(101, 57), 75), QPoint(134, 76));
    QCOMPARE(OverlayGeometry::viewSize(QSize(101, 51), 50), QSize(50, 25));
    // Origins count only strictly above -1.
    QVERIFY(!TZoneInfo(0, 0, 1, 1, -1, 5).hasOrigin());
    QVERIFY(TZoneInfo(0, 0, 1, 1, -0.5, 0).hasOrigin());
}

void TestOverlayGeometry::dragMakesZone_data()
{
    QTest::addColumn<QPoint>("centre");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<QRect>("zone");
    QTest::newRow("symmetric") << QPoint(50, 50) << QPoint(60, 45) << QRect(QPoint(40, 45), QPoint(60, 55));
    QTest::newRow("up left") << QPoint(50, 50) << QPoint(40, 40) << QRect(QPoint(40, 40), QPoint(60, 60));
    QTest::newRow("too narrow") << QPoint(50, 50) << QPoint(51, 60) << QRect();
    QTest::newRow("width 4 is enough") << QPoint(50, 50) << QPoint(52, 60) << QRect(QPoint(48, 40), QPoint(52, 60));
    QTest::newRow("too flat") << QPoint(50, 50) << QPoint(70, 49) << QRect();
}

void TestOverlayGeometry::dragMakesZone()
{
    QFETCH(QPoint, centre);
    QFETCH(QPoint, release);
    QFETCH(QRect, zone);
    QCOMPARE(OverlayGeometry::zoneFromDrag(centre, release), zone);
    const auto band = OverlayGeometry::rubberBand(centre, release);
    QCOMPARE(band[2], release);
    QCOMPARE(band[0], band[4]);
}

QTEST_GUILESS_MAIN(TestOverlayGeometry)
#include "tst_overlaygeometry.moc"

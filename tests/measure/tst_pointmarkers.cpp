#include "KelvarinError.h"
#include "MarkerCanvas.h"
#include "MarkerGeometry.h"
#include "PointMarkers.h"
#include "SharedListOfT.h"

#include <QtTest>

namespace {

// Records the canvas calls as "draw cross 3 active", "erase label 2", ...
struct RecordingCanvas : MarkerCanvas
{
    QStringList calls;
    void DrawCross(int i, bool active) override { calls << QStringLiteral("draw cross %1%2").arg(i).arg(active ? " active" : ""); }
    void EraseCross(int i) override { calls << QStringLiteral("erase cross %1").arg(i); }
    void DrawLabel(int i, bool active) override { calls << QStringLiteral("draw label %1%2").arg(i).arg(active ? " active" : ""); }
    void EraseLabel(int i) override { calls << QStringLiteral("erase label %1").arg(i); }
};

struct Counted
{
    explicit Counted(int *alive) : alive(alive) { ++*alive; }
    ~Counted() { --*alive; }
    int *alive;
};

// Points 1..n at x = 100 * number, y = 0, so a point's number can be read off its x.
void fill(PointMarkers &markers, int n)
{
    for (int i = 1; i <= n; ++i)
        markers.AddPoint(100.0 * i, 0);
}

QList<int> numbersByX(const PointMarkers &markers)
{
    QList<int> result;
    for (int i = 0; i < markers.Count(); ++i)
        result << int(markers.point(i).x / 100);
    return result;
}

} // namespace

// The point list of the measurement window: container errors, hit test, the
// edits that keep the active point, and which markers each edit repaints.
class TestPointMarkers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listErrorsAndOwnership();
    void hitTestIsStrictAndHighestWins_data();
    void hitTestIsStrictAndHighestWins();
    void moveFiveToTwo_data();
    void moveFiveToTwo();
    void moveUpwardAndToOwnPlace();
    void deleteAroundActive_data();
    void deleteAroundActive();
    void deleteLastRemainingPoint();
    void changingActiveRedrawsBoth();
    void styleChangeErasesWithOldSize();
    void badIndexLeavesListIntact();
};

void TestPointMarkers::listErrorsAndOwnership()
{
    try {
        SharedListOfT<TPoint2> bad(2);
        QFAIL("owns = 2 accepted");
    } catch (const KelvarinError &e) {
        QCOMPARE(e.message(), QStringLiteral("Wrong parameter transferred to ListOfT::ListOfT"));
    }

    int alive = 0;
    {
        SharedListOfT<Counted> owning(1);
        owning.Add(new Counted(&alive));
        owning.Add(new Counted(&alive));
        owning.Add(new Counted(&alive));
        for (int index : {-1, 3}) {
            try {
                owning.Get(index);
                QFAIL("bad index accepted");
            } catch (const KelvarinError &e) {
                QCOMPARE(e.message(), QStringLiteral("Index out of bounds ListOfT::Get"));
            }
            QVERIFY_THROWS_EXCEPTION(KelvarinError, owning.Delete(index));
        }
        owning.Delete(0);
        QCOMPARE(alive, 2);
        QCOMPARE(owning.Count(), 2);
    }
    QCOMPARE(alive, 0);

    Counted kept(&alive);
    {
        SharedListOfT<Counted> borrowing(0);
        borrowing.Add(&kept);
        borrowing.Delete(0);
        borrowing.Add(&kept);
        borrowing.Clear();
        borrowing.Add(&kept);
    }
    QCOMPARE(alive, 1);
}

void TestPointMarkers::hitTestIsStrictAndHighestWins_data()
{
    QTest::addColumn<QList<QPointF>>("points");
    QTest::addColumn<QPoint>("mouse");
    QTest::addColumn<int>("expected");

    QTest::newRow("exactly S to the right misses") << QList<QPointF>{{58, 50}} << QPoint(50, 50) << -1;
    QTest::newRow("S - 1 to the right hits") << QList<QPointF>{{57, 50}} << QPoint(50, 50) << 0;
    QTest::newRow("exactly S below misses") << QList<QPointF>{{50, 58}} << QPoint(50, 50) << -1;
    QTest::newRow("fraction inside S hits") << QList<QPointF>{{42.01, 57.99}} << QPoint(50, 50) << 0;
    QTest::newRow("overlap: highest number wins")
        << QList<QPointF>{{50, 50}, {53, 52}, {200, 200}} << QPoint(51, 51) << 1;
    QTest::newRow("overlap: order, not distance") << QList<QPointF>{{55, 55}, {51, 51}, {50, 50}}
                                                  << QPoint(55, 55) << 2;
    QTest::newRow("empty list") << QList<QPointF>{} << QPoint(0, 0) << -1;
}

void TestPointMarkers::hitTestIsStrictAndHighestWins()
{
    QFETCH(QList<QPointF>, points);
    QFETCH(QPoint, mouse);
    QFETCH(int, expected);
    PointMarkers markers;
    for (const QPointF &p : points)
        markers.AddPoint(p.x(), p.y());
    QCOMPARE(markers.PointAt(mouse.x(), mouse.y()), expected);
}

void TestPointMarkers::moveFiveToTwo_data()
{
    QTest::addColumn<int>("activeNumber");   // 0: none
    QTest::addColumn<int>("expectedActive"); // number afterwards, 0: none

    // The active point keeps being the same marker.
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("1 stays 1") << 1 << 1;
    QTest::newRow("2 becomes 3") << 2 << 3;
    QTest::newRow("3 becomes 4") << 3 << 4;
    QTest::newRow("4 becomes 5") << 4 << 5;
    QTest::newRow("5 becomes 2") << 5 << 2;
    QTest::newRow("6 stays 6") << 6 << 6;
}

void TestPointMarkers::moveFiveToTwo()
{
    QFETCH(int, activeNumber);
    QFETCH(int, expectedActive);
    PointMarkers markers;
    fill(markers, 6);
    markers.SetActive(activeNumber - 1);
    const double activeX = activeNumber ? markers.point(activeNumber - 1).x : 0;
    RecordingCanvas canvas;
    markers.setCanvas(&canvas);

    markers.MovePoint(4, 1);

    QCOMPARE(numbersByX(markers), (QList<int>{1, 5, 2, 3, 4, 6}));
    QCOMPARE(markers.ActiveIndex(), expectedActive - 1);
    if (activeNumber)
        QCOMPARE(markers.point(markers.ActiveIndex()).x, activeX);
    // Only the labels of places 2 to 5 change; no cross is touched.
    QStringList expected = {"erase label 4", "erase label 3", "erase label 2", "erase label 1"};
    for (int k = 1; k <= 4; ++k)
        expected << QStringLiteral("draw label %1%2").arg(k).arg(k == expectedActive - 1 ? " active" : "");
    QCOMPARE(canvas.calls, expected);
}

void TestPointMarkers::moveUpwardAndToOwnPlace()
{
    PointMarkers markers;
    fill(markers, 5);
    markers.SetActive(2);
    markers.MovePoint(0, 3);
    QCOMPARE(numbersByX(markers), (QList<int>{2, 3, 4, 1, 5}));
    QCOMPARE(markers.ActiveIndex(), 1);

    RecordingCanvas canvas;
    markers.setCanvas(&canvas);
    markers.MovePoint(1, 1);
    QCOMPARE(numbersByX(markers), (QList<int>{2, 3, 4, 1, 5}));
    QCOMPARE(markers.ActiveIndex(), 1);
    QCOMPARE(canvas.calls, (QStringList{"erase label 1", "draw label 1 active"}));
}

void TestPointMarkers::deleteAroundActive_data()
{
    QTest::addColumn<int>("deleteNumber");
    QTest::addColumn<int>("activeNumber");
    QTest::addColumn<int>("expectedActive");

    QTest::newRow("before the active") << 2 << 4 << 3;
    QTest::newRow("the active itself") << 4 << 4 << 0;
    QTest::newRow("after the active") << 5 << 4 << 4;
    QTest::newRow("first while last active") << 1 << 5 << 4;
    QTest::newRow("none active") << 3 << 0 << 0;
}

void TestPointMarkers::deleteAroundActive()
{
    QFETCH(int, deleteNumber);
    QFETCH(int, activeNumber);
    QFETCH(int, expectedActive);
    PointMarkers markers;
    fill(markers, 5);
    markers.SetActive(activeNumber - 1);
    markers.setHoverIndex(4);
    RecordingCanvas canvas;
    markers.setCanvas(&canvas);

    markers.DeletePoint(deleteNumber - 1);

    QList<int> expectedNumbers = {1, 2, 3, 4, 5};
    expectedNumbers.removeAt(deleteNumber - 1);
    QCOMPARE(numbersByX(markers), expectedNumbers);
    QCOMPARE(markers.ActiveIndex(), expectedActive - 1);
    QVERIFY(markers.HoverIndex() < markers.Count());

    // Labels from the deleted place on are erased before, the cross of the
    // deleted point too, and every marker from that place on drawn afterwards.
    QStringList expected;
    for (int k = deleteNumber - 1; k < 5; ++k)
        expected << QStringLiteral("erase label %1").arg(k);
    expected << QStringLiteral("erase cross %1").arg(deleteNumber - 1);
    for (int k = deleteNumber - 1; k < 4; ++k) {
        const QString active = k == expectedActive - 1 ? QStringLiteral(" active") : QString();
        expected << QStringLiteral("draw cross %1%2").arg(k).arg(active)
                 << QStringLiteral("draw label %1%2").arg(k).arg(active);
    }
    QCOMPARE(canvas.calls, expected);
}

void TestPointMarkers::deleteLastRemainingPoint()
{
    PointMarkers markers;
    markers.AddPoint(3, 4);
    markers.SetActive(0);
    markers.setHoverIndex(0);
    markers.DeletePoint(0);
    QCOMPARE(markers.Count(), 0);
    QCOMPARE(markers.ActiveIndex(), -1);
    QCOMPARE(markers.HoverIndex(), -1);
}

void TestPointMarkers::changingActiveRedrawsBoth()
{
    PointMarkers markers;
    fill(markers, 3);
    RecordingCanvas canvas;
    markers.setCanvas(&canvas);
    markers.SetActive(0);
    markers.SetActive(2);
    QCOMPARE(canvas.calls, (QStringList{"draw cross 0 active", "draw label 0 active", "draw cross 0",
                                        "draw label 0", "draw cross 2 active", "draw label 2 active"}));
}

void TestPointMarkers::styleChangeErasesWithOldSize()
{
    // The canvas is asked to erase while the old size is still in force.
    struct SizeCanvas : RecordingCanvas
    {
        PointMarkers *markers = nullptr;
        QList<int> erasedWith, drawnWith;
        void EraseCross(int) override { erasedWith << markers->crossSize(); }
        void DrawCross(int, bool) override { drawnWith << markers->crossSize(); }
    } canvas;
    PointMarkers markers;
    canvas.markers = &markers;
    fill(markers, 2);
    markers.setCanvas(&canvas);
    markers.SetStyle(65535, 0, 20);
    QCOMPARE(canvas.erasedWith, (QList<int>{8, 8}));
    QCOMPARE(canvas.drawnWith, (QList<int>{20, 20}));
    QCOMPARE(markers.activeColor(), 65535);
    QCOMPARE(markers.passiveColor(), 0);
    // A point S - 1 = 19 away now hits.
    QVERIFY(markers.PointAt(119, 0) == 0);
}

void TestPointMarkers::badIndexLeavesListIntact()
{
    PointMarkers markers;
    fill(markers, 3);
    markers.SetActive(1);
    QVERIFY_THROWS_EXCEPTION(KelvarinError, markers.DeletePoint(3));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, markers.MovePoint(0, 3));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, markers.SetActive(-2));
    QCOMPARE(numbersByX(markers), (QList<int>{1, 2, 3}));
    QCOMPARE(markers.ActiveIndex(), 1);
}

QTEST_GUILESS_MAIN(TestPointMarkers)
#include "tst_pointmarkers.moc"

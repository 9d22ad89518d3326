#include "KelvarinError.h"
#include "PlacementHost.h"
#include "PointMarkers.h"
#include "PointPlacement.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

struct FakeHost : PlacementHost
{
    QString panels[4];
    bool saveEnabled = false;
    bool lupaShown = false;
    QPointF offset;           // in image pixels
    QPointF offsetAfterModal; // what the operator leaves in the modal phase
    bool modalCancelled = false; // Esc in the modal phase
    int modalPhases = 0;
    QList<QPoint> grabbed;
    QList<std::pair<bool, QString>> answers;
    QList<int> askedNumbers;
    int refusals = 0;

    void setStatus(int panel, const QString &text) override { panels[panel] = text; }
    void enableSave() override { saveEnabled = true; }
    bool magnifierShown() const override { return lupaShown; }
    void grabArea(int x, int y) override { grabbed << QPoint(x, y); }
    bool runMagnifierModal() override
    {
        ++modalPhases;
        offset = offsetAfterModal;
        return !modalCancelled;
    }
    QPointF fineOffset() const override { return offset; }
    bool askNewNumber(int current, QString *answer) override
    {
        askedNumbers << current;
        if (answers.isEmpty())
            return false;
        const auto [ok, text] = answers.takeFirst();
        *answer = text;
        return ok;
    }
    void refuseNumber() override { ++refusals; }
};

using B = PointPlacement;

B::Shift held(int buttons, bool ctrl = false)
{
    return B::Shift{buttons, ctrl};
}

// A click without moving in between: press with the button held, release without it.
void click(PointPlacement &p, int x, int y, bool ctrlAtPress = false, bool ctrlAtRelease = false)
{
    p.mouseDown(B::LeftButton, held(B::LeftButton, ctrlAtPress), x, y);
    p.mouseUp(B::LeftButton, held(B::NoButton, ctrlAtRelease), x, y);
}

} // namespace

// Point placement by mouse, apart from any widget: every row of the gesture
// table, the renumber question, status texts and the magnifier's offset.
class TestPointPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void clickOnEmptySpotPlacesActivePoint();
    void gestureTable_data();
    void gestureTable();
    void renumberThreeToOne();
    void renumberRefusals_data();
    void renumberRefusals();
    void renumberNotANumber();
    void ctrlDeleteThenPlaceAtSameSpot();
    void statusFollowsEnteringOnly();
    void rightButtonHeldBlocksLeft();
    void magnifierModalPhaseShiftsPoint();
    void magnifierModalPhaseCancelled();
    void renumberToLastPosition();

private:
    PointMarkers m_markers;
    FakeHost m_host;
    std::unique_ptr<PointPlacement> m_placement;
};

void TestPointPlacement::init()
{
    m_markers.Clear();
    m_host = FakeHost();
    m_placement = std::make_unique<PointPlacement>(m_markers, m_host);
}

void TestPointPlacement::clickOnEmptySpotPlacesActivePoint()
{
    LocaleGuard locale(QChar(','));
    QCOMPARE(m_placement->lastMouse().x(), -1);
    m_placement->mouseMove(held(B::NoButton), 17, 240);
    QCOMPARE(m_host.panels[0], QStringLiteral("X=17,000"));
    QCOMPARE(m_host.panels[1], QStringLiteral("Y=240,000"));
    QCOMPARE(m_host.panels[3], QStringLiteral("Поставить точку: 17,000 - 240,000    "));
    click(*m_placement, 17, 240);
    QCOMPARE(m_markers.Count(), 1);
    QCOMPARE(m_markers.point(0).x, 17.0);
    QCOMPARE(m_markers.point(0).y, 240.0);
    QCOMPARE(m_markers.ActiveIndex(), 0);
    QCOMPARE(m_markers.HoverIndex(), 0);
    QCOMPARE(m_host.panels[2], QStringLiteral("17 ; 240"));
    QCOMPARE(m_host.panels[3], QString());
    QVERIFY(m_host.saveEnabled);
    QVERIFY(!m_placement->pressPending() && !m_placement->renumberPending());
    QCOMPARE(m_host.modalPhases, 0);
}

void TestPointPlacement::gestureTable_data()
{
    QTest::addColumn<bool>("pressOnPoint");
    QTest::addColumn<bool>("releaseOnPoint");
    QTest::addColumn<bool>("ctrlAtPress");
    QTest::addColumn<bool>("ctrlAtRelease");
    QTest::addColumn<QString>("effect");

    // Points 1 at (100, 100) and 2 at (200, 100), point 1 active; empty spot (150, 150).
    QTest::newRow("empty -> empty") << false << false << false << false << "new";
    QTest::newRow("empty -> empty, ctrl") << false << false << true << true << "new";
    QTest::newRow("empty -> point") << false << true << false << false << "activate";
    QTest::newRow("empty -> point, ctrl at release") << false << true << false << true << "delete";
    QTest::newRow("point -> point, ctrl held") << true << true << true << true << "delete";
    QTest::newRow("point -> point, ctrl let go first") << true << true << true << false << "activate";
    QTest::newRow("point -> empty, ctrl at press") << true << false << true << false << "new";
    QTest::newRow("point -> empty, ctrl held") << true << false << true << true << "new";
    QTest::newRow("point -> point, no ctrl") << true << true << false << false << "renumber";
    QTest::newRow("point -> empty, no ctrl") << true << false << false << false << "nothing";
}

void TestPointPlacement::gestureTable()
{
    QFETCH(bool, pressOnPoint);
    QFETCH(bool, releaseOnPoint);
    QFETCH(bool, ctrlAtPress);
    QFETCH(bool, ctrlAtRelease);
    QFETCH(QString, effect);
    m_markers.AddPoint(100, 100);
    m_markers.AddPoint(200, 100);
    m_markers.SetActive(0);

    const QPoint press = pressOnPoint ? QPoint(201, 99) : QPoint(150, 150);
    const QPoint release = releaseOnPoint ? QPoint(199, 101) : QPoint(150, 150);
    m_placement->mouseMove(held(B::NoButton, ctrlAtPress), press.x(), press.y());
    m_placement->mouseDown(B::LeftButton, held(B::LeftButton, ctrlAtPress), press.x(), press.y());
    m_placement->mouseMove(held(B::LeftButton, ctrlAtRelease), release.x(), release.y());
    m_placement->mouseUp(B::LeftButton, held(B::NoButton, ctrlAtRelease), release.x(), release.y());

    QCOMPARE(m_host.askedNumbers, effect == "renumber" ? QList<int>{2} : QList<int>{});
    if (effect == "new") {
        QCOMPARE(m_markers.Count(), 3);
        QCOMPARE(m_markers.point(2).x, 150.0);
        QCOMPARE(m_markers.ActiveIndex(), 2);
    } else if (effect == "activate") {
        QCOMPARE(m_markers.Count(), 2);
        QCOMPARE(m_markers.ActiveIndex(), 1);
        QCOMPARE(m_host.panels[2], QStringLiteral("200 ; 100"));
    } else if (effect == "delete") {
        QCOMPARE(m_markers.Count(), 1);
        QCOMPARE(m_markers.point(0).x, 100.0);
        QCOMPARE(m_markers.HoverIndex(), -1);
        QCOMPARE(m_host.panels[3], QString());
    } else {
        QCOMPARE(m_markers.Count(), 2);
        QCOMPARE(m_markers.ActiveIndex(), 0);
    }
    QVERIFY(!m_placement->pressPending() && !m_placement->renumberPending());
}

void TestPointPlacement::renumberThreeToOne()
{
    for (int i = 1; i <= 5; ++i)
        m_markers.AddPoint(100.0 * i, 50);
    m_host.answers = {{true, "1"}, {false, {}}};
    m_placement->mouseMove(held(B::NoButton), 300, 50);
    click(*m_placement, 300, 50);
    QCOMPARE(m_host.askedNumbers, QList<int>{3});
    QList<double> xs;
    for (int i = 0; i < 5; ++i)
        xs << m_markers.point(i).x;
    QCOMPARE(xs, (QList<double>{300, 100, 200, 400, 500}));
    // The same spot again, without moving: the question is for the point now numbered 1.
    click(*m_placement, 300, 50);
    QCOMPARE(m_host.askedNumbers, (QList<int>{3, 1}));
}

void TestPointPlacement::renumberRefusals_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("0") << "0";
    QTest::newRow("above count") << "4";
    QTest::newRow("negative") << "-2";
    QTest::newRow("lowest integer") << "-2147483648";
}

void TestPointPlacement::renumberRefusals()
{
    QFETCH(QString, answer);
    for (int i = 1; i <= 3; ++i)
        m_markers.AddPoint(100.0 * i, 50);
    m_host.answers = {{true, answer}};
    m_placement->mouseMove(held(B::NoButton), 200, 50);
    click(*m_placement, 200, 50);
    QCOMPARE(m_host.refusals, 1);
    QCOMPARE(m_markers.point(1).x, 200.0);
}

void TestPointPlacement::renumberNotANumber()
{
    m_markers.AddPoint(10, 10);
    m_markers.AddPoint(40, 10);
    m_host.answers = {{true, "два"}};
    m_placement->mouseMove(held(B::NoButton), 40, 10);
    m_placement->mouseDown(B::LeftButton, held(B::LeftButton), 40, 10);
    try {
        m_placement->mouseUp(B::LeftButton, held(B::NoButton), 40, 10);
        QFAIL("no conversion error");
    } catch (const KelvarinError &e) {
        QCOMPARE(e.message(), QStringLiteral("'два' не является целым числом"));
    }
    QVERIFY(!m_placement->pressPending() && !m_placement->renumberPending());
    QCOMPARE(m_markers.point(1).x, 40.0);
    QCOMPARE(m_host.refusals, 0);

    // Cancel, then a right click on the same point: only the save command changes.
    m_host.saveEnabled = false;
    click(*m_placement, 40, 10);
    m_placement->mouseDown(B::RightButton, held(B::RightButton), 40, 10);
    m_placement->mouseUp(B::RightButton, held(B::NoButton), 40, 10);
    QVERIFY(m_host.saveEnabled);
    QCOMPARE(m_host.askedNumbers.size(), 2);
    QCOMPARE(m_markers.Count(), 2);
    QCOMPARE(m_markers.ActiveIndex(), -1);
}

void TestPointPlacement::ctrlDeleteThenPlaceAtSameSpot()
{
    m_markers.AddPoint(60, 60);
    m_placement->mouseMove(held(B::NoButton, true), 60, 60);
    click(*m_placement, 60, 60, true, true);
    QCOMPARE(m_markers.Count(), 0);
    click(*m_placement, 60, 60, true, true);
    QCOMPARE(m_markers.Count(), 1);
    QCOMPARE(m_markers.ActiveIndex(), 0);
}

void TestPointPlacement::statusFollowsEnteringOnly()
{
    LocaleGuard locale(QChar('.'));
    m_markers.AddPoint(50.5, 60);
    m_placement->mouseMove(held(B::NoButton), 10, 10);
    QCOMPARE(m_host.panels[3], QStringLiteral("Поставить точку: 10.000 - 10.000    "));
    m_placement->mouseMove(held(B::NoButton), 50, 60);
    QCOMPARE(m_host.panels[3], QStringLiteral("Точка: 50.500 - 60.000    "));
    // Ctrl pressed while staying on the point: the text stays.
    m_placement->mouseMove(held(B::NoButton, true), 51, 61);
    QCOMPARE(m_host.panels[3], QStringLiteral("Точка: 50.500 - 60.000    "));
    QCOMPARE(m_host.panels[0], QStringLiteral("X=51.000"));
    m_placement->mouseMove(held(B::NoButton, true), 100, 100);
    m_placement->mouseMove(held(B::NoButton, true), 50, 60);
    QCOMPARE(m_host.panels[3], QStringLiteral("Удалить точку: 50.500 - 60.000    "));
    // A press with Ctrl on the point shows the delete text too.
    m_placement->mouseMove(held(B::NoButton), 200, 200);
    m_placement->mouseMove(held(B::NoButton), 50, 60);
    m_placement->mouseDown(B::LeftButton, held(B::LeftButton, true), 50, 60);
    QCOMPARE(m_host.panels[3], QStringLiteral("Удалить точку: 50.500 - 60.000    "));
}

void TestPointPlacement::rightButtonHeldBlocksLeft()
{
    m_placement->mouseMove(held(B::NoButton), 30, 30);
    m_placement->mouseDown(B::RightButton, held(B::RightButton), 30, 30);
    m_placement->mouseDown(B::LeftButton, held(B::LeftButton | B::RightButton), 30, 30);
    m_placement->mouseUp(B::LeftButton, held(B::RightButton), 30, 30);
    m_placement->mouseUp(B::RightButton, held(B::NoButton), 30, 30);
    QCOMPARE(m_markers.Count(), 0);

    // Left pressed first, right pressed and let go, then left: the point comes
    // only with the last release.
    m_placement->mouseDown(B::LeftButton, held(B::LeftButton), 30, 30);
    m_placement->mouseDown(B::RightButton, held(B::LeftButton | B::RightButton), 30, 30);
    m_placement->mouseUp(B::RightButton, held(B::LeftButton), 30, 30);
    QCOMPARE(m_markers.Count(), 0);
    m_placement->mouseUp(B::LeftButton, held(B::NoButton), 30, 30);
    QCOMPARE(m_markers.Count(), 1);
}

void TestPointPlacement::magnifierModalPhaseShiftsPoint()
{
    LocaleGuard locale(QChar('.'));
    m_host.lupaShown = true;
    m_host.offsetAfterModal = QPointF(0.4, 0);
    m_placement->mouseMove(held(B::NoButton), 70, 80);
    QCOMPARE(m_host.grabbed, QList<QPoint>{QPoint(70, 80)});
    click(*m_placement, 70, 80);
    QCOMPARE(m_host.modalPhases, 1);
    QCOMPARE(m_markers.point(0).x, 70.4);
    QCOMPARE(m_markers.point(0).y, 80.0);
    // The shift stays for later points and shows in the read-out.
    m_placement->mouseMove(held(B::NoButton), 150, 80);
    QCOMPARE(m_host.panels[0], QStringLiteral("X=150.400"));
    click(*m_placement, 150, 80);
    QCOMPARE(m_markers.point(1).x, 150.4);
    QCOMPARE(m_host.modalPhases, 2);
    // Activating an existing point does not open the modal phase.
    m_placement->mouseMove(held(B::NoButton), 70, 80);
    click(*m_placement, 70, 80, true, false);
    QCOMPARE(m_host.modalPhases, 2);
}

// Esc in the magnifier's modal phase places nothing and leaves the active
// point and the status line as they were.
void TestPointPlacement::magnifierModalPhaseCancelled()
{
    m_markers.AddPoint(10, 10);
    m_markers.SetActive(0);
    m_host.lupaShown = true;
    m_host.modalCancelled = true;
    m_placement->mouseMove(held(B::NoButton), 70, 80);
    click(*m_placement, 70, 80);
    QCOMPARE(m_host.modalPhases, 1);
    QCOMPARE(m_markers.Count(), 1);
    QCOMPARE(m_markers.ActiveIndex(), 0);
    QCOMPARE(m_host.panels[3], QString());
    QVERIFY(!m_placement->pressPending());
}

// The last position is a valid number: the point moves to the end.
void TestPointPlacement::renumberToLastPosition()
{
    for (int i = 1; i <= 4; ++i)
        m_markers.AddPoint(100.0 * i, 50);
    m_host.answers = {{true, QStringLiteral("4")}};
    m_placement->mouseMove(held(B::NoButton), 200, 50);
    click(*m_placement, 200, 50);
    QCOMPARE(m_host.refusals, 0);
    QCOMPARE(m_host.askedNumbers, QList<int>{2});
    QList<double> xs;
    for (int i = 0; i < m_markers.Count(); ++i)
        xs << m_markers.point(i).x;
    QCOMPARE(xs, (QList<double>{100, 300, 400, 200}));
    QCOMPARE(m_markers.HoverIndex(), 3);
}

QTEST_GUILESS_MAIN(TestPointPlacement)
#include "tst_pointplacement.moc"

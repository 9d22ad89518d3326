// The chart's axes: round value steps, ticks on whole image numbers, time
// labels fine enough that no two read the same, and limit lines only on the
// plot the limits watch.
#include "../monitoring/MonitoringRows.h"
#include "ChartFormControls.h"
#include "ChartTicks.h"
#include "DisplacementChartView.h"
#include "MemoryJournal.h"
#include "TDisplacementChartForm.h"

#include <QCheckBox>
#include <QChart>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>

class TestChartAxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void niceSteps_data();
    void niceSteps();
    void timeFormats_data();
    void timeFormats();
    void numberAxisTicksOnWholeImages();
    void limitLinesOnlyOnTheWatchedPlot_data();
    void limitLinesOnlyOnTheWatchedPlot();
};

void TestChartAxes::niceSteps_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("whole");
    QTest::addColumn<int>("decimals");
    QTest::newRow("tiny span of an empty run") << 0.0005 << 0.0001 << 1.0 << 4;
    QTest::newRow("0.3 in three") << 0.3 << 0.05 << 1.0 << 2;
    QTest::newRow("7 over 8 ticks") << 7.0 << 1.0 << 1.0 << 0;
    QTest::newRow("9 over 8 ticks") << 9.0 << 2.0 << 2.0 << 0;
    QTest::newRow("37") << 37.0 << 5.0 << 5.0 << 0;
    QTest::newRow("1000 images") << 1000.0 << 200.0 << 200.0 << 0;
    QTest::newRow("no span") << 0.0 << 1.0 << 1.0 << 0;
}

void TestChartAxes::niceSteps()
{
    QFETCH(double, span);
    QFETCH(double, step);
    QFETCH(double, whole);
    QFETCH(int, decimals);
    QCOMPARE(ChartTicks::niceStep(span, 8), step);
    QCOMPARE(ChartTicks::wholeStep(span, 8), whole);
    QCOMPARE(ChartTicks::decimalsFor(step), decimals);
}

void TestChartAxes::timeFormats_data()
{
    QTest::addColumn<double>("tickMs");
    QTest::addColumn<bool>("severalDays");
    QTest::addColumn<QString>("format");
    QTest::newRow("20 s apart") << 20000.0 << false << "HH:mm:ss";
    QTest::newRow("10 min apart") << 600000.0 << false << "HH:mm";
    QTest::newRow("over midnight") << 600000.0 << true << "dd.MM HH:mm";
    QTest::newRow("seconds over midnight") << 5000.0 << true << "dd.MM HH:mm:ss";
    QTest::newRow("days apart") << 2 * 86400000.0 << true << "dd.MM.yy";
}

void TestChartAxes::timeFormats()
{
    QFETCH(double, tickMs);
    QFETCH(bool, severalDays);
    QFETCH(QString, format);
    QCOMPARE(ChartTicks::timeFormat(tickMs, severalDays), format);
}

static std::unique_ptr<MemoryJournal> journalOf(int images)
{
    auto journal = std::make_unique<MemoryJournal>();
    journal->runList = {TJournalRun{1, "watch", "r1", QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC), {}, images, {}}};
    for (int n = 1; n <= images; ++n)
        journal->rowList += imageRows(n, {{1, true, 0.01 * n, 0.02 * n}});
    return journal;
}

// Image numbers 1..13: ticks at whole numbers (the points sit on their labels)
// and round value steps up the side.
void TestChartAxes::numberAxisTicksOnWholeImages()
{
    TDisplacementChartForm form;
    form.setJournal(journalOf(13));
    form.resize(900, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.showRun(1);
    AxisBox(form)->setCurrentIndex(1);
    auto *x = qobject_cast<QValueAxis *>(form.xAxis());
    QVERIFY(x);
    QCOMPARE(x->tickType(), QValueAxis::TicksDynamic);
    QCOMPARE(x->tickAnchor(), 0.0);
    QCOMPARE(x->tickInterval(), 2.0);
    // Zoomed into three images, the step is one image, never a fraction.
    form.view()->setRanges(4, 6, 0, 1);
    QCOMPARE(x->tickInterval(), 1.0);
    auto *y = qobject_cast<QValueAxis *>(form.view()->yAxis());
    QVERIFY(y);
    const double step = y->tickInterval();
    QCOMPARE(step, ChartTicks::niceStep(y->max() - y->min(), 8));
    // The ends are whole steps, so every label is a round number.
    QCOMPARE(std::remainder(y->min(), step), 0.0);
    QVERIFY(std::abs(std::remainder(y->max(), step)) < 1e-12);
    // The time axis shows seconds when its ticks are less than a minute apart.
    AxisBox(form)->setCurrentIndex(0);
    auto *time = qobject_cast<QDateTimeAxis *>(form.xAxis());
    QVERIFY(time);
    const double start = double(QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
    form.view()->setRanges(start, start + 120000, 0, 1);
    QCOMPARE(time->format(), QStringLiteral("HH:mm:ss"));
    form.view()->setRanges(start, start + 13 * 600000.0, 0, 1);
    QCOMPARE(time->format(), QStringLiteral("HH:mm"));
}

void TestChartAxes::limitLinesOnlyOnTheWatchedPlot_data()
{
    QTest::addColumn<bool>("references");
    QTest::addColumn<int>("component");
    QTest::addColumn<bool>("corrected");
    QTest::addColumn<bool>("lines");
    QTest::newRow("magnitude, no reference zones") << false << 2 << false << true;
    QTest::newRow("dx") << false << 0 << false << false;
    QTest::newRow("dy") << false << 1 << false << false;
    QTest::newRow("corrected magnitude") << true << 2 << true << true;
    QTest::newRow("raw magnitude beside references") << true << 2 << false << false;
}

void TestChartAxes::limitLinesOnlyOnTheWatchedPlot()
{
    QFETCH(bool, references);
    QFETCH(int, component);
    QFETCH(bool, corrected);
    QFETCH(bool, lines);
    MonitoringSettings settings;
    settings.warningLimit = 0.1;
    settings.alarmLimit = 0.2;
    if (references)
        settings.referenceZones = {2};
    TDisplacementChartForm form;
    form.setSettings(settings);
    form.setJournal(journalOf(5));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.showRun(1);
    ComponentBox(form)->setCurrentIndex(component);
    CorrectedBox(form)->setChecked(corrected);
    int limitLines = 0;
    for (QAbstractSeries *series : form.chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(series);
        if (line && line->count() > 0 && line->name().contains(QStringLiteral("предел")))
            ++limitLines;
    }
    QCOMPARE(limitLines, lines ? 2 : 0);
}

QTEST_MAIN(TestChartAxes)
#include "tst_chartaxes.moc"

// Measuring with several jobs: images come back in order whatever order the
// jobs finish them in, a failure is delivered at its own place, the caller can
// stop early (also by an exception), and jobs never run far ahead.

#include "KelvarinError.h"
#include "ParallelMeasuring.h"
#include "TParameters.h"
#include "TPointFinder.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

class TestParallelMeasuring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void inOrderWithFailures_data();
    void inOrderWithFailures();
    void stopsEarly();
    void exceptionInDeliveryJoinsJobs();
};

void TestParallelMeasuring::inOrderWithFailures_data()
{
    QTest::addColumn<int>("jobs");
    QTest::newRow("1") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("5") << 5;
    QTest::newRow("more jobs than images") << 80;
}

void TestParallelMeasuring::inOrderWithFailures()
{
    QFETCH(int, jobs);
    const int count = 40;
    TParameters params;
    QList<TZoneInfo> zones{TZoneInfo(0, 0, 9, 9)};
    zones[0].points << VT_Point(1, 1); // points of the caller are not the jobs' business
    std::atomic<int> delivered{0};
    std::atomic<int> furthestAhead{0};
    std::atomic<bool> sawPoints{false};
    auto measure = [&](TPointFinder &finder, int index) {
        if (!finder.zones().value(0).points.isEmpty())
            sawPoints = true;
        int ahead = index - delivered.load();
        int seen = furthestAhead.load();
        while (ahead > seen && !furthestAhead.compare_exchange_weak(seen, ahead)) {
        }
        // Later images finish first now and then.
        std::this_thread::sleep_for(std::chrono::microseconds((count - index) % 7 * 200));
        if (index % 9 == 4)
            throw KelvarinError(QStringLiteral("image %1").arg(index));
        // As detection does: one point per zone per image, which the job must
        // not keep for the next image (its memory would grow image by image).
        finder.zones()[0].points << VT_Point(index, index);
    };
    QList<int> order;
    QStringList errors;
    auto deliver = [&](int index, const ParallelMeasuring::Image &image) {
        order << index;
        if (!image.error.isEmpty())
            errors << image.error;
        ++delivered;
        return true;
    };
    ParallelMeasuring::run(count, jobs, params, zones, measure, deliver);
    QList<int> expected;
    for (int i = 0; i < count; ++i)
        expected << i;
    QCOMPARE(order, expected);
    QCOMPARE(errors, (QStringList{"image 4", "image 13", "image 22", "image 31"}));
    QVERIFY(!sawPoints);
    QVERIFY2(furthestAhead.load() <= ParallelMeasuring::AheadPerJob * std::min(jobs, count),
             qPrintable(QString::number(furthestAhead.load())));
}

void TestParallelMeasuring::stopsEarly()
{
    TParameters params;
    std::atomic<int> measured{0};
    QList<int> order;
    ParallelMeasuring::run(
        1000, 3, params, {}, [&](TPointFinder &, int) { ++measured; },
        [&](int index, const ParallelMeasuring::Image &) {
            order << index;
            return index < 5;
        });
    QCOMPARE(order, (QList<int>{0, 1, 2, 3, 4, 5}));
    // The jobs stopped within their window, not at the end of the list.
    QVERIFY(measured.load() <= 6 + ParallelMeasuring::AheadPerJob * 3);
}

void TestParallelMeasuring::exceptionInDeliveryJoinsJobs()
{
    TParameters params;
    bool thrown = false;
    try {
        ParallelMeasuring::run(
            100, 2, params, {}, [](TPointFinder &, int) {},
            [](int index, const ParallelMeasuring::Image &) {
                if (index == 3)
                    throw std::runtime_error("disk full");
                return true;
            });
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    // Reaching here at all means the jobs were joined (an unjoined thread aborts).
    QVERIFY(thrown);
}

QTEST_GUILESS_MAIN(TestParallelMeasuring)
#include "tst_parallelmeasuring.moc"

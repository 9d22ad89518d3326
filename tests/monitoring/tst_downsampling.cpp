// Downsampling of long series: what a chart of a given width can show.
#include "Downsampling.h"

#include <QTest>

#include <cmath>

class TestDownsampling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fewPointsKeepEveryGap();
    void rangeTakesOnePointBeyondEachEnd();
    void longSeriesKeepsSpikesAndWideGaps();
    void emptyAndSinglePoint();
};

static const double gap = std::nan("");

static QList<QList<QPointF>> pts(std::initializer_list<std::initializer_list<QPointF>> segments)
{
    QList<QList<QPointF>> result;
    for (const auto &s : segments)
        result << QList<QPointF>(s);
    return result;
}

void TestDownsampling::fewPointsKeepEveryGap()
{
    const QList<double> xs{1, 2, 3, 4, 5, 6};
    const QList<double> ys{1, gap, 3, 4, gap, 6};
    QCOMPARE(Downsampling::segments(xs, ys, 1, 6, 100),
             pts({{QPointF(1, 1)}, {QPointF(3, 3), QPointF(4, 4)}, {QPointF(6, 6)}}));
}

void TestDownsampling::rangeTakesOnePointBeyondEachEnd()
{
    const QList<double> xs{1, 2, 3, 4, 5, 6, 7};
    const QList<double> ys{10, 20, 30, 40, 50, 60, 70};
    QCOMPARE(Downsampling::segments(xs, ys, 3.5, 5.5, 100),
             pts({{QPointF(3, 30), QPointF(4, 40), QPointF(5, 50), QPointF(6, 60)}}));
    QCOMPARE(Downsampling::segments(xs, ys, 8, 9, 100), pts({{QPointF(7, 70)}}));
}

void TestDownsampling::longSeriesKeepsSpikesAndWideGaps()
{
    QList<double> xs;
    QList<double> ys;
    for (int i = 0; i < 100000; ++i) {
        xs << i;
        // Single-image spikes up and down, a single missing image, and a long outage.
        ys << (i == 31234   ? 500.0
               : i == 87654 ? -400.0
               : i == 5000  ? gap
               : (i >= 60000 && i < 70000) ? gap
                                           : std::sin(i / 1000.0));
    }
    const QList<QList<QPointF>> s = Downsampling::segments(xs, ys, 0, 99999, 1000);
    QCOMPARE(s.size(), 2); // only the outage breaks the line
    qsizetype total = 0;
    double highest = -1;
    double lowest = 1;
    for (const auto &segment : s) {
        total += segment.size();
        for (int k = 1; k < segment.size(); ++k)
            QVERIFY(segment.at(k).x() >= segment.at(k - 1).x());
        for (const QPointF &p : segment) {
            highest = std::max(highest, p.y());
            lowest = std::min(lowest, p.y());
        }
    }
    QVERIFY2(total <= 2 * 1002, qPrintable(QString::number(total)));
    QCOMPARE(highest, 500.0);
    QCOMPARE(lowest, -400.0);
    QVERIFY(s.first().last().x() < 60000);
    QVERIFY(s.last().first().x() >= 70000);
}

void TestDownsampling::emptyAndSinglePoint()
{
    QVERIFY(Downsampling::segments({}, {}, 0, 1, 10).isEmpty());
    QCOMPARE(Downsampling::segments({5}, {1}, 5, 5, 10), pts({{QPointF(5, 1)}}));
    QVERIFY(Downsampling::segments({5}, {gap}, 0, 10, 10).isEmpty());
}

QTEST_GUILESS_MAIN(TestDownsampling)
#include "tst_downsampling.moc"

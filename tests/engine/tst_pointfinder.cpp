#include "BmpWriter.h"
#include "KelvarinError.h"
#include "TFinderHost.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records the hooks in order, and answers step dialogs from a script.
struct RecordingHost : TFinderHost
{
    QStringList calls;
    QList<bool> confirmAnswers;
    void ShowImage(bool show) override { calls << QStringLiteral("ShowImage(%1)").arg(show); }
    void HideOverlay() override { calls << QStringLiteral("HideOverlay"); }
    void ShowMask() override { calls << QStringLiteral("ShowMask"); }
    bool ConfirmStep(const QString &text) override
    {
        calls << QStringLiteral("ConfirmStep:") + text;
        return confirmAnswers.isEmpty() ? true : confirmAnswers.takeFirst();
    }
    void ShowNotice(const QString &text) override { calls << QStringLiteral("ShowNotice:") + text; }
    void MarkPoint(int x, int y) override { calls << QStringLiteral("MarkPoint(%1,%2)").arg(x).arg(y); }
    void EndImage() override { calls << QStringLiteral("EndImage"); }
    void DrawZoneOverlay() override { calls << QStringLiteral("DrawZoneOverlay"); }
};

struct NullReporter : TIssueSink
{
    void report(const TIssue &) override {}
};

// An 8-bit grey image whose brightness is exactly the stored index.
struct GreyImage
{
    int width, height;
    QList<quint32> pixels;
    GreyImage(int w, int h, quint32 background = 10) : width(w), height(h), pixels(w * h, background) {}
    void fill(int x1, int y1, int x2, int y2, quint32 value)
    {
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                pixels[y * width + x] = value;
    }
    // Sets `count` pixels of a rectangle, column by column, to a value.
    void fillCount(int x1, int y1, int columnHeight, int count, quint32 value)
    {
        for (int i = 0; i < count; ++i)
            pixels[(y1 + i % columnHeight) * width + x1 + i / columnHeight] = value;
    }
    void save(const QString &path) const
    {
        BmpWriter::Image image;
        image.width = width;
        image.height = height;
        image.bitsPerPixel = 8;
        image.pixels = pixels;
        for (quint32 g = 0; g < 256; ++g)
            image.palette << (g << 16 | g << 8 | g);
        BmpWriter::write(path, image);
    }
};

} // namespace

// Detection: threshold, strict filters, centre of gravity, clipping, steps.
class TestPointFinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void uniformZoneGivesItsCentre();
    void filtersAreStrict_data();
    void filtersAreStrict();
    void pixelAtThresholdIsBackground();
    void threeQuartersOf24BitIsBackground();
    void powerThreshold();
    void clippingAndEmptyZones();
    void overlappingZonesShareTheirRaster();
    void zeroWeightSpotIsNotFound_data();
    void zeroWeightSpotIsNotFound();
    void threeByThreeSpotWeightings_data();
    void threeByThreeSpotWeightings();
    void spotAtZoneEdges_data();
    void spotAtZoneEdges();
    void hooksInOrder();
    void stepByStepCancel();
    void badImageLeavesStateAndZones();
    void recommendThreshold();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    TParameters m_params;
    NullReporter m_reporter;
};

void TestPointFinder::init()
{
    m_params = TParameters();
    m_params.MinSCount = 0;
    m_params.MaxSCount = 100000;
    m_params.AverageYPorog = 0;
}

void TestPointFinder::uniformZoneGivesItsCentre()
{
    // All 250 with the defaults: T = 187.5, the whole zone is the spot.
    GreyImage image(200, 150, 250);
    image.save(path("uniform.bmp"));
    TParameters params; // defaults: 200 < mean, 1000 < S < 3000
    TPointFinder finder(params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(100, 50, 140, 90);
    finder.ProcessImage(path("uniform.bmp"));
    const VT_Point p = finder.zones().first().points.first();
    QCOMPARE(p.x, 120.0);
    QCOMPARE(p.y, 70.0);
    QCOMPARE(finder.SpotMeanSum, 250.0);
}

void TestPointFinder::filtersAreStrict_data()
{
    QTest::addColumn<int>("minS");
    QTest::addColumn<int>("maxS");
    QTest::addColumn<double>("meanLimit");
    QTest::addColumn<bool>("found");
    // The spot: 20 pixels of 200 on a background of 10 (T = 150).
    QTest::newRow("area exactly min") << 20 << 100 << 0.0 << false;
    QTest::newRow("area above min") << 19 << 100 << 0.0 << true;
    QTest::newRow("area exactly max") << 0 << 20 << 0.0 << false;
    QTest::newRow("area below max") << 0 << 21 << 0.0 << true;
    QTest::newRow("mean exactly limit") << 0 << 100 << 200.0 << false;
    QTest::newRow("mean above limit") << 0 << 100 << 199.999 << true;
}

void TestPointFinder::filtersAreStrict()
{
    QFETCH(int, minS);
    QFETCH(int, maxS);
    QFETCH(double, meanLimit);
    QFETCH(bool, found);
    GreyImage image(40, 30);
    image.fillCount(10, 10, 4, 20, 200);
    image.save(path("spot.bmp"));
    m_params.MinSCount = minS;
    m_params.MaxSCount = maxS;
    m_params.AverageYPorog = meanLimit;
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 39, 29);
    finder.ProcessImage(path("spot.bmp"));
    const VT_Point p = finder.zones().first().points.first();
    QCOMPARE(!p.isNotFound(), found);
    if (found) {
        QCOMPARE(p.x, 12.0); // columns 10..14, rows 10..13
        QCOMPARE(p.y, 11.5);
    }
    // A rejected spot still counts toward the calibration sum.
    QCOMPARE(finder.SpotMeanSum, 200.0);
}

void TestPointFinder::pixelAtThresholdIsBackground()
{
    GreyImage image(20, 20, 0);
    image.fill(5, 5, 5, 5, 200);   // M = 200, T = 150
    image.fill(6, 5, 6, 5, 150);   // exactly T: outside
    image.fill(7, 5, 7, 5, 151);   // above T: inside
    image.save(path("edge.bmp"));
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 19, 19);
    finder.ProcessImage(path("edge.bmp"));
    const TPointFinder::SpotMask &mask = finder.mask();
    int area = 0;
    for (quint8 bit : mask.bits)
        area += bit;
    QCOMPARE(area, 2);
    QCOMPARE(finder.zones().first().points.first().x, (5.0 * 200 + 7.0 * 151) / 351.0);
}

void TestPointFinder::threeQuartersOf24BitIsBackground()
{
    // Brightness 240 (sum 720) and 180 (sum 540): 180 is exactly 3/4 of 240.
    BmpWriter::Image image;
    image.width = 4;
    image.height = 1;
    image.pixels = {0xf0f0f0, 0xb4b4b4, 0xb4b4b5, 0x000000};
    BmpWriter::write(path("quarter.bmp"), image);
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 3, 0);
    finder.ProcessImage(path("quarter.bmp"));
    QCOMPARE(finder.mask().bits, (std::vector<quint8>{1, 0, 1, 0}));
}

void TestPointFinder::powerThreshold()
{
    // A = 1, n = 0.5, B = 0, C = 10, M = 100: T = 20.
    GreyImage image(10, 10, 20);
    image.fill(2, 2, 2, 2, 100);
    image.fill(3, 2, 3, 2, 21);
    image.save(path("power.bmp"));
    m_params.Koeff_A = 1;
    m_params.Koeff_n = 0.5;
    m_params.Koeff_B = 0;
    m_params.Koeff_C = 10;
    m_params.Steps = true;
    RecordingHost host;
    TPointFinder finder(m_params, &host, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 9, 9);
    LocaleGuard guard(QLatin1Char(','));
    finder.ProcessImage(path("power.bmp"));
    QVERIFY(host.calls.contains(
        QStringLiteral("ConfirmStep:Порог бинаризации: 20,0000       Максимальная яркость: 100,0000       Площадь: 2")));
}

void TestPointFinder::clippingAndEmptyZones()
{
    GreyImage image(50, 40, 0);
    image.fill(45, 35, 49, 39, 200); // a spot in the bottom right corner
    image.save(path("corner.bmp"));
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(40, 30, 80, 70)     // reaches past the edges
                   << TZoneInfo(100, 100, 120, 120) // wholly outside
                   << TZoneInfo(30, 30, 20, 20)     // swapped corners
                   << TZoneInfo(-10, -10, -1, -1);  // before the origin
    finder.ProcessImage(path("corner.bmp"));
    QCOMPARE(finder.zones()[0].points.first().x, 47.0);
    QCOMPARE(finder.zones()[0].points.first().y, 37.0);
    for (int i = 1; i < 4; ++i)
        QVERIFY(finder.zones()[i].points.first().isNotFound());
}

void TestPointFinder::overlappingZonesShareTheirRaster()
{
    // The zones cover more pixels than the rectangle around them, so they are
    // read once into that rectangle and each scans its own part of it.
    GreyImage image(50, 40, 0);
    image.fill(45, 35, 49, 39, 200);
    image.fill(2, 3, 4, 5, 220);
    image.save(path("overlap.bmp"));
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 49, 39) << TZoneInfo(40, 30, 80, 70) << TZoneInfo(-5, -5, 20, 20)
                   << TZoneInfo(44, 34, 49, 39) << TZoneInfo(60, 0, 70, 10);
    finder.ProcessImage(path("overlap.bmp"));
    // The whole image: both spots are above three quarters of 220.
    const double weight = 9 * 220 + 25 * 200;
    const QList<QPointF> expected = {{(3.0 * 9 * 220 + 47.0 * 25 * 200) / weight, (4.0 * 9 * 220 + 37.0 * 25 * 200) / weight},
                                     {47, 37}, {3, 4}, {47, 37}, {-1, -1}};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(finder.zones()[i].points.first().x, expected[i].x());
        QCOMPARE(finder.zones()[i].points.first().y, expected[i].y());
    }
}

void TestPointFinder::zeroWeightSpotIsNotFound_data()
{
    QTest::addColumn<int>("weighting");
    QTest::addColumn<double>("koeffC");
    // A negative C lets black pixels into the spot: area without brightness.
    QTest::newRow("brightness, black spot") << 0 << -1.0;
    // Above the threshold every spot pixel weighs more than nothing, so only
    // an empty spot that the filters let through has no weight.
    QTest::newRow("above threshold, empty spot") << 1 << 0.0;
}

void TestPointFinder::zeroWeightSpotIsNotFound()
{
    QFETCH(int, weighting);
    QFETCH(double, koeffC);
    GreyImage image(10, 10, 0);
    image.save(path("black.bmp"));
    m_params.Koeff_C = koeffC;
    m_params.AverageYPorog = -1;
    m_params.MinSCount = -1;
    m_params.CentroidWeighting = weighting;
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 9, 9);
    finder.ProcessImage(path("black.bmp"));
    QVERIFY(finder.zones().first().points.first().isNotFound());
    QCOMPARE(finder.lastMeasurements().size(), 1);
    const TZoneMeasurement &m = finder.lastMeasurements().first();
    QCOMPARE(m.rejection, TZoneMeasurement::Rejection::NoWeight);
    QVERIFY(!m.found);
    QCOMPARE(m.x, -1.0);
}

void TestPointFinder::threeByThreeSpotWeightings_data()
{
    QTest::addColumn<int>("weighting");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    // The spot of the test, M = 200 and T = 100: the corners at exactly 100
    // stay outside. Six pixels, weights b or b - 100, sums worked by hand.
    //   (10,21) 120   (11,20) 140   (11,21) 200   (11,22) 160   (12,21) 130   (12,22) 110
    QTest::newRow("brightness") << 0 << 9580.0 / 860 << 18190.0 / 860;
    QTest::newRow("above threshold") << 1 << 2880.0 / 260 << 5490.0 / 260;
}

void TestPointFinder::threeByThreeSpotWeightings()
{
    QFETCH(int, weighting);
    QFETCH(double, x);
    QFETCH(double, y);
    GreyImage image(30, 30, 0);
    const quint32 spot[3][3] = {{100, 140, 100}, {120, 200, 130}, {100, 160, 110}}; // [row][column]
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            image.fill(10 + col, 20 + row, 10 + col, 20 + row, spot[row][col]);
    image.save(path("three.bmp"));
    m_params.Koeff_B = 0.5;
    m_params.CentroidWeighting = weighting;
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(5, 15, 16, 26);
    finder.ProcessImage(path("three.bmp"));
    const VT_Point p = finder.zones().first().points.first();
    QCOMPARE(p.x, x);
    QCOMPARE(p.y, y);
    // The spot and its figures do not depend on the weighting.
    const TZoneMeasurement &m = finder.lastMeasurements().first();
    QCOMPARE(m.area, 6);
    QCOMPARE(m.mean, 860.0 / 6);
    QCOMPARE(m.threshold, 100.0);
    QVERIFY(m.found);
}

// Spot pixels on the first or last row or column of a zone, and far apart:
// the sweep, confined to the rows and columns holding spot pixels, must still
// take every one (24-bit, so both the key maxima and the brightness table are
// at work). A second zone beside it has its own spot.
void TestPointFinder::spotAtZoneEdges_data()
{
    QTest::addColumn<QList<QPoint>>("spot");
    QTest::newRow("left column") << QList<QPoint>{{3, 4}, {3, 5}, {3, 9}};
    QTest::newRow("right column") << QList<QPoint>{{12, 3}, {12, 6}};
    QTest::newRow("top row") << QList<QPoint>{{4, 3}, {11, 3}};
    QTest::newRow("bottom row") << QList<QPoint>{{5, 9}, {6, 9}};
    QTest::newRow("opposite corners") << QList<QPoint>{{3, 3}, {12, 9}};
    QTest::newRow("other corners") << QList<QPoint>{{12, 3}, {3, 9}};
    QTest::newRow("one pixel at the last corner") << QList<QPoint>{{12, 9}};
}

void TestPointFinder::spotAtZoneEdges()
{
    QFETCH(QList<QPoint>, spot);
    BmpWriter::Image image;
    image.width = 24;
    image.height = 12;
    image.pixels = QList<quint32>(24 * 12, 0x101010);
    for (const QPoint &p : spot)
        image.pixels[p.y() * 24 + p.x()] = 0xc8c8c8;
    image.pixels[5 * 24 + 19] = 0xc8c8c8;
    // Just outside the first zone: never part of its spot.
    image.pixels[2 * 24 + 3] = 0xffffff;
    image.pixels[10 * 24 + 12] = 0xffffff;
    image.pixels[6 * 24 + 13] = 0xffffff;
    BmpWriter::write(path("edges.bmp"), image);
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(3, 3, 12, 9) << TZoneInfo(16, 3, 22, 9);
    finder.ProcessImage(path("edges.bmp"));
    double sumX = 0, sumY = 0;
    for (const QPoint &p : spot) {
        sumX += p.x() * 200.0;
        sumY += p.y() * 200.0;
    }
    const double weight = 200.0 * double(spot.size());
    const QList<TZoneMeasurement> &measured = finder.lastMeasurements();
    QCOMPARE(measured.at(0).area, int(spot.size()));
    QCOMPARE(finder.zones().at(0).points.first().x, sumX / weight);
    QCOMPARE(finder.zones().at(0).points.first().y, sumY / weight);
    QCOMPARE(measured.at(1).area, 1);
    QCOMPARE(finder.zones().at(1).points.first().x, 19.0);
}

void TestPointFinder::hooksInOrder()
{
    GreyImage image(30, 30, 0);
    image.fill(10, 10, 12, 12, 200);
    image.save(path("hooks.bmp"));
    RecordingHost host;
    TPointFinder finder(m_params, &host, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 29, 29) << TZoneInfo(20, 20, 29, 29);
    finder.ProcessImage(path("hooks.bmp"));
    QCOMPARE(host.calls, (QStringList{"ShowImage(1)", "DrawZoneOverlay", "HideOverlay", "MarkPoint(11,11)",
                                      "EndImage"}));
    // Later images are shown only with visualisation on.
    host.calls.clear();
    m_params.NeedVisualization = false;
    finder.ProcessImage(path("hooks.bmp"));
    QCOMPARE(host.calls, (QStringList{"ShowImage(0)", "DrawZoneOverlay", "HideOverlay", "MarkPoint(11,11)"}));
    QCOMPARE(finder.zones()[1].points.size(), 2);
}

void TestPointFinder::stepByStepCancel()
{
    GreyImage image(30, 10, 0);
    image.fill(2, 2, 3, 3, 200);
    image.save(path("steps.bmp"));
    m_params.Steps = true;
    RecordingHost host;
    host.confirmAnswers = {true, false};
    TPointFinder finder(m_params, &host, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 9, 9) << TZoneInfo(10, 0, 19, 9) << TZoneInfo(20, 0, 29, 9);
    LocaleGuard guard(QLatin1Char('.'));
    finder.ProcessImage(path("steps.bmp"));
    QCOMPARE(finder.zones()[0].points.size(), 1);
    QCOMPARE(finder.zones()[1].points.size(), 0);
    QCOMPARE(finder.zones()[2].points.size(), 0);
    QVERIFY(finder.StopRequested);
    QVERIFY(!host.calls.contains(QStringLiteral("EndImage")));
    QVERIFY(!host.calls.contains(QStringLiteral("HideOverlay")));
    QCOMPARE(host.calls.filter(QStringLiteral("ShowMask")).size(), 2);
    QVERIFY(host.calls.contains(QStringLiteral("ShowNotice:Координаты центра тяжести: 2.5000   -   2.5000")));
}

void TestPointFinder::badImageLeavesStateAndZones()
{
    GreyImage image(12, 8, 0);
    image.save(path("good.bmp"));
    TestSupport::writeFile(path("bad.bmp"), "BM this is not a bitmap");
    TPointFinder finder(m_params, nullptr, &m_reporter);
    finder.zones() << TZoneInfo(0, 0, 5, 5);
    finder.ProcessImage(path("good.bmp"));
    try {
        finder.ProcessImage(path("bad.bmp"));
        QFAIL("no error");
    } catch (const KelvarinError &error) {
        QVERIFY(error.message().contains(path("bad.bmp")));
    }
    QCOMPARE(finder.width(), 12);
    QCOMPARE(finder.currentImagePath(), path("good.bmp"));
    QCOMPARE(finder.zones().first().points.size(), 1);
    // An empty name does nothing at all.
    finder.LoadImage(QString(), true);
    QCOMPARE(finder.currentImagePath(), path("good.bmp"));
}

void TestPointFinder::recommendThreshold()
{
    TPointFinder finder(m_params, nullptr, &m_reporter);
    QVERIFY_THROWS_EXCEPTION(KelvarinError, finder.RecommendThreshold());
    finder.zones() << TZoneInfo() << TZoneInfo();
    finder.SpotMeanSum = 220 + 240;
    m_params.GlobalAverageYPercent = 0.75;
    // trunc(230 * 0.75) = 172, not 173.
    QCOMPARE(finder.RecommendThreshold(), 172);
    // A percentage no integer threshold can follow is refused, not wrapped.
    m_params.GlobalAverageYPercent = 1e300;
    QVERIFY_THROWS_EXCEPTION(KelvarinError, finder.RecommendThreshold());
}

QTEST_GUILESS_MAIN(TestPointFinder)
#include "tst_pointfinder.moc"

// Threshold calibration without widgets: the recommended value on hand-made
// images, a fresh sum on every call, and the refusals.

#include "BmpWriter.h"
#include "KelvarinError.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "ThresholdCalibration.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// An 8-bit image (brightness is the stored index) with square spots.
QString writeSpots(const QString &path, const QList<QPair<QRect, int>> &spots)
{
    BmpWriter::Image image;
    image.width = 60;
    image.height = 40;
    image.bitsPerPixel = 8;
    image.pixels.fill(10, 60 * 40);
    for (const auto &[rect, value] : spots)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                image.pixels[y * 60 + x] = quint32(value);
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    BmpWriter::write(path, image);
    return path;
}

} // namespace

class TestThresholdCalibration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recommends_data();
    void recommends();
    void refusals();

private:
    QTemporaryDir m_dir;
};

void TestThresholdCalibration::recommends_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("expected");
    // Spot means 200 and 240 (each spot alone above 3/4 of its zone's maximum):
    // their mean 220 times the percentage, cut toward zero.
    QTest::newRow("75 %") << 0.75 << 165;
    QTest::newRow("cut, not rounded") << 0.999 << 219;
    QTest::newRow("100 %") << 1.0 << 220;
}

void TestThresholdCalibration::recommends()
{
    QFETCH(double, percent);
    QFETCH(int, expected);
    const QString image = writeSpots(m_dir.filePath(QStringLiteral("ref.bmp")),
                                     {{QRect(5, 5, 4, 4), 200}, {QRect(40, 20, 3, 3), 240}});
    TParameters params;
    params.GlobalAverageYPercent = percent;
    TPointFinder finder(params, nullptr, nullptr);
    finder.zones() << TZoneInfo(0, 0, 29, 39) << TZoneInfo(30, 0, 59, 39);
    QCOMPARE(ThresholdCalibration::recommend(finder, image), expected);
    // A second calibration starts from nothing again.
    QCOMPARE(ThresholdCalibration::recommend(finder, image), expected);
    // No image chosen: nothing measured, nothing to average.
    QCOMPARE(ThresholdCalibration::recommend(finder, QString()), 0);
}

void TestThresholdCalibration::refusals()
{
    const QString image = writeSpots(m_dir.filePath(QStringLiteral("one.bmp")), {{QRect(5, 5, 4, 4), 200}});
    TParameters params;
    TPointFinder finder(params, nullptr, nullptr);
    QVERIFY_THROWS_EXCEPTION(KelvarinError, ThresholdCalibration::checkZones(finder));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, ThresholdCalibration::recommend(finder, image));
    finder.zones() << TZoneInfo(0, 0, 29, 39);
    ThresholdCalibration::checkZones(finder);
    QVERIFY_THROWS_EXCEPTION(KelvarinError,
                             ThresholdCalibration::recommend(finder, m_dir.filePath(QStringLiteral("none.bmp"))));
    // A percentage edited by hand past any integer.
    params.GlobalAverageYPercent = 1e300;
    QVERIFY_THROWS_EXCEPTION(KelvarinError, ThresholdCalibration::recommend(finder, image));
}

QTEST_GUILESS_MAIN(TestThresholdCalibration)
#include "tst_thresholdcalibration.moc"

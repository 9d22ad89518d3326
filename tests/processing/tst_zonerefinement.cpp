// Zone refinement without widgets: the origins saved are the points found on
// the reference image, the saved file becomes the one in force, and a file
// that cannot be written changes nothing.

#include "BmpWriter.h"
#include "KelvarinError.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "ZoneRefinement.h"

#include <QTemporaryDir>
#include <QtTest>

class TestZoneRefinement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesFoundPointsAsOrigins();
    void refusesTargets_data();
    void refusesTargets();

private:
    // An 8-bit image 60 x 40 on 10 with one square spot of 250 at (5, 5)-(8, 8),
    // whose centre is (6.5, 6.5); the right half has no spot.
    QString referenceImage();
    static void addZones(TPointFinder &finder);
    // Filters that pass the 16-pixel spot and reject a zone lit all over.
    static TParameters spotSettings();

    QTemporaryDir m_dir;
};

QString TestZoneRefinement::referenceImage()
{
    BmpWriter::Image image;
    image.width = 60;
    image.height = 40;
    image.bitsPerPixel = 8;
    image.pixels.fill(10, 60 * 40);
    for (int y = 5; y <= 8; ++y)
        for (int x = 5; x <= 8; ++x)
            image.pixels[y * 60 + x] = 250;
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    const QString path = m_dir.filePath(QStringLiteral("reference.bmp"));
    BmpWriter::write(path, image);
    return path;
}

void TestZoneRefinement::addZones(TPointFinder &finder)
{
    finder.zones() << TZoneInfo(0, 0, 29, 39) << TZoneInfo(30, 0, 59, 39, 44, 20);
}

TParameters TestZoneRefinement::spotSettings()
{
    TParameters settings;
    settings.MinSCount = 5;
    settings.MaxSCount = 500;
    settings.AverageYPorog = 100;
    return settings;
}

void TestZoneRefinement::savesFoundPointsAsOrigins()
{
    TParameters settings = spotSettings();
    settings.ZonesFileName = m_dir.filePath(QStringLiteral("old.zon"));
    TPointFinder finder(settings, nullptr, nullptr);
    addZones(finder);
    ZoneRefinement::measure(finder, referenceImage());
    const QString target = m_dir.filePath(QStringLiteral("refined.zon"));
    QVERIFY(ZoneRefinement::save(finder, settings, target));

    QCOMPARE(settings.ZonesFileName, target);
    QCOMPARE(finder.zones().size(), 2);
    // The found centre is the origin; the zone whose spot was missed keeps
    // none (not even the one it had), and the points found are gone.
    QCOMPARE(finder.zones().at(0).X0, 6.5);
    QCOMPARE(finder.zones().at(0).Y0, 6.5);
    QVERIFY(!finder.zones().at(1).hasOrigin());
    QVERIFY(finder.zones().at(0).points.isEmpty());
    QCOMPARE(finder.zones().at(1).X2, 59.0);

    // No image chosen: nothing measured, the zones are saved without origins.
    TPointFinder bare(settings, nullptr, nullptr);
    bare.zones() << TZoneInfo(0, 0, 29, 39);
    ZoneRefinement::measure(bare, QString());
    QVERIFY(ZoneRefinement::save(bare, settings, target));
    QVERIFY(!bare.zones().at(0).hasOrigin());
}

void TestZoneRefinement::refusesTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("no name") << QString();
    QTest::newRow("missing directory") << QStringLiteral("missing/refined.zon");
    QTest::newRow("a directory") << QStringLiteral("taken");
}

void TestZoneRefinement::refusesTargets()
{
    QFETCH(QString, target);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("taken")));
    if (!target.isEmpty())
        target = m_dir.filePath(target);
    TParameters settings = spotSettings();
    const QString inForce = m_dir.filePath(QStringLiteral("old.zon"));
    settings.ZonesFileName = inForce;
    TPointFinder finder(settings, nullptr, nullptr);
    addZones(finder);
    ZoneRefinement::measure(finder, referenceImage());

    QVERIFY_THROWS_EXCEPTION(KelvarinError, ZoneRefinement::save(finder, settings, target));
    // The zone file in force and the points measured stay for another try.
    QCOMPARE(settings.ZonesFileName, inForce);
    QCOMPARE(finder.zones().at(0).points.size(), 1);
    QCOMPARE(finder.zones().at(1).X0, 44.0);
}

QTEST_GUILESS_MAIN(TestZoneRefinement)
#include "tst_zonerefinement.moc"

// Correction by reference zones, units, limits and the export's columns.
#include "Displacement.h"
#include "DisplacementCsv.h"
#include "DisplacementSeries.h"
#include "IniFile.h"
#include "MonitoringExport.h"
#include "MonitoringRows.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>


class TestDisplacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void correction_data();
    void correction();
    void cameraShakeGivesFlatSeries();
    void seriesAgreesWithEvaluate_data();
    void seriesAgreesWithEvaluate();
    void measuredImageKeepsUncertaintyAndSpots();
    void units_data();
    void units();
    void limits_data();
    void limits();
    void exportColumns();
    void chartCsvKeepsOffsetsAndQuotes();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void settingsRefuseBadValues();
    void zoneList_data();
    void zoneList();
};

static MonitoringSettings referencing(const QList<int> &zones)
{
    MonitoringSettings s;
    s.referenceZones = zones;
    return s;
}

void TestDisplacement::correction_data()
{
    QTest::addColumn<QList<int>>("references");
    QTest::addColumn<QList<ZoneValue>>("zones");
    QTest::addColumn<bool>("hasCorrected");
    QTest::addColumn<double>("dx"); // zone 1, corrected
    QTest::addColumn<double>("dy");

    const QList<ZoneValue> all = {{1, true, 3, -1}, {5, true, 1, 1}, {9, true, 2, -1}};
    QTest::newRow("no references: raw") << QList<int>{} << all << true << 3.0 << -1.0;
    QTest::newRow("mean of two references") << QList<int>{5, 9} << all << true << 1.5 << -1.0;
    QTest::newRow("one reference not found") << QList<int>{5, 9}
                                             << QList<ZoneValue>{{1, true, 3, -1}, {5, false, 0, 0}, {9, true, 2, -1}}
                                             << true << 1.0 << 0.0;
    QTest::newRow("all references missing")
        << QList<int>{5, 9} << QList<ZoneValue>{{1, true, 3, -1}, {5, false, 0, 0}, {9, false, 0, 0}} << false
        << 0.0 << 0.0;
    QTest::newRow("reference without origin is not used")
        << QList<int>{5, 9} << QList<ZoneValue>{{1, true, 3, -1}, {5, true, 1, 1, false}, {9, true, 2, -1}} << true
        << 1.0 << 0.0;
    QTest::newRow("reference zone not in the zone file") << QList<int>{12} << all << false << 0.0 << 0.0;
}

void TestDisplacement::correction()
{
    QFETCH(QList<int>, references);
    QFETCH(QList<ZoneValue>, zones);
    QFETCH(bool, hasCorrected);
    // The image among others, whose references must not leak into it.
    QList<TJournalRow> rows = imageRows(1, {{1, true, 50, 50}, {5, true, 40, 40}, {9, true, 30, 30}});
    rows += imageRows(2, zones);
    rows += imageRows(2, {{5, true, 70, 70}}, 2); // another run, same image number
    const QList<DisplacementPoint> points = Displacement::evaluate(rows, referencing(references));
    QCOMPARE(points.size(), rows.size());
    const DisplacementPoint &p = points.at(3);
    QCOMPARE(p.zone, 1);
    QCOMPARE(p.number, 2);
    QCOMPARE(p.hasCorrected, hasCorrected);
    QCOMPARE(p.dx, 3.0);
    if (hasCorrected) {
        QTEST(p.dxCorrected, "dx");
        QTEST(p.dyCorrected, "dy");
    }
    double value = 0;
    QCOMPARE(p.value(DisplacementComponent::Dx, true, &value), hasCorrected);
    QVERIFY(p.value(DisplacementComponent::Dx, false, &value));
    QCOMPARE(value, 3.0);
}

// The camera moves: every target jumps by the same amount in some images.
// The corrected series of the monitored zones must stay where they were.
void TestDisplacement::cameraShakeGivesFlatSeries()
{
    QList<TJournalRow> rows;
    for (int n = 1; n <= 40; ++n) {
        const double sx = (n % 7 == 0) ? 12.5 : (n % 5 == 0 ? -8.25 : 0.0);
        const double sy = (n % 7 == 0) ? -3.0 : (n % 3 == 0 ? 6.0 : 0.0);
        rows += imageRows(n, {{1, true, 0.5 + sx, 0.25 + sy}, {2, true, -1 + sx, 2 + sy}, {3, true, sx, sy},
                              {4, n % 4 != 0, 0.1 + sx, -0.1 + sy}});
    }
    MonitoringSettings settings = referencing({3, 4});
    settings.warningLimit = 1;
    for (const DisplacementPoint &p : Displacement::evaluate(rows, settings)) {
        if (p.zone != 1)
            continue;
        double dx = 0, dy = 0, m = 0;
        QVERIFY(p.value(DisplacementComponent::Dx, true, &dx));
        QVERIFY(p.value(DisplacementComponent::Dy, true, &dy));
        // Zone 4 (0.1, -0.1 off the camera) is missing in every fourth image.
        const bool both = p.number % 4 != 0;
        QCOMPARE(dx, both ? 0.5 - 0.05 : 0.5);
        QCOMPARE(dy, both ? 0.25 + 0.05 : 0.25);
        QVERIFY(Displacement::monitoredMagnitude(p, settings, &m));
        QCOMPARE(Displacement::levelOf(m, 1, settings), LimitLevel::None);
    }
}

// The chart's series keeps its values in arrays and corrects them its own
// way; whatever way the images reach it, every value must be the one the
// pure functions give.
void TestDisplacement::seriesAgreesWithEvaluate_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QList<int>>("references");
    for (const char *how : {"whole", "image by image", "settings after", "image replaced"}) {
        QTest::addRow("%s, no references", how) << QString::fromLatin1(how) << QList<int>{};
        QTest::addRow("%s, references 3 and 4", how) << QString::fromLatin1(how) << QList<int>{3, 4, 3};
    }
}

void TestDisplacement::seriesAgreesWithEvaluate()
{
    QFETCH(QString, how);
    QFETCH(QList<int>, references);
    MonitoringSettings settings = referencing(references);
    settings.pixelSize = 0.5;
    settings.zonePixelSizes.insert(2, 0.25);
    QList<QList<TJournalRow>> images;
    QList<TRecordedImage> records; // the same images as a run hands them over
    for (int n = 1; n <= 30; ++n) {
        const double shake = n % 7 == 0 ? 4.5 : 0.0;
        // Zone 4 missing now and then, zone 3 without an origin in one image,
        // zone 5 only in the later images.
        QList<ZoneValue> zones{{1, true, 0.5 + shake + n / 10.0, -0.25}, {2, n % 9 != 0, -1 + shake, 2 - n / 20.0},
                               {3, true, shake, -shake, n != 11}, {4, n % 4 != 0, 0.1 + shake, -0.1}};
        if (n > 20)
            zones.append({5, true, shake + 3, 1});
        images << imageRows(n, zones);
        records << imageRecord(n, zones);
    }
    QList<TJournalRow> rows;
    for (const auto &image : images)
        rows += image;

    DisplacementSeries series;
    series.setSettings(how == QLatin1String("settings after") ? MonitoringSettings() : settings);
    if (how == QLatin1String("image by image")) {
        for (const TRecordedImage &image : records)
            series.addImage(image);
    } else if (how == QLatin1String("image replaced")) {
        // Image 7 first with other values, then as the journal has it.
        TRecordedImage wrong = records.at(6);
        for (TZoneMeasurement &zone : wrong.zones)
            zone.dx += 100;
        series.addImage(wrong);
        const quint64 revision = series.revision();
        series.addDisplacements(TJournalDisplacements::fromRows(rows));
        QVERIFY(series.revision() != revision);
    } else {
        series.addDisplacements(TJournalDisplacements::fromRows(rows));
    }
    if (how == QLatin1String("settings after"))
        series.setSettings(settings);

    QCOMPARE(series.imageCount(), 30);
    QCOMPARE(series.zones(), (QList<int>{1, 2, 3, 4, 5}));
    QHash<int, int> indexOfNumber;
    for (int i = 0; i < series.imageCount(); ++i)
        indexOfNumber.insert(series.image(i).number, i);
    // A measured image's points, as the watch's monitoring evaluates them.
    QHash<QPair<int, int>, DisplacementPoint> live;
    for (const TRecordedImage &image : records) {
        for (const DisplacementPoint &p : Displacement::evaluate(image, settings))
            live.insert({p.number, p.zone}, p);
    }
    for (const DisplacementPoint &p : Displacement::evaluate(rows, settings)) {
        const DisplacementPoint measured = live.value({p.number, p.zone});
        QCOMPARE(measured.valid, p.valid);
        QCOMPARE(measured.hasCorrected, p.hasCorrected);
        QCOMPARE(measured.dxCorrected, p.dxCorrected);
        QCOMPARE(measured.dyCorrected, p.dyCorrected);
        QCOMPARE(measured.imageTime, p.imageTime);
        for (const bool corrected : {false, true}) {
            for (const auto part : {DisplacementComponent::Dx, DisplacementComponent::Dy, DisplacementComponent::Magnitude}) {
                double expected = 0;
                double actual = 0;
                const bool has = p.value(part, corrected, &expected);
                const QByteArray where = QStringLiteral("image %1 zone %2 corrected %3 component %4")
                                             .arg(p.number).arg(p.zone).arg(corrected).arg(int(part)).toLatin1();
                QVERIFY2(series.value(p.zone, indexOfNumber.value(p.number), part, corrected, &actual) == has, where);
                if (has)
                    QVERIFY2(qFuzzyCompare(1 + actual, 1 + expected), where);
            }
        }
    }
    // Zone 5 has no value in the images before it was added.
    double none = 0;
    QVERIFY(!series.value(5, indexOfNumber.value(3), DisplacementComponent::Dx, false, &none));
}

// A watch hands the chart each image as it is measured: the point's
// uncertainty and spot count must reach the tool tip and the band then too,
// not only once the run is read back from the journal.
void TestDisplacement::measuredImageKeepsUncertaintyAndSpots()
{
    MonitoringSettings settings;
    settings.pixelSize = 0.5;
    DisplacementSeries series;
    series.setSettings(settings);
    TRecordedImage image = imageRecord(1, {{1, true, 0.5, -0.25}, {2, false, 0, 0}, {3, true, 1, 1}});
    image.zones[0].sx = 0.02;
    image.zones[0].sy = 0.04;
    image.zones[0].spots = 2;
    image.zones[2].sx = 0.01;
    image.zones[2].sy = 0.01;
    series.addImage(image);
    double u = 0;
    QVERIFY(series.uncertainty(1, 0, DisplacementComponent::Dx, false, &u));
    QCOMPARE(u, double(float(0.02)) * 0.5);
    QVERIFY(series.uncertainty(1, 0, DisplacementComponent::Dy, false, &u));
    QCOMPARE(u, double(float(0.04)) * 0.5);
    QVERIFY(!series.uncertainty(2, 0, DisplacementComponent::Dx, false, &u)); // not found
    QCOMPARE(series.spots(1, 0), 2);
    QCOMPARE(series.spots(3, 0), -1); // 0: spots were not counted
}

void TestDisplacement::units_data()
{
    QTest::addColumn<double>("pixelSize");
    QTest::addColumn<double>("zonePixelSize"); // for zone 3, 0: none
    QTest::addColumn<int>("zone");
    QTest::addColumn<bool>("millimetres");
    QTest::addColumn<double>("magnitude");

    QTest::newRow("pixels") << 0.0 << 0.0 << 1 << false << 5.0;
    QTest::newRow("one size for all") << 0.5 << 0.0 << 1 << true << 2.5;
    QTest::newRow("zone at another distance") << 0.5 << 2.0 << 3 << true << 10.0;
    QTest::newRow("other zones keep the general size") << 0.5 << 2.0 << 1 << true << 2.5;
    QTest::newRow("zone size without general size") << 0.0 << 2.0 << 3 << true << 10.0;
    QTest::newRow("only another zone has a size") << 0.0 << 2.0 << 1 << false << 5.0;
}

void TestDisplacement::units()
{
    QFETCH(double, pixelSize);
    QFETCH(double, zonePixelSize);
    QFETCH(int, zone);
    MonitoringSettings s;
    s.pixelSize = pixelSize;
    if (zonePixelSize > 0)
        s.zonePixelSizes.insert(3, zonePixelSize);
    const QList<DisplacementPoint> points = Displacement::evaluate(imageRows(1, {{zone, true, 3, -4}}), s);
    QTEST(points.first().inMillimetres(), "millimetres");
    double m = 0;
    QVERIFY(Displacement::monitoredMagnitude(points.first(), s, &m));
    QTEST(m, "magnitude");
}

void TestDisplacement::limits_data()
{
    QTest::addColumn<double>("magnitude");
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("level");

    // Warning 1, alarm 2; zone 3 alarms from 5 on, zone 4 warns from 0.5 on.
    QTest::newRow("below") << 0.99 << 1 << int(LimitLevel::None);
    QTest::newRow("at the warning limit is not past it") << 1.0 << 1 << int(LimitLevel::None);
    QTest::newRow("past warning") << 1.01 << 1 << int(LimitLevel::Warning);
    QTest::newRow("at the alarm limit") << 2.0 << 1 << int(LimitLevel::Warning);
    QTest::newRow("past alarm") << 2.01 << 1 << int(LimitLevel::Alarm);
    QTest::newRow("zone override keeps warning") << 4.0 << 3 << int(LimitLevel::Warning);
    QTest::newRow("zone override alarm") << 5.5 << 3 << int(LimitLevel::Alarm);
    QTest::newRow("zone warning override") << 0.6 << 4 << int(LimitLevel::Warning);
}

void TestDisplacement::limits()
{
    QFETCH(double, magnitude);
    QFETCH(int, zone);
    MonitoringSettings s;
    s.warningLimit = 1;
    s.alarmLimit = 2;
    s.zoneAlarmLimits.insert(3, 5);
    s.zoneWarningLimits.insert(4, 0.5);
    QTEST(int(Displacement::levelOf(magnitude, zone, s)), "level");
    // Without limits nothing is ever passed.
    QCOMPARE(Displacement::levelOf(magnitude, zone, MonitoringSettings()), LimitLevel::None);
}

void TestDisplacement::exportColumns()
{
    QCOMPARE(MonitoringExport::header().join(QLatin1Char(',')), QStringLiteral("dx_corrected,dy_corrected,dx_mm,dy_mm"));
    const QList<TJournalRow> rows = imageRows(1, {{1, true, 3, -1}, {2, false, 0, 0}, {3, true, 1, 1, false},
                                                  {5, true, 1, 1}})
        + imageRows(2, {{1, true, 3, -1}, {5, false, 0, 0}});
    MonitoringSettings s = referencing({5});
    s.pixelSize = 0.5;
    const QList<QStringList> c = MonitoringExport::columns(rows, s);
    QCOMPARE(c.size(), rows.size());
    QCOMPARE(c.at(0), (QStringList{"2.0000", "-2.0000", "1.0000", "-1.0000"}));
    QCOMPARE(c.at(1), (QStringList{"", "", "", ""})); // not found
    QCOMPARE(c.at(2), (QStringList{"", "", "", ""})); // no origin
    QCOMPARE(c.at(3), (QStringList{"0.0000", "0.0000", "0.0000", "0.0000"}));
    QCOMPARE(c.at(4), (QStringList{"", "", "", ""})); // reference missing in the image
    // Without references: corrected is raw; without a pixel size no millimetres.
    const QList<QStringList> raw = MonitoringExport::columns(rows, MonitoringSettings());
    QCOMPARE(raw.at(0), (QStringList{"3.0000", "-1.0000", "", ""}));
    QCOMPARE(raw.at(4), (QStringList{"3.0000", "-1.0000", "", ""}));
}

// The chart's CSV: an image taken at +03:00 keeps its offset (as the
// journal's export writes it), a name with a comma or a quote is one field.
void TestDisplacement::chartCsvKeepsOffsetsAndQuotes()
{
    QList<TJournalRow> rows = imageRows(1, {{1, true, 3, 4}});
    rows += imageRows(2, {{1, true, 0, 1}});
    rows[0].image = QStringLiteral("cam,1 \"west\".bmp");
    rows[1].imageTime = QDateTime(QDate(2026, 5, 1), QTime(15, 20, 0, 250), Qt::OffsetFromUTC, 3 * 3600);
    DisplacementSeries series;
    series.addDisplacements(TJournalDisplacements::fromRows(rows));
    QCOMPARE(DisplacementCsv::table(series, {0, 1}, {1}, DisplacementComponent::Dy, false),
             QByteArray("number,image,time,zone1_dy_px\r\n"
                        "1,\"cam,1 \"\"west\"\".bmp\",2026-05-01T12:10:00.000+00:00,4.0000\r\n"
                        "2,img0002.bmp,2026-05-01T15:20:00.250+03:00,1.0000\r\n"));
}

void TestDisplacement::settingsRoundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow(".") << QChar('.');
    QTest::newRow(",") << QChar(',');
}

void TestDisplacement::settingsRoundTrip()
{
    QFETCH(QChar, separator);
    LocaleGuard guard(separator);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kelvarin2.ini"));
    TestSupport::writeFile(path, "[Parameters]\nStartStyle=3\nAlarmLimit_7=9\n[Other]\nA=1\n");
    MonitoringSettings s;
    s.referenceZones = {5, 9};
    s.pixelSize = 0.25;
    s.zonePixelSizes = {{3, 1.5}};
    s.warningLimit = 1.5;
    s.alarmLimit = 3;
    s.zoneAlarmLimits = {{2, 4.5}};
    s.alarmCommand = QStringLiteral("/usr/bin/notify \"zone {zone}\" {level}");
    IniFile ini(path);
    QVERIFY(s.write(ini));
    const QByteArray text = TestSupport::readFile(path);
    const QByteArray expected = QByteArray("[Parameters]\nStartStyle=3\nAlarmLimit_7=\nReferenceZones=5,9\nPixelSize=0")
        + char(separator.toLatin1()) + "25\nWarningLimit=1" + char(separator.toLatin1())
        + "5\nAlarmLimit=3\nAlarmCommand=/usr/bin/notify \"zone {zone}\" {level}\nPixelSize_3=1"
        + char(separator.toLatin1()) + "5\nAlarmLimit_2=4" + char(separator.toLatin1()) + "5\n[Other]\nA=1\n";
    QCOMPARE(text, expected);
    QStringList problems;
    QCOMPARE(MonitoringSettings::readFile(path, &problems), s);
    QVERIFY(problems.isEmpty());
    {
        // The file read by a service that runs under the other locale.
        LocaleGuard other(separator == QLatin1Char('.') ? QChar(',') : QChar('.'));
        QCOMPARE(MonitoringSettings::readFile(path, &problems), s);
        QVERIFY(problems.isEmpty());
    }
    // A command quoted at both ends reads back as it was written.
    s.alarmCommand = QStringLiteral("\"/opt/my tools/notify\" {zone} \"{image}\"");
    QVERIFY(s.write(ini));
    QCOMPARE(MonitoringSettings::readFile(path).alarmCommand, s.alarmCommand);
}

void TestDisplacement::settingsRefuseBadValues()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kelvarin2.ini"));
    TestSupport::writeFile(path, "[Parameters]\nReferenceZones=5,x\nPixelSize=-1\nWarningLimit=abc\nAlarmLimit=2\n"
                                 "AlarmLimit_3=\nAlarmLimit_0=4\nAlarmLimit_x=4\nPixelSize_4=q\nwarninglimit_6=1\n");
    QStringList problems;
    const MonitoringSettings s = MonitoringSettings::readFile(path, &problems);
    QVERIFY(s.referenceZones.isEmpty());
    QCOMPARE(s.pixelSize, 0.0);
    QCOMPARE(s.warningLimit, 0.0);
    QCOMPARE(s.alarmLimit, 2.0);
    QVERIFY(s.zoneAlarmLimits.isEmpty());
    QVERIFY(s.zonePixelSizes.isEmpty());
    QCOMPARE(s.zoneWarningLimits, (QMap<int, double>{{6, 1.0}}));
    QCOMPARE(problems, (QStringList{"ReferenceZones (строка 2)", "PixelSize (строка 3)", "WarningLimit (строка 4)",
                                    "PixelSize_4 (строка 9)"}));
}

void TestDisplacement::zoneList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("zones");
    QTest::newRow("empty") << "" << true << QList<int>{};
    QTest::newRow("comma") << "5,9" << true << QList<int>{5, 9};
    QTest::newRow("blanks and semicolons") << " 5 ; 9  12" << true << QList<int>{5, 9, 12};
    QTest::newRow("repeated") << "5,5" << true << QList<int>{5};
    QTest::newRow("zero") << "0,5" << false << QList<int>{};
    QTest::newRow("negative") << "-5" << false << QList<int>{};
    QTest::newRow("decimal") << "5.5" << false << QList<int>{};
    QTest::newRow("word") << "5,a" << false << QList<int>{};
}

void TestDisplacement::zoneList()
{
    QFETCH(QString, text);
    QList<int> zones{77};
    QTEST(MonitoringSettings::parseZoneList(text, &zones), "ok");
    QTEST(zones, "zones");
}

QTEST_GUILESS_MAIN(TestDisplacement)
#include "tst_displacement.moc"

// The settings page's texts: numbers in the user's locale, zones checked
// against the zone file, limits in order.
#include "MonitoringTexts.h"
#include "TestSupport.h"

#include <QTest>

class TestMonitoringTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
};

void TestMonitoringTexts::roundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow(".") << QChar('.');
    QTest::newRow(",") << QChar(',');
}

void TestMonitoringTexts::roundTrip()
{
    QFETCH(QChar, separator);
    LocaleGuard guard(separator);
    MonitoringSettings s;
    s.referenceZones = {5, 9};
    s.pixelSize = 0.125;
    s.zonePixelSizes = {{3, 1.5}};
    s.warningLimit = 2.5;
    s.alarmLimit = 5;
    s.zoneAlarmLimits = {{2, 7.5}};
    s.zoneWarningLimits = {{2, 0.75}};
    s.alarmCommand = QStringLiteral("notify {zone}");
    const MonitoringTexts t = MonitoringTexts::fromSettings(s);
    QCOMPARE(t.pixelSize, QString("0") + separator + "125");
    QCOMPARE(t.zones.value(2).warningLimit, QString("0") + separator + "75");
    QCOMPARE(t.referenceZones, QStringLiteral("5,9"));
    MonitoringSettings back;
    QString error;
    QVERIFY2(t.toSettings(9, &back, &error), qPrintable(error));
    QCOMPARE(back, s);
}

void TestMonitoringTexts::refused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("reference zone beyond the zone file")
        << "references" << "2,9" << "Опорные зоны: зоны 9 нет в файле зон (зон в нем: 8)";
    QTest::newRow("reference list garbage") << "references" << "2;x"
                                            << "Опорные зоны: \"2;x\" - нужны номера зон через запятую";
    QTest::newRow("pixel size not a number") << "pixel" << "abc" << "Размер пикселя: \"abc\" не является числом";
    QTest::newRow("both separators") << "pixel" << "0,5.1" << "Размер пикселя: \"0,5.1\" не является числом";
    QTest::newRow("negative limit") << "alarm" << "-1" << "Аварийный предел: \"-1\" - число меньше нуля";
    QTest::newRow("warning not below alarm") << "warning" << "9"
                                             << "Пределы: предупредительный предел должен быть меньше аварийного";
    QTest::newRow("zone override beyond the zone file") << "zone9" << "3" << "Зона 9: зоны 9 нет в файле зон (зон в нем: 8)";
    QTest::newRow("zone override below the general warning") << "zone2" << "1"
                                                             << "Зона 2: предупредительный предел должен быть меньше аварийного";
}

void TestMonitoringTexts::refused()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    MonitoringTexts t;
    t.warningLimit = QStringLiteral("2");
    t.alarmLimit = QStringLiteral("4");
    if (field == "references")
        t.referenceZones = text;
    else if (field == "pixel")
        t.pixelSize = text;
    else if (field == "alarm")
        t.alarmLimit = text;
    else if (field == "warning")
        t.warningLimit = text;
    else if (field == "zone9")
        t.zones[9].alarmLimit = text;
    else if (field == "zone2")
        t.zones[2].alarmLimit = text;
    MonitoringSettings s;
    s.alarmLimit = 77;
    QString error;
    QVERIFY(!t.toSettings(8, &s, &error));
    QTEST(error, "error");
    QCOMPARE(s.alarmLimit, 77.0); // nothing taken over
    // A zone file that cannot be read does not refuse zone numbers.
    if (field.startsWith("zone9") || text == "2,9")
        QVERIFY(t.toSettings(-1, &s, &error));
}

QTEST_GUILESS_MAIN(TestMonitoringTexts)
#include "tst_monitoringtexts.moc"

// A station's state as Prometheus reads it: the samples of a station in
// alarm, units converted, what is unknown left out, labels escaped, and
// promtool's own verdict on the text.

#include "MonitoringRows.h"
#include "PrometheusMetrics.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TestPrometheusMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stationInAlarm();
    void correctedByReferenceZones();
    void unknownFiguresLeftOut();
    void labelsEscaped_data();
    void labelsEscaped();
    void numbers_data();
    void numbers();

private:
    // Limits of 1 mm (warning) and 2 mm (alarm), 0.5 mm per pixel; zone 3 in pixels.
    static MonitoringSettings limits()
    {
        MonitoringSettings settings;
        settings.pixelSize = 0.5;
        settings.zonePixelSizes.insert(3, 0);
        settings.warningLimit = 1;
        settings.alarmLimit = 2;
        settings.zoneWarningLimits.insert(3, 10);
        settings.zoneAlarmLimits.insert(3, 20);
        return settings;
    }
    static QStringList samples(const QByteArray &text)
    {
        QStringList lines;
        for (const QString &line : QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith('#'))
                lines << line;
        }
        return lines;
    }
    static void verifyWithPromtool(const QByteArray &text)
    {
        const QString promtool = QStandardPaths::findExecutable("promtool");
        if (promtool.isEmpty())
            return;
        QProcess process;
        process.start(promtool, {"check", "metrics"});
        process.write(text);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(30000));
        const QByteArray said = process.readAllStandardOutput() + process.readAllStandardError();
        QVERIFY2(process.exitCode() == 0, said.constData());
    }
};

// Zone 1 past the alarm limit (3 and 4 px, 5 px = 2.5 mm in all), zone 2
// quiet, zone 3 in pixels past its warning limit, zone 4 not found: limit
// state 2, 0, 1 and none.
void TestPrometheusMetrics::stationInAlarm()
{
    PrometheusMetrics::Station station;
    station.name = "pier-7";
    station.lastImage = QDateTime::fromMSecsSinceEpoch(1780000000250, Qt::UTC);
    station.processed = 120;
    station.setAside = 2;
    station.waitingForJournal = 0;
    station.lastImageRows = imageRows(120, {{1, true, 3, 4}, {2, true, 0.5, 0}, {3, true, 12, 0}, {4, false, 0, 0}});
    const QByteArray text = PrometheusMetrics::format(station, limits());
    const QStringList lines = samples(text);
    const QString s = "{station=\"pier-7\"";
    const QStringList wanted = {
             "kelvarin2_last_image_timestamp_seconds" + s + "} 1780000000.25",
             "kelvarin2_images_processed_total" + s + "} 120",
             "kelvarin2_images_set_aside_total" + s + "} 2",
             "kelvarin2_images_waiting_for_journal" + s + "} 0",
             "kelvarin2_zone_found" + s + ",zone=\"1\"} 1",
             "kelvarin2_zone_found" + s + ",zone=\"4\"} 0",
             "kelvarin2_zone_displacement_pixels" + s + ",zone=\"1\",axis=\"x\",correction=\"raw\"} 3",
             "kelvarin2_zone_displacement_pixels" + s + ",zone=\"1\",axis=\"magnitude\",correction=\"raw\"} 5",
             "kelvarin2_zone_displacement_meters" + s + ",zone=\"1\",axis=\"y\",correction=\"raw\"} 0.002",
             "kelvarin2_zone_displacement_meters" + s + ",zone=\"1\",axis=\"magnitude\",correction=\"corrected\"} 0.0025",
             "kelvarin2_zone_limit_state" + s + ",zone=\"1\"} 2",
             "kelvarin2_zone_limit_state" + s + ",zone=\"2\"} 0",
             "kelvarin2_zone_limit_state" + s + ",zone=\"3\"} 1",
    };
    for (const QString &expected : wanted)
        QVERIFY2(lines.contains(expected), qPrintable(expected + "\n---\n" + text));
    // Zone 3 has no pixel size: no metres; zone 4 was not found: nothing but found.
    QCOMPARE(lines.filter(",zone=\"3\"").filter("_meters").size(), 0);
    QCOMPARE(lines.filter(",zone=\"4\"").size(), 1);
    // Each family is announced once, before its samples.
    QCOMPARE(QString::fromUtf8(text).count("# TYPE kelvarin2_zone_limit_state gauge\n"), 1);
    QVERIFY(text.indexOf("# TYPE kelvarin2_zone_found") < text.indexOf("kelvarin2_zone_found{"));
    verifyWithPromtool(text);
}

// With a reference zone the corrected values subtract its displacement; an
// image without a usable reference zone has raw values only.
void TestPrometheusMetrics::correctedByReferenceZones()
{
    MonitoringSettings settings;
    settings.referenceZones = {2};
    PrometheusMetrics::Station station;
    station.name = "s";
    station.lastImageRows = imageRows(1, {{1, true, 3, 1}, {2, true, 1, 1}});
    QStringList lines = samples(PrometheusMetrics::format(station, settings));
    QVERIFY(lines.contains("kelvarin2_zone_displacement_pixels{station=\"s\",zone=\"1\",axis=\"x\",correction=\"corrected\"} 2"));
    QVERIFY(lines.contains("kelvarin2_zone_displacement_pixels{station=\"s\",zone=\"1\",axis=\"y\",correction=\"corrected\"} 0"));
    station.lastImageRows = imageRows(1, {{1, true, 3, 1}, {2, false, 0, 0}});
    lines = samples(PrometheusMetrics::format(station, settings));
    QVERIFY(lines.contains("kelvarin2_zone_displacement_pixels{station=\"s\",zone=\"1\",axis=\"x\",correction=\"raw\"} 3"));
    QCOMPARE(lines.filter("corrected").size(), 0);
    // The limit state follows the corrected value, which is missing here.
    QCOMPARE(lines.filter("limit_state").size(), 0);
}

// What the caller does not know is not claimed: no counts, no image, no
// origin give no samples and no empty families.
void TestPrometheusMetrics::unknownFiguresLeftOut()
{
    PrometheusMetrics::Station station;
    station.name = "s";
    QCOMPARE(PrometheusMetrics::format(station, limits()), QByteArray());
    station.processed = 0;
    station.lastImageRows = imageRows(1, {{1, true, 3, 1, false}});
    const QByteArray text = PrometheusMetrics::format(station, limits());
    QCOMPARE(samples(text), QStringList({"kelvarin2_images_processed_total{station=\"s\"} 0",
                                         "kelvarin2_zone_found{station=\"s\",zone=\"1\"} 1"}));
    QVERIFY(!text.contains("set_aside"));
    verifyWithPromtool(text);
}

void TestPrometheusMetrics::labelsEscaped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    QTest::newRow("plain") << "pier-7" << "pier-7";
    QTest::newRow("quote") << "a\"b" << "a\\\"b";
    QTest::newRow("backslash") << "c:\\st" << "c:\\\\st";
    QTest::newRow("line feed") << "a\nb" << "a\\nb";
    QTest::newRow("Cyrillic stays") << "Мост" << "Мост";
}

void TestPrometheusMetrics::labelsEscaped()
{
    QFETCH(QString, name);
    QFETCH(QString, label);
    QCOMPARE(PrometheusMetrics::labelValue(name), label);
    PrometheusMetrics::Station station;
    station.name = name;
    station.processed = 1;
    const QByteArray text = PrometheusMetrics::format(station, {});
    QVERIFY(text.contains(QByteArray("{station=\"" + label.toUtf8() + "\"} 1\n")));
    verifyWithPromtool(text);
}

void TestPrometheusMetrics::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 120.0 << "120";
    QTest::newRow("fraction") << 0.1 << "0.1";
    QTest::newRow("negative") << -2.5 << "-2.5";
    QTest::newRow("small") << 1.5e-7 << "1.5e-07";
    QTest::newRow("large") << 1780000000.25 << "1780000000.25";
    QTest::newRow("not a number") << qQNaN() << "NaN";
    QTest::newRow("infinite") << -qInf() << "-Inf";
}

// Always "." (the tests also run under a "," locale).
void TestPrometheusMetrics::numbers()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(PrometheusMetrics::number(value), text);
}

QTEST_GUILESS_MAIN(TestPrometheusMetrics)
#include "tst_prometheusmetrics.moc"

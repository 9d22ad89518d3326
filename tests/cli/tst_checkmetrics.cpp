// `check --format prometheus`: the state of the journal's latest run in the
// Prometheus text format, a station in alarm reading 2 (and accepted by
// promtool), and what cannot be read told as a comment with status 3.
#include "WatchStation.h"

#include <QtTest>

class TestCheckMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stationInAlarm();
    void cannotTell_data();
    void cannotTell();
};

// Zone 1's origin 4 px away from its spot (alarm above 2 px), zone 2's at its
// spot: limit states 2 and 0 for the run's last image.
void TestCheckMetrics::stationInAlarm()
{
    WatchStation station;
    TestSupport::writeFile(station.zones, "0;0;19;31;0;0\r\n20;0;39;31;23;3\r\n");
    TestSupport::writeFile(station.settings, TestSupport::readFile(station.settings) + "AlarmLimit=2\r\n");
    const QString journal = station.dir.filePath("journal.sqlite");
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--journal", journal, "--out",
                                station.dir.filePath("r"), image, image},
                               &out, &err),
             0);
    QCOMPARE(WatchStation::run({"check", "--settings", station.settings, "--journal", journal, "--format", "prometheus"},
                               &out, &err),
             0);
    const QString text = QString::fromUtf8(out);
    QVERIFY2(text.contains(QRegularExpression("(^|\n)kelvarin2_images_processed_total\\{station=\"[^\"]+\"\\} 2\n")),
             qPrintable(text)); // two images
    QVERIFY2(text.contains(QRegularExpression("\nkelvarin2_zone_limit_state\\{station=\"[^\"]*\",zone=\"1\"\\} 2\n")),
             qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression("\nkelvarin2_zone_limit_state\\{station=\"[^\"]*\",zone=\"2\"\\} 0\n")),
             qPrintable(text));
    const QString promtool = QStandardPaths::findExecutable("promtool");
    if (promtool.isEmpty())
        QSKIP("promtool is not installed");
    QProcess check;
    check.start(promtool, {"check", "metrics"});
    check.write(out);
    check.closeWriteChannel();
    QVERIFY(check.waitForFinished(30000));
    const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
    QVERIFY2(check.exitCode() == 0, said.constData());
}

void TestCheckMetrics::cannotTell_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no journal") << QStringList{"--journal", "$D/none/journal.sqlite"} << "";
    QTest::newRow("unknown format") << QStringList{"--format", "xml"} << "неизвестный формат: xml (prometheus)";
}

// Standard output stays in the format: a comment line, never half a text.
void TestCheckMetrics::cannotTell()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    WatchStation station;
    arguments.replaceInStrings("$D", station.dir.path());
    if (!arguments.contains("--format"))
        arguments << "--format" << "prometheus";
    QByteArray out, err;
    QCOMPARE(WatchStation::run(QStringList{"check", "--settings", station.settings} + arguments, &out, &err), 3);
    const QString text = QString::fromUtf8(out);
    if (arguments.contains("prometheus"))
        QVERIFY2(text.startsWith("# KELVARIN2 UNKNOWN - ") && text.count('\n') == 1, qPrintable(text));
    else
        QVERIFY2(text.startsWith("KELVARIN2 UNKNOWN - " + reason), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestCheckMetrics)
#include "tst_checkmetrics.moc"

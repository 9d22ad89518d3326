// The tool's monitoring: the watch prints limit crossings and starts the
// alarm command without waiting for it; check answers as a monitoring
// plugin, UNKNOWN (3) whenever it cannot tell.
#include "WatchStation.h"

#include <QFile>
#include <QTest>

#include <csignal>

class TestMonitoringCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void watchReportsCrossingsAndKeepsGoing();
    void checkCannotTell_data();
    void checkCannotTell();
    void exportAddsCorrectedAndMillimetreColumns();
};

// Zone origins at the spot of the first image: image i is i pixels to the right.
void TestMonitoringCli::watchReportsCrossingsAndKeepsGoing()
{
    WatchStation station;
    TestSupport::writeFile(station.zones, "0;0;19;31;2;2\r\n20;0;39;31;22;2\r\n");
    const QString calls = station.dir.filePath("calls.txt");
    const QString notify = station.dir.filePath("notify.sh");
    // Records its call, then hangs far longer than the watch takes.
    TestSupport::writeFile(notify, "#!/bin/sh\necho \"$1 $2 $3 $4\" >> \"$5\"\nexec sleep 20\n");
    QFile::setPermissions(notify, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TestSupport::writeFile(station.settings, TestSupport::readFile(station.settings)
                               + "WarningLimit=0.5\r\nAlarmLimit=1.5\r\nAlarmLimit_2=5\r\nAlarmCommand=" + notify.toUtf8()
                               + " {zone} {level} {magnitude} {image} " + calls.toUtf8() + "\r\n");
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += tool.readAllStandardError()).startsWith("Наблюдение за "), 20000);
    for (int i = 0; i < 4; ++i) {
        TestSupport::writeFile(QDir(station.buffer).filePath(QString("img%1.bmp").arg(i)), WatchStation::image(1 + i, 1));
        // One at a time: the order of the crossings is the images'.
        QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    }
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    err += tool.readAllStandardError();
    const QString text = QString::fromUtf8(err);
    // Zone 1 warns at image 2 and alarms at image 3, once each; zone 2 only warns.
    QCOMPARE(text.count("ПРЕДУПРЕЖДЕНИЕ: "), 2);
    QCOMPARE(text.count("АВАРИЯ: "), 1);
    QVERIFY2(text.contains("kelvarin2-cli: АВАРИЯ: Зона 1: смещение 2.0000 пикс выше аварийного предела 1.5 пикс (img2.bmp)"),
             qPrintable(text));
    QVERIFY(text.contains("img3.bmp: найдено точек 2 из 2"));
    QCOMPARE(station.crdLines(1).size(), 4);
    QList<QByteArray> lines = TestSupport::readFile(calls).split('\n');
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, (QList<QByteArray>{"", "1 alarm 2.0000 img2.bmp", "1 warning 1.0000 img1.bmp",
                                       "2 warning 1.0000 img1.bmp"}));
}

void TestMonitoringCli::checkCannotTell_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");
    QTest::newRow("no journal") << QStringList{"--journal", "/nonexistent/k.sqlite"}
                                << "KELVARIN2 UNKNOWN - журнал измерений /nonexistent/k.sqlite не найден\n";
    QTest::newRow("unknown option") << QStringList{"--zones", "z"} << "KELVARIN2 UNKNOWN - неизвестный параметр: --zones\n";
    QTest::newRow("bad age") << QStringList{"--max-age", "soon"}
                             << "KELVARIN2 UNKNOWN - неверное значение --max-age: soon (секунды или число с s, m, h, d)\n";
    QTest::newRow("stray argument") << QStringList{"extra"} << "KELVARIN2 UNKNOWN - лишние аргументы: extra\n";
}

void TestMonitoringCli::checkCannotTell()
{
    QFETCH(QStringList, arguments);
    WatchStation station;
    QByteArray out, err;
    QCOMPARE(WatchStation::run(QStringList{"check", "--settings", station.settings} + arguments, &out, &err), 3);
    QTEST(QString::fromUtf8(out), "line");
    QVERIFY(err.isEmpty());
}

// Both targets move together (the camera moved): corrected by zone 2 they stand
// still. The added columns appear only when the settings ask for them.
void TestMonitoringCli::exportAddsCorrectedAndMillimetreColumns()
{
    WatchStation station;
    TestSupport::writeFile(station.zones, "0;0;19;31;2;2\r\n20;0;39;31;22;2\r\n");
    for (int i = 0; i < 3; ++i)
        TestSupport::writeFile(QDir(station.buffer).filePath(QString("img%1.bmp").arg(i)), WatchStation::image(1 + i, 1));
    const QByteArray plainSettings = TestSupport::readFile(station.settings);
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, station.buffer}, &out, &err), 0);

    QByteArray csv;
    QCOMPARE(WatchStation::run({"export", "--settings", station.settings}, &csv, &err), 0);
    QVERIFY(csv.startsWith("station,base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,mean,maximum,threshold,sx,sy,spots\r\n"));

    TestSupport::writeFile(station.settings, plainSettings + "ReferenceZones=2\r\nPixelSize=0.5\r\n");
    QCOMPARE(WatchStation::run({"export", "--settings", station.settings}, &csv, &err), 0);
    const QList<QByteArray> rows = csv.split('\n');
    QCOMPARE(rows.at(0), QByteArray("station,base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,mean,"
                                    "maximum,threshold,sx,sy,spots,dx_corrected,dy_corrected,dx_mm,dy_mm\r"));
    int checked = 0;
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> f = rows.at(i).trimmed().split(',');
        if (f.size() < 23 || f.at(7) != "1")
            continue;
        // Raw dx grows image by image; corrected and in millimetres it stays 0.
        QCOMPARE(f.at(19), QByteArray("0.0000"));
        QCOMPARE(f.at(20), QByteArray("0.0000"));
        QCOMPARE(f.at(21), QByteArray("0.0000"));
        QCOMPARE(f.at(22), QByteArray("0.0000"));
        ++checked;
    }
    QCOMPARE(checked, 6);
}

QTEST_GUILESS_MAIN(TestMonitoringCli)
#include "tst_monitoringcli.moc"

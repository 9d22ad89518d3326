// The watch as the service unit starts it: the unit's own command line, the
// settings named by the instance, the buffer directory taken from them, the
// statuses systemd acts on (0 after SIGTERM with the results written; 2,
// which is not restarted, for settings that cannot work), and the metrics
// file it keeps for Prometheus.

#include "WatchStation.h"

#include <QSysInfo>
#include <QtTest>

#include <csignal>

class TestService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stopsCleanlyOnSigterm_data();
    void stopsCleanlyOnSigterm();
    void unusableSettingsAreNotRestarted();
    void metricsFileFollowsTheWatch();

private:
    // The unit's ExecStart for instance `instance` with %E at `configRoot`.
    static QStringList unitCommand(const QString &configRoot, const QString &instance)
    {
        QFile unit(QStringLiteral(KELVARIN_TEST_DATA "/../../packaging/kelvarin2-watch@.service.in"));
        if (!unit.open(QIODevice::ReadOnly))
            return {};
        for (QString line : QString::fromUtf8(unit.readAll()).split('\n')) {
            line.remove("@KELVARIN_UNIT_USER@"); // the system unit's user lines go there
            if (!line.startsWith("ExecStart="))
                continue;
            line.remove(0, int(qstrlen("ExecStart=")));
            line.replace("@KELVARIN_UNIT_BINDIR@", KELVARIN_BINARY_DIR).replace("%E", configRoot).replace("%i", instance);
            return line.split(' ', Qt::SkipEmptyParts);
        }
        return {};
    }
    // What is in the file now, empty while it does not exist.
    static QString contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The station's settings as /etc/kelvarin2/pier7.ini, with its buffer directory.
    static QString installSettings(const WatchStation &station, const QByteArray &extra)
    {
        const QString path = station.dir.filePath("etc/kelvarin2/pier7.ini");
        QDir().mkpath(QFileInfo(path).path());
        TestSupport::writeFile(path, TestSupport::readFile(station.settings) + extra);
        return path;
    }
};

void TestService::stopsCleanlyOnSigterm_data()
{
    QTest::addColumn<int>("images");
    QTest::newRow("after images") << 2;
    QTest::newRow("before any image") << 0;
}

void TestService::stopsCleanlyOnSigterm()
{
    QFETCH(int, images);
    WatchStation station;
    installSettings(station, "BufferDir=" + station.buffer.toUtf8() + "\r\n");
    const QStringList command = unitCommand(station.dir.filePath("etc"), "pier7");
    QCOMPARE(command.mid(1), QStringList({"watch", "--settings", station.dir.filePath("etc/kelvarin2/pier7.ini")}));
    QProcess tool;
    tool.start(command.first(), command.mid(1));
    QVERIFY(tool.waitForStarted());
    const QByteArray banner = "Наблюдение за " + station.buffer.toUtf8();
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += tool.readAllStandardError()).startsWith(banner), 20000);
    for (int i = 0; i < images; ++i)
        TestSupport::writeFile(QDir(station.buffer).filePath(QString("img%1.bmp").arg(i)), WatchStation::image(1 + i, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    if (images == 0) {
        // Nothing to write: no empty result set is left behind.
        QVERIFY(!QFile::exists(station.base() + "_1.crd"));
        QVERIFY(tool.readAllStandardOutput().startsWith("Результаты не записаны"));
    } else {
        QCOMPARE(station.crdLines(1).size(), images);
    }
}

void TestService::unusableSettingsAreNotRestarted()
{
    WatchStation station;
    installSettings(station, QByteArray()); // no BufferDir
    const QStringList command = unitCommand(station.dir.filePath("etc"), "pier7");
    QVERIFY(!command.isEmpty());
    QProcess tool;
    tool.start(command.first(), command.mid(1));
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 2);
    QVERIFY(tool.readAllStandardError().startsWith("kelvarin2-cli: укажите одну буферную директорию"));
    QFile unit(QStringLiteral(KELVARIN_TEST_DATA "/../../packaging/kelvarin2-watch@.service.in"));
    QVERIFY(unit.open(QIODevice::ReadOnly));
    const QByteArray text = unit.readAll();
    QVERIFY(text.contains("\nRestart=on-failure\n"));
    QVERIFY(text.contains("\nRestartPreventExitStatus=2\n"));
}

// A station in alarm (zone 1 moved 3 px both ways past a 2 px limit, zone 2
// at its zero point) and an image set aside: the file, rewritten after each,
// says so and promtool accepts it.
void TestService::metricsFileFollowsTheWatch()
{
    WatchStation station;
    TestSupport::writeFile(station.zones, "0;0;19;31;0;0\r\n20;0;39;31;23;3\r\n");
    const QString settings = installSettings(station, "AlarmLimit=2\r\n");
    const QString metrics = station.dir.filePath("kelvarin2.prom");
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", settings, "--metrics", metrics, station.buffer});
    QVERIFY(tool.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(contents(metrics).contains("kelvarin2_images_processed_total"), 20000);
    TestSupport::writeFile(QDir(station.buffer).filePath("img0.bmp"), WatchStation::image(1, 1));
    TestSupport::writeFile(QDir(station.buffer).filePath("damaged.bmp"), "BM");
    const QString host = QSysInfo::machineHostName();
    const QString station1 = "{station=\"" + host + "\",zone=\"1\"}";
    const QString setAside = "kelvarin2_images_set_aside_total{station=\"" + host + "\"} 1\n";
    const QString processed = "kelvarin2_images_processed_total{station=\"" + host + "\"} 1\n";
    QString text;
    QTRY_VERIFY_WITH_TIMEOUT((text = contents(metrics)).contains(setAside)
                                 && text.contains(processed),
                             30000);
    QVERIFY2(text.contains("kelvarin2_zone_limit_state" + station1 + " 2\n"), qPrintable(text));
    QVERIFY2(text.contains("kelvarin2_zone_limit_state{station=\"" + host + "\",zone=\"2\"} 0\n"), qPrintable(text));
    QVERIFY2(text.contains("kelvarin2_zone_found" + station1 + " 1\n"), qPrintable(text));
    // No temporary file is left beside it.
    QCOMPARE(QDir(station.dir.path()).entryList({"*.prom*", ".*.prom*"}, QDir::Files | QDir::Hidden),
             QStringList{"kelvarin2.prom"});
    const QString promtool = QStandardPaths::findExecutable("promtool");
    if (!promtool.isEmpty()) {
        QProcess check;
        check.setStandardInputFile(metrics);
        check.start(promtool, {"check", "metrics"});
        QVERIFY(check.waitForFinished(30000));
        const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
        QVERIFY2(check.exitCode() == 0, said.constData());
    }
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"

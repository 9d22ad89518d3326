#include "WatchStation.h"

#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

// What an unattended station must survive, through the real tool: a full
// disk, links at result names, pipes at settings paths, signals, and the
// statuses scripts rely on.
class TestReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullDiskKeepsEarlierResultSet();
    void linkAtResultNameIsNotFollowed();
    void nonRegularSettingsFile_data();
    void nonRegularSettingsFile();
    void emptyZoneFileIsBadInputEverywhere_data();
    void emptyZoneFileIsBadInputEverywhere();
    void doubleDashEndsOptions();
    void interruptedProcessHasItsOwnStatus_data();
    void interruptedProcessHasItsOwnStatus();
    void resultPathsAreClean();
    void failuresGoToTheEventLog();

private:
    static QStringList allEntries(const QString &dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
};

// A file size limit (SIGXFSZ ignored, as in a shell with `trap '' XFSZ`)
// stands in for a full disk without root and without mounting.
void TestReliability::fullDiskKeepsEarlierResultSet()
{
    WatchStation station;
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    const QString base = station.dir.filePath("out/res");
    QDir().mkpath(station.dir.filePath("out"));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--out", base, image}, &out, &err), 0);
    const QStringList names = allEntries(station.dir.filePath("out"));
    QCOMPARE(names.size(), 3);
    QList<QByteArray> earlier;
    for (const QString &name : names)
        earlier << TestSupport::readFile(station.dir.filePath("out/" + name));

    // 400 images give coordinate files of about 7 KB, past the 4 KB limit.
    QStringList arguments{"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"", WatchStation::tool(),
                          "process", "--settings", station.settings, "--out", base};
    for (int i = 0; i < 400; ++i)
        arguments << image;
    QProcess shell;
    shell.start("bash", arguments);
    QVERIFY(shell.waitForFinished(120000));
    QCOMPARE(shell.exitStatus(), QProcess::NormalExit);
    QCOMPARE(shell.exitCode(), 1);
    const QString message = QString::fromUtf8(shell.readAllStandardError());
    QVERIFY2(message.contains("Не удается создать файл " + base + "_1.crd"), qPrintable(message.right(400)));
    QCOMPARE(allEntries(station.dir.filePath("out")), names);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(TestSupport::readFile(station.dir.filePath("out/" + names.at(i))), earlier.at(i));
}

void TestReliability::linkAtResultNameIsNotFollowed()
{
    WatchStation station;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("precious.txt");
    TestSupport::writeFile(target, "precious");
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    const QString base = station.dir.filePath("res");
    QVERIFY(QFile::link(target, base + "_2.crd"));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--out", base, image}, &out, &err), 1);
    QVERIFY2(QString::fromUtf8(err).contains(base + "_2.crd") && QString::fromUtf8(err).contains("символическая ссылка"),
             err.constData());
    QCOMPARE(TestSupport::readFile(target), QByteArray("precious"));
    // The whole set is refused: no coordinate file of the run was written either.
    QVERIFY(!QFile::exists(base + "_1.crd"));

    // A dangling link at the next free name is passed over, not written through.
    QVERIFY(QFile::link(elsewhere.filePath("new.crd"), station.work + "/work_0001_1.crd"));
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, image}, &out, &err), 0);
    QVERIFY(QFile::exists(station.work + "/work_0002_1.crd"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{"precious.txt"});
}

void TestReliability::nonRegularSettingsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("given");
    QTest::newRow("pipe at the default path") << "fifo" << false;
    QTest::newRow("/dev/zero at the default path") << "zero" << false;
    QTest::newRow("pipe given with --settings") << "fifo" << true;
}

// A pipe nobody writes to would block the tool for good, /dev/zero would fill its memory.
void TestReliability::nonRegularSettingsFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, given);
    WatchStation station;
    const QString config = station.dir.filePath("config/kelvarin2");
    QVERIFY(QDir().mkpath(config));
    const QString ini = config + "/Kelvarin2.ini";
    if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    else
        QVERIFY(QFile::link("/dev/zero", ini));
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", station.dir.filePath("config"));
    tool.setProcessEnvironment(env);
    tool.start(WatchStation::tool(), given ? QStringList{"process", "--settings", ini, "--out", station.dir.filePath("r"), image}
                                           : QStringList{"process", "--out", station.dir.filePath("r"), image});
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        QFAIL("the tool hung on the settings file");
    }
    QCOMPARE(tool.exitCode(), 2);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.contains(ini + " не является обычным файлом"), qPrintable(err));
    QVERIFY(!err.contains("не найден"));
}

void TestReliability::emptyZoneFileIsBadInputEverywhere_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("process") << "process";
    QTest::newRow("watch") << "watch";
    QTest::newRow("calibrate") << "calibrate";
}

void TestReliability::emptyZoneFileIsBadInputEverywhere()
{
    QFETCH(QString, command);
    WatchStation station;
    TestSupport::writeFile(station.zones, "");
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({command, "--settings", station.settings, command == "watch" ? station.buffer : image},
                               &out, &err),
             2);
    QVERIFY(allEntries(station.work).isEmpty());
    QCOMPARE(station.bufferFiles(), QStringList{"a.bmp"});
}

void TestReliability::doubleDashEndsOptions()
{
    WatchStation station;
    TestSupport::writeFile(QDir(station.buffer).filePath("-h"), WatchStation::image(2, 1));
    const QString base = station.dir.filePath("res");
    QProcess tool;
    tool.setWorkingDirectory(station.buffer);
    tool.start(WatchStation::tool(), {"process", "--settings", station.settings, "--out", base, "--", "-h"});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(TestSupport::readFile(base + "_1.crd"), QByteArray("1\t4.0000\t3.0000\r\n"));
    // After the first path, --help is a path too; before it, the help.
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--out", base,
                                QDir(station.buffer).filePath("-h"), "--help"},
                               &out, &err),
             1);
    QVERIFY(!out.contains("Использование"));
    QCOMPARE(WatchStation::run({"process", "--help"}, &out, &err), 0);
    QVERIFY(out.contains("Использование"));
}

void TestReliability::interruptedProcessHasItsOwnStatus_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void TestReliability::interruptedProcessHasItsOwnStatus()
{
    QFETCH(int, signal);
    QFETCH(int, status);
    WatchStation station;
    const QString image = QDir(station.buffer).filePath("a.bmp");
    // A large image, so that the run is still going when the signal comes.
    BmpWriter::Image big;
    big.width = 1500;
    big.height = 1500;
    big.bitsPerPixel = 8;
    big.pixels = QList<quint32>(1500 * 1500, 5);
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx)
            big.pixels[(1 + dy) * 1500 + 1 + dx] = 200;
    for (quint32 g = 0; g < 256; ++g)
        big.palette << (g << 16 | g << 8 | g);
    TestSupport::writeFile(image, BmpWriter::encode(big));
    const QString base = station.dir.filePath("res");
    QStringList arguments{"process", "--settings", station.settings, "--out", base};
    for (int i = 0; i < 5000; ++i)
        arguments << image;
    QProcess tool;
    tool.start(WatchStation::tool(), arguments);
    QVERIFY(tool.waitForStarted());
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT((progress += tool.readAllStandardError()).contains("найдено точек"), 30000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), status);
    // What it had is written.
    const QByteArray crd = TestSupport::readFile(base + "_1.crd");
    QVERIFY(crd.startsWith("1\t3.0000\t3.0000\r\n"));
    QVERIFY(crd.count('\n') < 5000);
}

void TestReliability::resultPathsAreClean()
{
    WatchStation station;
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    const QString relative = station.dir.filePath("relative.ini");
    TestSupport::writeFile(relative, "[Parameters]\nWorkDir=../work/./\nZonesFileName=" + station.zones.toUtf8() + "\n");
    QProcess tool;
    tool.setWorkingDirectory(station.buffer);
    tool.start(WatchStation::tool(), {"process", "--settings", relative, image});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    const QString work = QFileInfo(station.work).canonicalFilePath();
    QVERIFY2(out.contains("Результаты: " + QDir::cleanPath(station.work) + "/work_0001_<зона>.crd")
                 || out.contains("Результаты: " + work + "/work_0001_<зона>.crd"),
             qPrintable(out));
    QVERIFY(!out.contains("/../") && !out.contains("/./"));
}

void TestReliability::failuresGoToTheEventLog()
{
    WatchStation station;
    const QString good = QDir(station.buffer).filePath("good.bmp");
    const QString bad = QDir(station.buffer).filePath("bad.bmp");
    TestSupport::writeFile(good, WatchStation::image(1, 1));
    TestSupport::writeFile(bad, "BM");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, good, bad}, &out, &err), 1);
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, bad}, &out, &err), 1);
    const QList<QByteArray> lines = TestSupport::readFile(station.work + "/kelvarin2-events.log").split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.last().isEmpty());
    const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d\\terror\\trun\\t")
                                  + QRegularExpression::escape(bad) + QStringLiteral("\\t[^\\t]+$"));
    for (int i = 0; i < 2; ++i)
        QVERIFY2(line.match(QString::fromUtf8(lines.at(i))).hasMatch(), lines.at(i).constData());
    // The same text went to standard error.
    const QString text = QString::fromUtf8(lines.at(1)).section('\t', 4);
    QVERIFY2(QString::fromUtf8(err).contains(text), err.constData());
}

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"

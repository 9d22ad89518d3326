#include "WatchStation.h"

#include <QtTest>

// The tool's process command as a user meets it: exit codes, messages, and
// what is written when something goes wrong half way.
class TestProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusesBadInput_data();
    void refusesBadInput();
    void directoryInNameOrderAndSummary();
    void badImageKeepsEarlierResults_data();
    void badImageKeepsEarlierResults();
    void damagedArchiveEntryKeepsEarlierResults();
    void defaultBaseInWorkingDirectory();
    void helpAndVersion();
};

void TestProcess::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    // "$S" the settings, "$D" the station's directory, "$B" the buffer with one image.
    QTest::newRow("no command") << QStringList{} << "не указана команда";
    QTest::newRow("unknown command") << QStringList{"run"} << "неизвестная команда: run";
    QTest::newRow("no images") << QStringList{"process", "--settings", "$S"} << "не указаны изображения";
    QTest::newRow("option without value") << QStringList{"process", "$B", "--out"} << "у параметра --out нет значения";
    QTest::newRow("jobs zero") << QStringList{"process", "--jobs", "0", "$B"}
                               << "у параметра --jobs должно быть целое число не меньше 1: 0";
    QTest::newRow("jobs not a number") << QStringList{"process", "--jobs=two", "$B"}
                                       << "у параметра --jobs должно быть целое число не меньше 1: two";
    QTest::newRow("archives for watch") << QStringList{"watch", "--archives", "$B"} << "неизвестный параметр: --archives";
    QTest::newRow("missing settings") << QStringList{"process", "--settings", "$D/none.ini", "$B"}
                                      << "файл настроек $D/none.ini не найден";
    QTest::newRow("settings of another kind") << QStringList{"process", "--settings", "$D/z.zon", "$B"}
                                              << "в файле настроек $D/z.zon нет раздела [Parameters]";
    QTest::newRow("garbage zones") << QStringList{"process", "--settings", "$S", "--zones", "$D/garbage.zon", "$B"}
                                   << "Ошибка чтения файла координат зон!\n$D/garbage.zon, строка 2: меньше четырёх полей через \";\"";
    QTest::newRow("missing working directory") << QStringList{"process", "--settings", "$D/nowork.ini", "--zones", "$D/z.zon", "$B"}
                                               << "рабочая директория /no/such/dir не существует; укажите --out";
}

void TestProcess::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    WatchStation station;
    TestSupport::writeFile(station.dir.filePath("garbage.zon"), "1;2;3;4\r\n\x01\x02garbage\r\n");
    TestSupport::writeFile(station.dir.filePath("nowork.ini"), "[Parameters]\nWorkDir=/no/such/dir\n");
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(1, 1));
    auto expand = [&](QString text) {
        return text.replace("$S", station.settings).replace("$B", station.buffer).replace("$D", station.dir.path());
    };
    for (QString &argument : arguments)
        argument = expand(argument);
    QByteArray out, err;
    QCOMPARE(WatchStation::run(arguments, &out, &err), 2);
    QVERIFY2(QString::fromUtf8(err).contains(expand(message)), err.constData());
    // Nothing was written anywhere.
    QCOMPARE(QDir(station.work).entryList(QDir::Files), QStringList());
}

void TestProcess::directoryInNameOrderAndSummary()
{
    WatchStation station;
    TestSupport::writeFile(QDir(station.buffer).filePath("B.BMP"), WatchStation::image(2, 1));
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(1, 1));
    TestSupport::writeFile(QDir(station.buffer).filePath("c.Bmp"), WatchStation::image(3, 1));
    TestSupport::writeFile(QDir(station.buffer).filePath("notes.txt"), "not an image");
    const QString base = station.dir.filePath("out/res");
    QDir().mkpath(station.dir.filePath("out"));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--out", base, station.buffer}, &out, &err), 0);
    QCOMPARE(TestSupport::readFile(base + "_1.crd"),
             QByteArray("1\t3.0000\t3.0000\r\n2\t4.0000\t3.0000\r\n3\t5.0000\t3.0000\r\n"));
    QVERIFY(QFile::exists(base + "_time.log"));
    const QString progress = QString::fromUtf8(err);
    QVERIFY(progress.indexOf("a.bmp: найдено точек 2 из 2") < progress.indexOf("B.BMP:"));
    QVERIFY(progress.indexOf("B.BMP:") < progress.indexOf("c.Bmp:"));
    QVERIFY(!progress.contains("notes.txt"));
    const QString summary = QString::fromUtf8(out);
    QVERIFY2(summary.contains("Результаты: " + base + "_<зона>.crd"), out.constData());
    QVERIFY(summary.contains("Изображений: 3"));
    QVERIFY(summary.contains("Зона 2: точек найдено 3 из 3"));
}

void TestProcess::badImageKeepsEarlierResults_data()
{
    QTest::addColumn<QString>("jobs");
    QTest::newRow("one job") << "--jobs=1";
    // Jobs measure ahead, but what is written stops at the bad image just the same.
    QTest::newRow("three jobs") << "--jobs=3";
}

void TestProcess::badImageKeepsEarlierResults()
{
    QFETCH(QString, jobs);
    WatchStation station;
    const QString good = QDir(station.buffer).filePath("good.bmp");
    const QString bad = QDir(station.buffer).filePath("bad.bmp");
    TestSupport::writeFile(good, WatchStation::image(1, 1));
    TestSupport::writeFile(bad, WatchStation::image(1, 1).left(100)); // truncated
    const QString base = station.dir.filePath("res");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", jobs, "--settings", station.settings, "--out", base, good, bad, good, good, good},
                               &out, &err), 1);
    QVERIFY2(QString::fromUtf8(err).contains(bad), err.constData());
    // The image before the bad one is in the results; the one after it is not.
    QCOMPARE(TestSupport::readFile(base + "_1.crd"), QByteArray("1\t3.0000\t3.0000\r\n"));
    QCOMPARE(TestSupport::readFile(base + "_2.crd"), QByteArray("1\t23.0000\t3.0000\r\n"));
}

void TestProcess::damagedArchiveEntryKeepsEarlierResults()
{
    WatchStation station;
    const QDir buffer(station.buffer);
    TestSupport::writeFile(buffer.filePath("a.bmp"), WatchStation::image(1, 1));
    TestSupport::writeFile(buffer.filePath("b.bmp"), WatchStation::image(2, 1));
    TestSupport::writeFile(buffer.filePath("c.bmp"), WatchStation::image(3, 1).left(100)); // cut short
    const QString archive = station.dir.filePath("images.zip");
    QProcess zip;
    zip.setWorkingDirectory(station.buffer);
    zip.start("zip", {"-q", archive, "c.bmp", "b.bmp", "a.bmp"});
    QVERIFY(zip.waitForFinished(30000));
    QCOMPARE(zip.exitCode(), 0);
    const QString base = station.dir.filePath("res");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--out", base, archive}, &out, &err), 1);
    // Entries in name order: a and b are measured, c is refused by its full name.
    QVERIFY2(QString::fromUtf8(err).contains("images.zip:c.bmp"), err.constData());
    QVERIFY2(QString::fromUtf8(err).contains("поврежден"), err.constData());
    QCOMPARE(TestSupport::readFile(base + "_1.crd"), QByteArray("1\t3.0000\t3.0000\r\n2\t4.0000\t3.0000\r\n"));
}

void TestProcess::defaultBaseInWorkingDirectory()
{
    WatchStation station;
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, image}, &out, &err), 0);
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, image}, &out, &err), 0);
    QVERIFY(QFile::exists(station.work + "/work_0001_1.crd"));
    QVERIFY(QFile::exists(station.work + "/work_0002_2.crd"));

    // A relative working directory is taken from where the tool runs.
    const QString relative = station.dir.filePath("relative.ini");
    TestSupport::writeFile(relative, "[Parameters]\nWorkDir=.\nZonesFileName=" + station.zones.toUtf8() + "\n");
    QProcess tool;
    tool.setWorkingDirectory(station.work);
    tool.start(WatchStation::tool(), {"process", "--settings", relative, image});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(QFile::exists(station.work + "/work_0003_1.crd"));
}

void TestProcess::helpAndVersion()
{
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"--help"}, &out, &err), 0);
    QVERIFY(QString::fromUtf8(out).startsWith("Использование:\n  kelvarin2-cli process [--settings FILE] [--zones FILE]"));
    QCOMPARE(WatchStation::run({"--version"}, &out, &err), 0);
    QCOMPARE(out, QByteArray("kelvarin2-cli 1.0.0\n"));
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"

#include "PictureWriter.h"
#include "WatchStation.h"

#include <QtTest>

#include <csignal>

// The tool's watch and calibrate commands, run as a separate process.
class TestWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusesBadInput_data();
    void refusesBadInput();
    void calibratePrintsThreshold();
    void calibrateUnreadableImage();
    void watchMovesImagesAndStopsOnSignal_data();
    void watchMovesImagesAndStopsOnSignal();
    void watchArchivesPerImage();
    void watchTakesEveryFormatAndTellsOfOtherFiles();
};

void TestWatch::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    // Arguments: "$S" is the settings file, "$B" the buffer, "$W" the working
    // directory, "$D" the station's directory.
    QTest::newRow("watch without directory") << QStringList{"watch", "--settings", "$S"}
                                             << "укажите одну буферную директорию";
    QTest::newRow("watch with two directories") << QStringList{"watch", "--settings", "$S", "$B", "$W"}
                                                << "укажите одну буферную директорию";
    QTest::newRow("missing buffer") << QStringList{"watch", "--settings", "$S", "$D/none"}
                                    << "Буферная директория $D/none не существует.";
    QTest::newRow("buffer is the working directory") << QStringList{"watch", "--settings", "$S", "$W"}
                                                     << "Буферная директория не может совпадать с рабочей!";
    QTest::newRow("missing settings") << QStringList{"watch", "--settings", "$D/none.ini", "$B"}
                                      << "файл настроек $D/none.ini не найден";
    QTest::newRow("unreadable zones") << QStringList{"watch", "--settings", "$S", "--zones", "$D/none.zon", "$B"}
                                      << "файл зон: $D/none.zon";
    QTest::newRow("option of another command") << QStringList{"watch", "--out", "x", "$B"}
                                               << "неизвестный параметр: --out";
    QTest::newRow("calibrate without image") << QStringList{"calibrate", "--settings", "$S"}
                                             << "укажите одно изображение";
    QTest::newRow("calibrate without zones") << QStringList{"calibrate", "--settings", "$S", "--zones", "$D/empty.zon",
                                                            "$B/a.bmp"}
                                             << "Нет ни одной зоны: рекомендуемый порог яркости не определен.";
}

void TestWatch::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    WatchStation station;
    TestSupport::writeFile(station.dir.filePath("empty.zon"), "");
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(1, 1));
    auto expand = [&](QString text) {
        return text.replace("$S", station.settings)
            .replace("$B", station.buffer)
            .replace("$W", station.work)
            .replace("$D", station.dir.path());
    };
    for (QString &argument : arguments)
        argument = expand(argument);
    QByteArray out, err;
    QCOMPARE(WatchStation::run(arguments, &out, &err), 2);
    QVERIFY2(QString::fromUtf8(err).contains(expand(message)), err.constData());
    // Nothing was started: no result set, the image still in the buffer.
    QCOMPARE(QDir(station.work).entryList(QDir::Files), QStringList());
    QCOMPARE(station.bufferFiles(), QStringList{"a.bmp"});
}

void TestWatch::calibratePrintsThreshold()
{
    WatchStation station;
    const QString image = station.dir.filePath("reference.bmp");
    TestSupport::writeFile(image, WatchStation::image(4, 5));
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"calibrate", "--settings", station.settings, image}, &out, &err), 0);
    // Both spots have the mean 200: 400 / 2 zones x 0.75.
    QCOMPARE(QString::fromUtf8(out), QString("Рекомендуемый порог яркости:  150\n"));
    // No results; the calibration is a run of the measurement journal only.
    QCOMPARE(QDir(station.work).entryList(QDir::Files), QStringList{"kelvarin2-journal.sqlite"});
}

void TestWatch::calibrateUnreadableImage()
{
    WatchStation station;
    const QString image = station.dir.filePath("bad.bmp");
    TestSupport::writeFile(image, "BM");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"calibrate", "--settings", station.settings, image}, &out, &err), 1);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains("bad.bmp"), err.constData());
}

void TestWatch::watchMovesImagesAndStopsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestWatch::watchMovesImagesAndStopsOnSignal()
{
    QFETCH(int, signal);
    WatchStation station;
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QByteArray started; // read piecewise: the check may run again after the line came
    QTRY_VERIFY_WITH_TIMEOUT((started += tool.readAllStandardError()).startsWith("Наблюдение за "), 20000);
    for (int i = 0; i < 3; ++i)
        TestSupport::writeFile(QDir(station.buffer).filePath(QString("img%1.bmp").arg(i)), WatchStation::image(1 + i, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(err, QString("img0.bmp: найдено точек 2 из 2\nimg1.bmp: найдено точек 2 из 2\n"
                          "img2.bmp: найдено точек 2 из 2\n"));
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()),
             QString("Результаты: %1_<зона>.crd, %1_time.log\nИзображений: 3\n").arg(station.base()));
    QCOMPARE(station.crdLines(1),
             QList<QByteArray>({"1\t3.0000\t3.0000\r", "2\t4.0000\t3.0000\r", "3\t5.0000\t3.0000\r"}));
    QCOMPARE(station.crdLines(2).size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(TestSupport::readFile(QDir(station.work).filePath(QString("img%1.bmp").arg(i))),
                 WatchStation::image(1 + i, 1));
    }
}

void TestWatch::watchArchivesPerImage()
{
    if (!WatchStation::haveZip())
        QSKIP("zip and unzip are not installed");
    WatchStation station("SaveToManyZip=1\r\n");
    TestSupport::writeFile(QDir(station.buffer).filePath("cam.1.bmp"), WatchStation::image(2, 2));
    TestSupport::writeFile(QDir(station.buffer).filePath("damaged.bmp"), "BM");
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    tool.terminate();
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(WatchStation::archiveEntries(station.base() + "_cam.zip"), QStringList{"cam.1.bmp"});
    QCOMPARE(TestSupport::readFile(QDir(station.buffer).filePath("Отложенные/damaged.bmp")), QByteArray("BM"));
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.contains("kelvarin2-cli: Изображение damaged.bmp отложено в папку \"Отложенные\""),
             qPrintable(err));
    QCOMPARE(station.crdLines(1).size(), 1);
}

// PNG, TIFF and JPEG pictures are taken from the buffer as bitmaps are (the
// lossless ones measured exactly as the bitmap, a 16-bit TIFF of value x 257
// too) and kept as they came; a file of any other kind is told of once in the
// event log and left where it is.
void TestWatch::watchTakesEveryFormatAndTellsOfOtherFiles()
{
    WatchStation station;
    PictureWriter::Picture picture;
    picture.width = WatchStation::Width;
    picture.height = WatchStation::Height;
    picture.samples.assign(size_t(picture.width * picture.height), 5);
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx)
            picture.at(1 + dx, 1 + dy) = picture.at(21 + dx, 1 + dy) = 200;
    PictureWriter::Picture sixteen = picture;
    sixteen.bits = 16;
    for (quint16 &s : sixteen.samples)
        s = quint16(s * 257);
    const QDir buffer(station.buffer);
    QString error;
    QVERIFY(PictureWriter::png(buffer.filePath("img0.png"), picture, false, &error));
    QVERIFY(PictureWriter::tiff(buffer.filePath("img1.TIF"), sixteen, {}, &error));
    QVERIFY(PictureWriter::jpeg(buffer.filePath("img2.jpeg"), picture, 100, true, &error));
    const QByteArray png = TestSupport::readFile(buffer.filePath("img0.png"));
    TestSupport::writeFile(buffer.filePath("notes.txt"), "not an image");
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList{"notes.txt"}, 30000);
    QTest::qWait(1500);  // more looks at the buffer
    tool.terminate();
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    for (const char *name : {"img0.png", "img1.TIF", "img2.jpeg"})
        QVERIFY2(err.contains(QString(name) + ": найдено точек 2 из 2"), qPrintable(err));
    QCOMPARE(station.crdLines(1).mid(0, 2), QList<QByteArray>({"1\t3.0000\t3.0000\r", "2\t3.0000\t3.0000\r"}));
    QCOMPARE(TestSupport::readFile(QDir(station.work).filePath("img0.png")), png);
    const QList<QByteArray> log = TestSupport::readFile(QDir(station.work).filePath("kelvarin2-events.log")).split('\n');
    const auto told = std::count_if(log.begin(), log.end(), [](const QByteArray &line) { return line.contains("notes.txt"); });
    QCOMPARE(told, 1);
    QVERIFY2(err.contains("notes.txt в буферной директории не является изображением"), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"

#include "BmpWriter.h"
#include "TFinderHost.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TProcessingRun.h"
#include "TRunHost.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

struct RecordingRunHost : TRunHost
{
    QStringList statuses, errors, events, messages;
    std::function<void(int)> onEvents; // called with the number of the event pass
    int passes = 0;
    void SetStatusText(const QString &text) override { statuses << text; }
    void EnableCommands(bool on) override { events << (on ? "on" : "off"); }
    void ProcessEvents() override
    {
        events << "events";
        if (onEvents)
            onEvents(passes);
        ++passes;
    }
    void ShowOverlay() override { events << "overlay"; }
    // The engine's own failures (settings, zone file) apart from the run's errors.
    void report(const TIssue &issue) override
    {
        (issue.source == TIssue::Source::Settings ? messages : errors) << issue.text;
    }
};

// A small 8-bit image with one spot at (x, y).
void writeImage(const QString &path, int x, int y)
{
    BmpWriter::Image image;
    image.width = 40;
    image.height = 30;
    image.bitsPerPixel = 8;
    image.pixels = QList<quint32>(40 * 30, 5);
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx)
            image.pixels[(y + dy) * 40 + x + dx] = 200;
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    BmpWriter::write(path, image);
}

} // namespace

// The run over chosen images: order, stop, errors, saving.
class TestProcessingRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void runsAndSaves();
    void stopLetsTheNextImageFinish();
    void badImageEndsRunButSaves();
    void unreadableZonesMeansNoRun();
    void saveFailureIsNotReportedAsSuccess();
    void autoSaveOff();

private:
    QStringList images(int count);
    QTemporaryDir m_dir;
    TParameters m_params;
};

void TestProcessingRun::init()
{
    QVERIFY(m_dir.isValid());
    m_params = TParameters();
    m_params.MinSCount = 0;
    m_params.MaxSCount = 100;
    m_params.AverageYPorog = 100;
    // A fresh working directory for every test, so result names start at 0001.
    static int testNumber = 0;
    m_params.WorkDir = m_dir.filePath(QStringLiteral("work%1/work").arg(++testNumber));
    QDir().mkpath(m_params.WorkDir);
    m_params.ZonesFileName = m_dir.filePath(QStringLiteral("z.zon"));
    TestSupport::writeFile(m_params.ZonesFileName, "0;0;19;29\r\n20;0;39;29;21;11\r\n");
}

QStringList TestProcessingRun::images(int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << m_dir.filePath(QStringLiteral("img%1.bmp").arg(i));
        writeImage(paths.last(), 5 + i, 10);
    }
    return paths;
}

void TestProcessingRun::runsAndSaves()
{
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    const TProcessingRun::Outcome outcome = run.Run(images(3));
    QVERIFY(outcome.ran);
    QCOMPARE(outcome.imagesProcessed, 3);
    QCOMPARE(outcome.resultsBase, m_params.WorkDir + "/work_0001");
    QCOMPARE(host.statuses, (QStringList{" Подождите... Идет счет...", " Результаты получены и сохранены."}));
    QCOMPARE(host.events, (QStringList{"off", "events", "events", "events", "on", "overlay"}));
    QVERIFY(host.errors.isEmpty());
    QCOMPARE(TestSupport::readFile(outcome.resultsBase + "_1.crd"),
             QByteArray("1\t7.0000\t12.0000\r\n2\t8.0000\t12.0000\r\n3\t9.0000\t12.0000\r\n"));
    // The second zone's spot never reaches it; the file exists, empty.
    QCOMPARE(TestSupport::readFile(outcome.resultsBase + "_2.crd"), QByteArray());
    QVERIFY(times.RunEnd >= times.RunStart);
    QCOMPARE(times.RunElapsed, times.RunEnd - times.RunStart);
    // A second run starts from empty series and takes the next base.
    const TProcessingRun::Outcome again = run.Run(images(1));
    QCOMPARE(again.resultsBase, m_params.WorkDir + "/work_0002");
    QCOMPARE(TestSupport::readFile(again.resultsBase + "_1.crd"), QByteArray("1\t7.0000\t12.0000\r\n"));
}

void TestProcessingRun::stopLetsTheNextImageFinish()
{
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    // The stop arrives while the second image is processed: it is seen before
    // the third, which still runs in full.
    host.onEvents = [&finder](int pass) {
        if (pass == 2)
            finder.StopRequested = true;
    };
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    const TProcessingRun::Outcome outcome = run.Run(images(4));
    QVERIFY(outcome.stopped);
    QCOMPARE(outcome.imagesProcessed, 3);
    QCOMPARE(host.statuses.last(), QStringLiteral(" Работа прервана. Результаты сохранены."));
    QCOMPARE(finder.currentImagePath(), m_dir.filePath(QStringLiteral("img2.bmp")));
    QCOMPARE(TestSupport::readFile(outcome.resultsBase + "_1.crd").count('\n'), 3);
    QVERIFY(!finder.StopRequested);
}

void TestProcessingRun::badImageEndsRunButSaves()
{
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    QStringList paths = images(3);
    TestSupport::writeFile(paths[1], "garbage");
    const TProcessingRun::Outcome outcome = run.Run(paths);
    QCOMPARE(outcome.imagesProcessed, 1);
    QCOMPARE(host.errors.size(), 1);
    QVERIFY(host.errors.first().contains(paths[1]));
    // A partial run says so: how many of how many images.
    QCOMPARE(host.statuses.last(),
             QStringLiteral(" Обработано изображений: 1 из 3, остальные не обработаны. Результаты сохранены."));
    QCOMPARE(TestSupport::readFile(outcome.resultsBase + "_1.crd"), QByteArray("1\t7.0000\t12.0000\r\n"));
    QCOMPARE(host.events.mid(host.events.size() - 2), (QStringList{"on", "overlay"}));
}

void TestProcessingRun::unreadableZonesMeansNoRun()
{
    TestSupport::writeFile(m_params.ZonesFileName, "1;2;3\r\n");
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    const TProcessingRun::Outcome outcome = run.Run(images(2));
    QVERIFY(!outcome.ran);
    QCOMPARE(host.events, (QStringList{"off", "on"}));
    QVERIFY(host.statuses.isEmpty());
    QCOMPARE(host.messages, QStringList{"Ошибка чтения файла координат зон!\n" + m_params.ZonesFileName
                                        + ", строка 1: меньше четырёх полей через \";\""});
    QVERIFY(QDir(m_params.WorkDir).entryList(QDir::Files).isEmpty());
}

void TestProcessingRun::saveFailureIsNotReportedAsSuccess()
{
    m_params.WorkDir = m_dir.filePath(QStringLiteral("missing"));
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    const TProcessingRun::Outcome outcome = run.Run(images(1));
    QVERIFY(!outcome.saveError.isEmpty());
    QVERIFY(outcome.resultsBase.isEmpty());
    QCOMPARE(host.errors, QStringList{outcome.saveError});
    QCOMPARE(host.statuses.last(), QStringLiteral(" Результаты не сохранены."));
    QCOMPARE(host.events.mid(host.events.size() - 2), (QStringList{"on", "overlay"}));
}

void TestProcessingRun::autoSaveOff()
{
    m_params.ResAutoSave = false;
    RecordingRunHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    const TProcessingRun::Outcome outcome = run.Run(images(2));
    QVERIFY(outcome.resultsBase.isEmpty());
    QCOMPARE(host.statuses.last(), QStringLiteral(" Результат получен."));
    QVERIFY(QDir(m_params.WorkDir).entryList(QDir::Files).isEmpty());
    QCOMPARE(finder.zones().first().points.size(), 2);
}

QTEST_GUILESS_MAIN(TestProcessingRun)
#include "tst_processingrun.moc"

#include "WatchStation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <csignal>

// The tool's watch fed 200 images by another process while it works: none is
// lost, none is handled twice.
class TestWatchStress : public QObject
{
    Q_OBJECT

public:
    static constexpr int Images = 200;

    // Image i carries its spot at a position of its own, so every line of a
    // coordinate file tells which image it came from.
    static QPoint spot(int i) { return QPoint(1 + i % 10, 1 + i / 10); }
    static QString name(int i) { return QStringLiteral("img_%1.bmp").arg(i, 3, 10, QLatin1Char('0')); }

    // The feeder, run as a process of its own: writes the images into the
    // buffer in name order, most at once, every eighth slowly in pieces with
    // the file held open between them, longer than the watch's attempts at a
    // damaged image would last, with short random pauses.
    static int feed(const QString &buffer)
    {
        QRandomGenerator random(4711);
        for (int i = 0; i < Images; ++i) {
            const QPoint at = spot(i);
            const QByteArray bytes = WatchStation::image(at.x(), at.y());
            QFile file(QDir(buffer).filePath(name(i)));
            if (!file.open(QIODevice::WriteOnly))
                return 1;
            const int pieces = i % 8 == 0 ? 5 : 1;
            const qsizetype piece = (bytes.size() + pieces - 1) / pieces;
            for (qsizetype at = 0; at < bytes.size(); at += piece) {
                if (file.write(bytes.mid(at, piece)) < 0 || !file.flush())
                    return 1;
                if (pieces > 1)
                    QThread::msleep(120 + random.bounded(80));
            }
            file.close();
            QThread::msleep(random.bounded(25));
        }
        return 0;
    }

private Q_SLOTS:
    void noImageLostOrRepeated();
};

void TestWatchStress::noImageLostOrRepeated()
{
    if (!WatchStation::haveZip())
        QSKIP("zip and unzip are not installed");
    WatchStation station("SaveToOneZip=1\r\n");
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QProcess feeder;
    feeder.start(QCoreApplication::applicationFilePath(), {"--feed", station.buffer});
    QVERIFY(feeder.waitForStarted());
    QVERIFY(feeder.waitForFinished(300000));
    QCOMPARE(feeder.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 300000);
    ::kill(pid_t(tool.processId()), SIGINT);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);

    // Nothing set aside, every image archived once.
    QVERIFY(!QFileInfo::exists(QDir(station.buffer).filePath("Отложенные")));
    QStringList expected;
    for (int i = 0; i < Images; ++i)
        expected << name(i);
    QStringList entries = WatchStation::archiveEntries(station.base() + ".zip");
    entries.sort();
    QCOMPARE(entries, expected);

    // Every coordinate file has one line per image, numbered in order, and
    // line n holds the spot of image n: each image once, in name order.
    for (int zone = 1; zone <= 2; ++zone) {
        const QList<QByteArray> lines = station.crdLines(zone);
        QCOMPARE(lines.size(), Images);
        for (int n = 0; n < lines.size(); ++n) {
            const QList<QByteArray> fields = lines.at(n).trimmed().split('\t');
            QCOMPARE(fields.size(), 3);
            QCOMPARE(fields.at(0).toInt(), n + 1);
            // The centre of a 3 x 3 spot, plus 1 for a zone without origin.
            const int x = fields.at(1).toDouble() - 2 - (zone - 1) * 20;
            const int y = fields.at(2).toDouble() - 2;
            QCOMPARE(QPoint(x, y), spot(n));
        }
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--feed")
        return TestWatchStress::feed(QString::fromLocal8Bit(argv[2]));
    TestWatchStress test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_watchstress.moc"

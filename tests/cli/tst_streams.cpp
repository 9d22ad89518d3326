// What the tool's standard streams are connected to changes how it prints,
// never what it does: a progress line on a terminal, syslog priorities in
// the system journal, and a reader that went away ends the printing, not
// the run.

#include "ProgressLine.h"
#include "StderrPriority.h"
#include "WatchStation.h"

#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

class TestStreams : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void progressText_data();
    void progressText();
    void progressLineOnTerminal();
    void priorityMarks_data();
    void priorityMarks();
    void journalStreamMatchesOnlyItsFile();
    void prioritiesInJournal_data();
    void prioritiesInJournal();
    void alarmOfAWatchInJournal();
    void closedPipeKeepsResults_data();
    void closedPipeKeepsResults();

private:
    // Two readable images, then one that is not (which ends the run).
    static QStringList images(const WatchStation &station)
    {
        const QStringList paths{QDir(station.buffer).filePath("a.bmp"), QDir(station.buffer).filePath("c.bmp"),
                                QDir(station.buffer).filePath("b.bmp")};
        TestSupport::writeFile(paths.at(0), WatchStation::image(1, 1));
        TestSupport::writeFile(paths.at(1), WatchStation::image(2, 1));
        TestSupport::writeFile(paths.at(2), "not an image");
        return paths;
    }
};

void TestStreams::progressText_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing yet") << 0 << 10 << qint64(0) << "Изображение 0 из 10";
    QTest::newRow("no time measured") << 1 << 10 << qint64(0) << "Изображение 1 из 10";
    QTest::newRow("half") << 5 << 10 << qint64(1000) << "Изображение 5 из 10, 5.0 в секунду, осталось 0:01";
    QTest::newRow("a part second is a second") << 2 << 5 << qint64(1000)
                                                << "Изображение 2 из 5, 2.0 в секунду, осталось 0:02";
    QTest::newRow("minutes") << 1 << 726 << qint64(1000) << "Изображение 1 из 726, 1.0 в секунду, осталось 12:05";
    QTest::newRow("hours") << 1 << 3726 << qint64(1000)
                           << "Изображение 1 из 3726, 1.0 в секунду, осталось 1:02:05";
    QTest::newRow("slow") << 3 << 4 << qint64(90000) << "Изображение 3 из 4, 0.0 в секунду, осталось 0:30";
    QTest::newRow("done") << 4 << 4 << qint64(2000) << "Изображение 4 из 4, 2.0 в секунду, осталось 0:00";
}

void TestStreams::progressText()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(ProgressLine::text(done, total, elapsedMs), text);
}

// On a pseudo-terminal the images make one line rewritten in place; an error
// meanwhile clears it and stands on a line of its own.
void TestStreams::progressLineOnTerminal()
{
    WatchStation station;
    const QStringList paths = images(station);
    int master = -1;
    int slave = -1;
    QVERIFY(::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    QProcess tool;
    tool.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    tool.start(WatchStation::tool(),
               QStringList{"process", "--settings", station.settings, "--out", station.dir.filePath("r")} + paths);
    QVERIFY(tool.waitForFinished(60000));
    ::close(slave);
    QByteArray screen;
    char buffer[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, n);
    ::close(master);
    QCOMPARE(tool.exitCode(), 1); // one image could not be read
    const QString text = QString::fromUtf8(screen);
    QVERIFY2(!text.contains("найдено точек"), qPrintable(text));
    QVERIFY2(text.contains("\rИзображение 2 из 3"), qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression("\r\x1b\\[Kkelvarin2-cli: [^\r\n]*b\\.bmp")), qPrintable(text));
    QVERIFY2(text.endsWith("\x1b[K\r\n"), qPrintable(text));
    QVERIFY(QFile::exists(station.dir.filePath("r_1.crd")));
}

void TestStreams::priorityMarks_data()
{
    QTest::addColumn<int>("severity");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("marked");
    QTest::newRow("alarm") << int(TIssue::Severity::Alarm) << "АВАРИЯ: зона 1" << "<2>АВАРИЯ: зона 1";
    QTest::newRow("error") << int(TIssue::Severity::Error) << "e" << "<3>e";
    QTest::newRow("warning") << int(TIssue::Severity::Warning) << "w" << "<4>w";
    QTest::newRow("notice") << int(TIssue::Severity::Information) << "<3>.bmp: найдено" << "<6><3>.bmp: найдено";
    QTest::newRow("every line") << int(TIssue::Severity::Error) << "a\n\nb" << "<3>a\n<3>\n<3>b";
    QTest::newRow("final line break") << int(TIssue::Severity::Warning) << "a\nb\n" << "<4>a\n<4>b\n";
}

void TestStreams::priorityMarks()
{
    QFETCH(int, severity);
    QFETCH(QString, text);
    QFETCH(QString, marked);
    QCOMPARE(StderrPriority::marked(TIssue::Severity(severity), text, true), marked);
    QCOMPARE(StderrPriority::marked(TIssue::Severity(severity), text, false), text);
}

// JOURNAL_STREAM counts only for the stream it names: a service's stderr
// sent to a file or a pipe stays unmarked.
void TestStreams::journalStreamMatchesOnlyItsFile()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    struct stat status {};
    QVERIFY(::fstat(file.handle(), &status) == 0);
    const QByteArray mine = QByteArray::number(qulonglong(status.st_dev)) + ':'
                            + QByteArray::number(qulonglong(status.st_ino));
    QVERIFY(StderrPriority::isJournalStream(mine, file.handle()));
    const QByteArray otherInode = QByteArray::number(qulonglong(status.st_dev)) + ':'
                                  + QByteArray::number(qulonglong(status.st_ino) + 1);
    const QList<QByteArray> others{otherInode, QByteArray(), QByteArray("garbage"), mine + ":1", mine + "x"};
    for (const QByteArray &other : others)
        QVERIFY2(!StderrPriority::isJournalStream(other, file.handle()), other.constData());
    QVERIFY(!StderrPriority::isJournalStream(mine, -1));
}

void TestStreams::prioritiesInJournal_data()
{
    QTest::addColumn<QString>("journalStream"); // "self": the stderr file's own device and inode
    QTest::newRow("the journal") << "self";
    QTest::newRow("another stream") << "1:1";
    QTest::newRow("unset") << "";
}

// The real tool with stderr in a file that JOURNAL_STREAM names (as systemd
// names the journal's socket): every line carries its priority, the error
// "<3>"; otherwise the lines are exactly as on a terminal-less run.
void TestStreams::prioritiesInJournal()
{
    QFETCH(QString, journalStream);
    WatchStation station;
    const QStringList paths = images(station);
    const QString errFile = station.dir.filePath("stderr");
    TestSupport::writeFile(errFile, QByteArray());
    struct stat status {};
    QVERIFY(::stat(QFile::encodeName(errFile).constData(), &status) == 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("JOURNAL_STREAM");
    if (journalStream == "self")
        environment.insert("JOURNAL_STREAM", QStringLiteral("%1:%2").arg(status.st_dev).arg(status.st_ino));
    else if (!journalStream.isEmpty())
        environment.insert("JOURNAL_STREAM", journalStream);
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setStandardErrorFile(errFile, QIODevice::Append);
    tool.start(WatchStation::tool(),
               QStringList{"process", "--settings", station.settings, "--out", station.dir.filePath("r")} + paths);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 1);
    const QStringList lines = QString::fromUtf8(TestSupport::readFile(errFile)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const bool marked = journalStream == "self";
    QCOMPARE(lines.at(0), QString(marked ? "<6>" : "") + "a.bmp: найдено точек 2 из 2");
    QCOMPARE(lines.at(1), QString(marked ? "<6>" : "") + "c.bmp: найдено точек 2 из 2");
    QVERIFY2(lines.at(2).startsWith(QString(marked ? "<3>" : "") + "kelvarin2-cli: "), qPrintable(lines.at(2)));
}

// A watch under systemd: a limit crossed is "<2>" (journalctl -p warning
// shows it), the banner and the image lines "<6>".
void TestStreams::alarmOfAWatchInJournal()
{
    WatchStation station;
    TestSupport::writeFile(station.zones, "0;0;19;31;0;0\r\n20;0;39;31;23;3\r\n");
    TestSupport::writeFile(station.settings, TestSupport::readFile(station.settings) + "AlarmLimit=2\r\n");
    const QString errFile = station.dir.filePath("stderr");
    TestSupport::writeFile(errFile, QByteArray());
    struct stat status {};
    QVERIFY(::stat(QFile::encodeName(errFile).constData(), &status) == 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JOURNAL_STREAM", QStringLiteral("%1:%2").arg(status.st_dev).arg(status.st_ino));
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setStandardErrorFile(errFile, QIODevice::Append);
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    TestSupport::writeFile(QDir(station.buffer).filePath("img0.bmp"), WatchStation::image(1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readFile(errFile).contains("img0.bmp"), 30000);
    ::kill(pid_t(tool.processId()), SIGTERM);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(TestSupport::readFile(errFile)).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 3, qPrintable(lines.join('\n')));
    QVERIFY2(lines.at(0).startsWith("<6>Наблюдение за "), qPrintable(lines.at(0)));
    QVERIFY2(lines.filter(QRegularExpression("^<2>kelvarin2-cli: АВАРИЯ: Зона 1: ")).size() == 1,
             qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("<6>img0.bmp: найдено точек 2 из 2"), qPrintable(lines.join('\n')));
}

void TestStreams::closedPipeKeepsResults_data()
{
    QTest::addColumn<bool>("stderrToo");
    QTest::newRow("stdout closed") << false;
    QTest::newRow("stdout and stderr closed") << true;
}

// `process ... | head -1` once head has gone: the writes fail, the run goes
// on, the result set is written whole and the status is the run's own.
void TestStreams::closedPipeKeepsResults()
{
    QFETCH(bool, stderrToo);
    WatchStation station;
    const QString image = QDir(station.buffer).filePath("a.bmp");
    TestSupport::writeFile(image, WatchStation::image(1, 1));
    int ends[2];
    QVERIFY(::pipe(ends) == 0);
    ::close(ends[0]); // nobody will ever read: every write fails with EPIPE
    QProcess tool;
    tool.setChildProcessModifier([ends, stderrToo] {
        ::dup2(ends[1], STDOUT_FILENO);
        if (stderrToo)
            ::dup2(ends[1], STDERR_FILENO);
    });
    const QString base = station.dir.filePath("r");
    tool.start(WatchStation::tool(), {"process", "--settings", station.settings, "--out", base, image, image});
    QVERIFY(tool.waitForFinished(60000));
    ::close(ends[1]);
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(TestSupport::readFile(base + "_1.crd").count('\n'), 2);
    QVERIFY(QFile::exists(base + "_time.log"));
}

QTEST_GUILESS_MAIN(TestStreams)
#include "tst_streams.moc"

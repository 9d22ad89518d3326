#include "BufferWatcher.h"
#include "EventLog.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <sys/stat.h>

// The event log's lines and the watch's pauses before another try at disposal.
class TestEventLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineFields_data();
    void lineFields();
    void appendsOnlyWarningsOfTheStation();
    void refusesALinkAtItsName();
    void disposalPausesDoubleUpToAMinute();
};

void TestEventLog::lineFields_data()
{
    QTest::addColumn<int>("offsetSeconds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("east of UTC") << 3 * 3600 << "Изображение отложено."
                                 << QByteArray("2026-12-09T14:03:11+03:00\twarning\twatch\t/b/a.bmp\t")
                                        + QStringLiteral("Изображение отложено.").toUtf8() + "\n";
    QTest::newRow("west of UTC, half hour") << -(3 * 3600 + 1800) << "x"
                                            << QByteArray("2026-12-09T14:03:11-03:30\twarning\twatch\t/b/a.bmp\tx\n");
    QTest::newRow("tabs and line breaks become blanks") << 0 << "a\tb\r\nc\n"
                                                        << QByteArray("2026-12-09T14:03:11+00:00\twarning\twatch\t/b/a.bmp\ta b  c\n");
}

void TestEventLog::lineFields()
{
    QFETCH(int, offsetSeconds);
    QFETCH(QString, text);
    QFETCH(QByteArray, line);
    TIssue issue = TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, "/b/a.bmp", text);
    issue.time = QDateTime(QDate(2026, 12, 9), QTime(14, 3, 11), QTimeZone(offsetSeconds));
    QCOMPARE(EventLog::line(issue), line);
}

void TestEventLog::appendsOnlyWarningsOfTheStation()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kelvarin2-events.log");
    TestSupport::writeFile(path, "earlier line\n");
    EventLog log(dir.path());
    log.report(TIssue::make(TIssue::Severity::Information, TIssue::Source::Watch, {}, "notice"));
    log.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Settings, {}, "settings"));
    log.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, "/w/x.bmp", "bad image"));
    log.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, "/b/y.bmp", "set aside"));
    const QList<QByteArray> lines = TestSupport::readFile(path).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QByteArray("earlier line"));
    QVERIFY(lines.at(1).endsWith("\terror\trun\t/w/x.bmp\tbad image"));
    QVERIFY(lines.at(2).endsWith("\twarning\twatch\t/b/y.bmp\tset aside"));
    QVERIFY(log.lastFailure().isEmpty());
}

void TestEventLog::refusesALinkAtItsName()
{
    QTemporaryDir dir, elsewhere;
    const QString target = elsewhere.filePath("precious");
    TestSupport::writeFile(target, "precious");
    QVERIFY(QFile::link(target, dir.filePath("kelvarin2-events.log")));
    EventLog log(dir.path());
    log.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, {}, "x"));
    QVERIFY(!log.lastFailure().isEmpty());
    QCOMPARE(TestSupport::readFile(target), QByteArray("precious"));
}

void TestEventLog::disposalPausesDoubleUpToAMinute()
{
    QTemporaryDir dir;
    const QString image = dir.filePath("a.bmp");
    TestSupport::writeFile(image, "BM");
    BufferWatcher watcher;
    qint64 now = 1000000;
    const QList<qint64> pauses{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
    for (qint64 pause : pauses) {
        watcher.disposalFailed(image, now);
        QCOMPARE(watcher.next(dir.path(), now + pause - 1).work, BufferWatcher::Work::None);
        const BufferWatcher::Next due = watcher.next(dir.path(), now + pause);
        QCOMPARE(due.work, BufferWatcher::Work::DisposeOnly);
        QCOMPARE(due.path, image);
        now += pause;
    }
    // Gone from the buffer: forgotten.
    QVERIFY(QFile::remove(image));
    watcher.next(dir.path(), now);
    QVERIFY(!watcher.awaitingDisposal(image));
}

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"

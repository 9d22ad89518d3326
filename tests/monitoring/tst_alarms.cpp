// Limit crossings and the alarm command: once per crossing, never blocking.
#include "AlarmCommand.h"
#include "DisplacementMonitor.h"
#include "MonitoringRows.h"
#include "TIssue.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <memory>

// The state letter of a process ("S", "Z", ...) from /proc; 0 when it is gone.
static char processState(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() ? line.at(close + 2) : char(0);
}

class CollectingSink : public TIssueSink
{
public:
    void report(const TIssue &issue) override { issues << issue; }
    QList<TIssue> issues;
};

class TestAlarms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void crossings_data();
    void crossings();
    void commandLine_data();
    void commandLine();
    void timeCarriesItsOffset_data();
    void timeCarriesItsOffset();
    void commandGroupIsEnded_data();
    void commandGroupIsEnded();
    void monitorStartsCommandOncePerCrossing();
    void failingCommandsAreReported_data();
    void failingCommandsAreReported();
    void hangingCommandDoesNotStopTheWatch();
};

static MonitoringSettings limits()
{
    MonitoringSettings s;
    s.warningLimit = 1;
    s.alarmLimit = 2;
    return s;
}

// Each character is one image of zone 1: '.' within limits, 'w' past warning,
// 'a' past alarm, '-' not found. The expected string has the level of the
// event an image raised, or '.' for none.
void TestAlarms::crossings_data()
{
    QTest::addColumn<QString>("images");
    QTest::addColumn<QString>("events");
    QTest::newRow("stays passed") << "..aaaa" << "..a...";
    QTest::newRow("passes again after falling back") << ".a.a" << ".a.a";
    QTest::newRow("warning then alarm") << "wwaa" << "w.a.";
    QTest::newRow("alarm falling to warning raises nothing") << "aw.w" << "a..w";
    QTest::newRow("not found keeps the state") << "a-a--a" << "a.....";
    QTest::newRow("first image not found") << "-w" << ".w";
}

void TestAlarms::crossings()
{
    QFETCH(QString, images);
    QFETCH(QString, events);
    AlarmTracker tracker;
    QString raised;
    for (int i = 0; i < images.size(); ++i) {
        const QChar c = images.at(i);
        const double m = c == 'a' ? 2.5 : c == 'w' ? 1.5 : 0.5;
        const QList<AlarmEvent> e = tracker.update(
            Displacement::evaluate(imageRows(i + 1, {{1, c != '-', m * 0.6, m * 0.8}, {2, true, 0, 0}}), limits()),
            limits());
        QVERIFY(e.size() <= 1);
        raised += e.isEmpty() ? QChar('.') : e.first().level == LimitLevel::Alarm ? QChar('a') : QChar('w');
        if (!e.isEmpty()) {
            QCOMPARE(e.first().zone, 1);
            QCOMPARE(e.first().number, i + 1);
            QCOMPARE(e.first().magnitude, m);
        }
    }
    QCOMPARE(raised, events);
}

void TestAlarms::commandLine_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << "  " << QStringList{};
    QTest::newRow("every placeholder")
        << "/bin/notify {zone} {level} {dx} {dy} {magnitude} {image} {time}"
        << QStringList{"/bin/notify", "3", "alarm", "1.5000", "-2.0000", "2.5000", "my image {zone}.bmp",
                       "2026-05-01T12:10:00Z"};
    QTest::newRow("quoted argument keeps its words")
        << "send \"Зона {zone}: {magnitude} мм\" \"x y\""
        << QStringList{"send", "Зона 3: 2.5000 мм", "x y"};
    QTest::newRow("no shell: operators are arguments") << "echo {zone}; rm -rf / | cat"
                                                        << QStringList{"echo", "3;", "rm", "-rf", "/", "|", "cat"};
    QTest::newRow("unknown placeholder stays") << "a {zones}{zone}" << QStringList{"a", "{zones}3"};
    // How words are split, as the README documents it: only double quotes group.
    QTest::newRow("single quotes are ordinary") << "a 'single q'" << QStringList{"a", "'single", "q'"};
    QTest::newRow("backslash is ordinary") << "a plain\\\"quote" << QStringList{"a", "plain\\quote"};
    QTest::newRow("three quotes give one") << "a \"say \"\"\"hi\"\"\"\"" << QStringList{"a", "say \"hi\""};
    QTest::newRow("blanks and tabs separate") << "a\t b   c" << QStringList{"a", "b", "c"};
}

// {time} says which time it is: a local time carries its offset from UTC.
void TestAlarms::timeCarriesItsOffset_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::newRow("local") << QDateTime(QDate(2026, 5, 1), QTime(12, 10));
    QTest::newRow("offset") << QDateTime(QDate(2026, 5, 1), QTime(12, 10), QTimeZone(-16200));
    QTest::newRow("UTC") << QDateTime(QDate(2026, 5, 1), QTime(12, 10), Qt::UTC);
}

void TestAlarms::timeCarriesItsOffset()
{
    QFETCH(QDateTime, time);
    AlarmEvent e;
    e.time = time;
    const QString text = AlarmCommand::commandLine(QStringLiteral("x {time}"), e).value(1);
    QVERIFY2(QRegularExpression(QStringLiteral("^2026-05-01T\\d\\d:\\d\\d:00([+-]\\d\\d:\\d\\d|Z)$")).match(text).hasMatch(),
             qPrintable(text));
    QCOMPARE(QDateTime::fromString(text, Qt::ISODate), time);
}

// Everything a command started ends with it: after its time, and when the
// monitoring ends while it still runs.
void TestAlarms::commandGroupIsEnded_data()
{
    QTest::addColumn<bool>("byTimeout");
    QTest::newRow("after its time") << true;
    QTest::newRow("at the end of the watch") << false;
}

void TestAlarms::commandGroupIsEnded()
{
    QFETCH(bool, byTimeout);
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    CollectingSink sink;
    auto command = std::make_unique<AlarmCommand>(sink);
    // The shell waits for a child that ignores SIGTERM: only the group's SIGKILL ends both.
    command->setCommand(QStringLiteral("sh -c \"trap '' TERM; sleep 600 & echo $! > '%1'; wait; echo\"").arg(pidFile));
    command->setTimeout(byTimeout ? 500 : 600000);
    QSignalSpy ended(command.get(), &AlarmCommand::commandEnded);
    command->start(AlarmEvent());
    QTRY_VERIFY(QFileInfo(pidFile).size() > 0);
    const pid_t child = pid_t(TestSupport::readFile(pidFile).trimmed().toLong());
    QVERIFY(child > 0);
    if (byTimeout)
        QTRY_COMPARE(ended.size(), 1);
    else
        command.reset();
    // Gone, or a zombie of no one's: the child was reparented, so only its state tells.
    QTRY_VERIFY(::kill(child, 0) != 0 || processState(child) == 'Z');
}

void TestAlarms::commandLine()
{
    QFETCH(QString, command);
    AlarmEvent e;
    e.zone = 3;
    e.level = LimitLevel::Alarm;
    e.dx = 1.5;
    e.dy = -2;
    e.magnitude = 2.5;
    e.image = QStringLiteral("my image {zone}.bmp");
    e.time = QDateTime(QDate(2026, 5, 1), QTime(12, 10), Qt::UTC);
    QTEST(AlarmCommand::commandLine(command, e), "expected");
}

// The command writes one line per start; it must run once for each crossing.
void TestAlarms::monitorStartsCommandOncePerCrossing()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("calls.txt"));
    const QString script = dir.filePath(QStringLiteral("notify.sh"));
    TestSupport::writeFile(script, "#!/bin/sh\necho \"$1 $2 $3\" >> \"$4\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    MonitoringSettings s = limits();
    s.alarmCommand = QStringLiteral("\"%1\" {zone} {level} {image} \"%2\"").arg(script, log);
    CollectingSink sink;
    DisplacementMonitor monitor(s, sink);
    QSignalSpy ended(&monitor.command(), &AlarmCommand::commandEnded);
    const QString levels = QStringLiteral("..aaa.w..a");
    for (int i = 0; i < levels.size(); ++i) {
        const double m = levels.at(i) == 'a' ? 3 : levels.at(i) == 'w' ? 1.5 : 0;
        monitor.imageMeasured(imageRecord(i + 1, {{1, true, m, 0}, {2, true, 0, 0}}));
    }
    QTRY_COMPARE(ended.size(), 3);
    QVERIFY(ended.at(0).at(0).toBool() && ended.at(2).at(0).toBool());
    // The commands run side by side; the order they write in is theirs.
    QList<QByteArray> calls = TestSupport::readFile(log).split('\n');
    std::sort(calls.begin(), calls.end());
    QCOMPARE(calls, (QList<QByteArray>{"", "1 alarm img0003.bmp", "1 alarm img0010.bmp", "1 warning img0007.bmp"}));
    QCOMPARE(sink.issues.size(), 3);
    QCOMPARE(sink.issues.at(0).severity, TIssue::Severity::Alarm);
    QCOMPARE(sink.issues.at(1).severity, TIssue::Severity::Warning);
    QCOMPARE(sink.issues.at(0).source, TIssue::Source::Monitoring);
    QCOMPARE(sink.issues.at(0).file, QStringLiteral("img0003.bmp"));
    QVERIFY2(sink.issues.at(0).text.startsWith(QStringLiteral("Зона 1: смещение 3")), qPrintable(sink.issues.at(0).text));
}

void TestAlarms::failingCommandsAreReported_data()
{
    QTest::addColumn<QString>("script");  // empty: a program that does not exist
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing program") << "" << "не запускается";
    QTest::newRow("exit status") << "#!/bin/sh\nexit 3\n" << "завершилась с кодом 3";
    QTest::newRow("killed by a signal") << "#!/bin/sh\nkill -9 $$\n" << "завершилась аварийно";
}

void TestAlarms::failingCommandsAreReported()
{
    QFETCH(QString, script);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("notify"));
    if (!script.isEmpty()) {
        TestSupport::writeFile(program, script.toUtf8());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    CollectingSink sink;
    AlarmCommand command(sink);
    command.setCommand(program + QStringLiteral(" {zone}"));
    QSignalSpy ended(&command, &AlarmCommand::commandEnded);
    command.start(AlarmEvent());
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().toBool(), false);
    QCOMPARE(sink.issues.size(), 1);
    QCOMPARE(sink.issues.first().severity, TIssue::Severity::Warning);
    QVERIFY2(sink.issues.first().text.contains(reason), qPrintable(sink.issues.first().text));
    QVERIFY(sink.issues.first().text.contains(program));
    QCOMPARE(command.running(), 0);
}

// A command that never ends: starting returns at once, the images after it
// are still monitored, the number running stays bounded and the command is
// killed after its time.
void TestAlarms::hangingCommandDoesNotStopTheWatch()
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    MonitoringSettings s = limits();
    s.alarmCommand = QStringLiteral("sh -c \"echo $$ >> '%1'; exec sleep 600\"").arg(pidFile);
    CollectingSink sink;
    DisplacementMonitor monitor(s, sink);
    monitor.command().setTimeout(1500);
    QSignalSpy ended(&monitor.command(), &AlarmCommand::commandEnded);
    // Ten separate crossings of ten zones.
    QList<ZoneValue> zones;
    for (int z = 1; z <= 10; ++z)
        zones << ZoneValue{z, true, 3, 0};
    const QList<AlarmEvent> events = monitor.imageMeasured(imageRecord(1, zones));
    QCOMPARE(events.size(), 10);
    QCOMPARE(monitor.command().running(), AlarmCommand::MaxRunning);
    // Two events were not started, and said so.
    QCOMPARE(sink.issues.size(), 12);
    QVERIFY(sink.issues.at(9).text.contains(QStringLiteral("пропущено")));
    // The next image is handled while the commands still run.
    monitor.imageMeasured(imageRecord(2, {{11, true, 3, 0}}));
    QCOMPARE(sink.issues.size(), 14);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), AlarmCommand::MaxRunning, 20000);
    for (const QList<QVariant> &call : ended)
        QCOMPARE(call.first().toBool(), false);
    QVERIFY(sink.issues.last().text.contains(QStringLiteral("остановлена")));
    QCOMPARE(monitor.command().running(), 0);
}

QTEST_GUILESS_MAIN(TestAlarms)
#include "tst_alarms.moc"

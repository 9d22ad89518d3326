// The check for monitoring systems: statuses, the line and its performance data.
#include "MonitoringCheck.h"
#include "MemoryJournal.h"
#include "MonitoringRows.h"

#include <QTest>

class TestMonitoringCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statuses_data();
    void statuses();
    void tooOld();
    void noImage();
    void journalRuns_data();
    void journalRuns();
    void lostTargets_data();
    void lostTargets();
    void lineStaysOneLine();
    void age_data();
    void age();
};

static const QDateTime now = QDateTime(QDate(2026, 5, 1), QTime(13, 0), Qt::UTC);

void TestMonitoringCheck::statuses_data()
{
    QTest::addColumn<QList<ZoneValue>>("last");
    QTest::addColumn<bool>("millimetres");
    QTest::addColumn<bool>("references");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");

    const QString head = QStringLiteral("запуск 7, изображение img0003.bmp (2026-05-01T12:30:00Z), ");
    QTest::newRow("ok in pixels")
        << QList<ZoneValue>{{1, true, 0.3, 0.4}, {3, true, 0.6, 0.8}} << false << false << 0
        << QString("KELVARIN2 OK - " + head + "смещения в пределах | zone1=0.5;1;2 zone3=1;1;4");
    QTest::newRow("warning in millimetres, zone override")
        << QList<ZoneValue>{{1, true, 3, 4}, {3, true, 6, 8}} << true << false << 1
        << QString("KELVARIN2 WARNING - " + head
                   + "выше предела: зона 1 1.25 мм, зона 3 2.5 мм | zone1=1.25mm;1;2 zone3=2.5mm;1;4");
    QTest::newRow("critical")
        << QList<ZoneValue>{{1, true, 0, 2.5}, {3, true, 0, 0}} << false << false << 2
        << QString("KELVARIN2 CRITICAL - " + head + "выше предела: зона 1 2.5 пикс | zone1=2.5;1;2 zone3=0;1;4");
    QTest::newRow("zones without a value are named")
        << QList<ZoneValue>{{1, true, 0, 0.5}, {2, false, 0, 0}, {3, true, 0, 0, false}} << false << false << 1
        << QString("KELVARIN2 WARNING - " + head
                   + "смещения в пределах; цель зоны 2 не найдена; без значения: зоны 3 | zone1=0.5;1;2");
    QTest::newRow("corrected by the reference zone")
        << QList<ZoneValue>{{1, true, 5, 5}, {2, true, 5, 5.5}, {3, true, 5, 4}} << false << true << 1
        << QString("KELVARIN2 WARNING - " + head + "выше предела: зона 3 1.5 пикс | zone1=0.5;1;2 zone2=0;1;2 zone3=1.5;1;4");
    QTest::newRow("no zone with a value")
        << QList<ZoneValue>{{1, true, 1, 1}, {2, true, 0, 0, false}} << false << true << 3
        << QString("KELVARIN2 UNKNOWN - на изображении img0003.bmp запуска 7 нет ни одной зоны со смещением");
}

void TestMonitoringCheck::statuses()
{
    QFETCH(QList<ZoneValue>, last);
    QFETCH(bool, millimetres);
    QFETCH(bool, references);
    MonitoringSettings s;
    s.warningLimit = 1;
    s.alarmLimit = 2;
    s.zoneAlarmLimits.insert(3, 4);
    if (millimetres)
        s.pixelSize = 0.25;
    if (references)
        s.referenceZones = {2};
    // Earlier images far past the limits must not count: only the last one does.
    const QList<TJournalRow> rows = imageRows(1, {{1, true, 50, 50}}, 7) + imageRows(3, last, 7)
        + imageRows(2, {{1, true, 90, 0}, {2, false, 0, 0}}, 7);
    const MonitoringCheck::Result r = MonitoringCheck::evaluate(7, rows, s, now, -1);
    QTEST(r.exitCode(), "status");
    QTEST(r.line, "line");
}

void TestMonitoringCheck::tooOld()
{
    const QList<TJournalRow> rows = imageRows(3, {{1, true, 0, 0}}, 7); // 12:30
    MonitoringSettings s;
    QCOMPARE(MonitoringCheck::evaluate(7, rows, s, now, 1800).status, MonitoringCheck::Ok);
    const MonitoringCheck::Result old = MonitoringCheck::evaluate(7, rows, s, now, 1799);
    QCOMPARE(old.exitCode(), 3);
    QCOMPARE(old.line, QStringLiteral("KELVARIN2 UNKNOWN - последнее изображение img0003.bmp запуска 7 старше 1799 с "
                                      "(2026-05-01T12:30:00Z)"));
}

void TestMonitoringCheck::noImage()
{
    const MonitoringCheck::Result r = MonitoringCheck::evaluate(4, {}, MonitoringSettings(), now, -1);
    QCOMPARE(r.exitCode(), 3);
    QCOMPARE(r.line, QStringLiteral("KELVARIN2 UNKNOWN - в запуске 4 нет изображений"));
}

void TestMonitoringCheck::journalRuns_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QString>("run");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");
    QTest::newRow("no journal") << false << false << "" << 3 << "KELVARIN2 UNKNOWN - журнал не открыт: нет файла";
    QTest::newRow("no run in the journal") << true << true << "" << 3
                                           << "KELVARIN2 UNKNOWN - в журнале нет ни одного запуска станции north";
    // Run 6 is the newest, but another station's.
    QTest::newRow("the station's newest run") << true << false << "" << 0 << "KELVARIN2 OK - станция north, запуск 4";
    QTest::newRow("chosen run") << true << false << "6" << 2 << "KELVARIN2 CRITICAL - станция south, запуск 6";
    QTest::newRow("unknown run") << true << false << "5" << 3 << "KELVARIN2 UNKNOWN - запуска 5 нет в журнале";
    QTest::newRow("bad run") << true << false << "x" << 3 << "KELVARIN2 UNKNOWN - неверный номер запуска: x";
}

void TestMonitoringCheck::journalRuns()
{
    QFETCH(bool, open);
    QFETCH(bool, empty);
    QFETCH(QString, run);
    MemoryJournal journal;
    if (!empty) {
        journal.runList = {TJournalRun{4, "watch", "a", now, now, 1, "north"},
                           TJournalRun{6, "cli", "b", now, now, 1, "south"}};
        journal.rowList = imageRows(1, {{1, true, 0, 0.5}}, 4) + imageRows(1, {{1, true, 0, 5}}, 6);
        for (TJournalRow &row : journal.rowList)
            row.station = row.runId == 4 ? "north" : "south";
    }
    MonitoringCheck::Request request;
    request.runText = run;
    request.station = "north";
    request.settings = MonitoringSettings();
    request.settings->alarmLimit = 2;
    request.now = now;
    const MonitoringCheck::Result r =
        MonitoringCheck::run(open ? &journal : nullptr, QStringLiteral("журнал не открыт: нет файла"), request);
    QTEST(r.exitCode(), "status");
    QFETCH(QString, line);
    QVERIFY2(r.line.startsWith(line), qPrintable(r.line));
}

// A zone with a limit whose target is gone in the last image is never OK:
// WARNING, and CRITICAL when the value it last had was above the alarm limit.
void TestMonitoringCheck::lostTargets_data()
{
    QTest::addColumn<QList<ZoneValue>>("before");
    QTest::addColumn<QList<ZoneValue>>("last");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    const QString head = QStringLiteral("запуск 7, изображение img0012.bmp (2026-05-01T14:00:00Z), ");
    QTest::newRow("gone after a warning")
        << QList<ZoneValue>{{1, true, 0, 0.2}, {3, true, 0, 1.99}} << QList<ZoneValue>{{1, true, 0, 0.2}, {3, false, 0, 0}}
        << 1 << QString("KELVARIN2 WARNING - " + head + "смещения в пределах; цель зоны 3 не найдена | zone1=0.2;1.5;2.5");
    QTest::newRow("gone after an alarm")
        << QList<ZoneValue>{{1, true, 0, 0.2}, {3, true, 0, 3}} << QList<ZoneValue>{{1, true, 0, 0.2}, {3, false, 0, 0}}
        << 2 << QString("KELVARIN2 CRITICAL - " + head + "смещения в пределах; цель зоны 3 не найдена | zone1=0.2;1.5;2.5");
    QTest::newRow("every target gone")
        << QList<ZoneValue>{{1, true, 0, 0.2}, {3, true, 0, 0.3}} << QList<ZoneValue>{{1, false, 0, 0}, {3, false, 0, 0}}
        << 1 << QString("KELVARIN2 WARNING - " + head + "цель зоны 1 не найдена, цель зоны 3 не найдена");
    QTest::newRow("no origin is no lost target")
        << QList<ZoneValue>{{1, true, 0, 0.2}} << QList<ZoneValue>{{1, true, 0, 0.2}, {3, true, 0, 0, false}}
        << 0 << QString("KELVARIN2 OK - " + head + "смещения в пределах; без значения: зоны 3 | zone1=0.2;1.5;2.5");
}

void TestMonitoringCheck::lostTargets()
{
    QFETCH(QList<ZoneValue>, before);
    QFETCH(QList<ZoneValue>, last);
    MemoryJournal journal;
    journal.runList = {TJournalRun{7, "watch", "a", now, now, 12, {}}};
    journal.rowList = imageRows(10, before, 7) + imageRows(11, before, 7) + imageRows(12, last, 7);
    MonitoringCheck::Request request;
    request.settings = MonitoringSettings();
    request.settings->warningLimit = 1.5;
    request.settings->alarmLimit = 2.5;
    request.now = now.addSecs(7200);
    const MonitoringCheck::Result r = MonitoringCheck::run(&journal, QString(), request);
    QTEST(r.exitCode(), "status");
    QTEST(r.line, "text");
}

// What a monitoring system takes apart: one line, the first "|" before the performance data.
void TestMonitoringCheck::lineStaysOneLine()
{
    QList<TJournalRow> rows = imageRows(3, {{1, true, 0, 0.5}}, 7);
    rows[0].image = QStringLiteral("a|b\nc.bmp");
    MonitoringSettings s;
    const MonitoringCheck::Result r = MonitoringCheck::evaluate(7, rows, s, now, -1);
    QCOMPARE(r.line, QString("KELVARIN2 OK - запуск 7, изображение a\u00a6b c.bmp (2026-05-01T12:30:00Z), пределы не заданы "
                             "| zone1=0.5;;"));
    QCOMPARE(MonitoringCheck::unknown(QStringLiteral("server said:\nFATAL: no | way\n")).line,
             QStringLiteral("KELVARIN2 UNKNOWN - server said: FATAL: no \u00a6 way"));
}

void TestMonitoringCheck::age_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("seconds") << "90" << true << qint64(90);
    QTest::newRow("s") << "90s" << true << qint64(90);
    QTest::newRow("minutes") << "15m" << true << qint64(900);
    QTest::newRow("hours") << "2H" << true << qint64(7200);
    QTest::newRow("days") << "1d" << true << qint64(86400);
    QTest::newRow("unit only") << "h" << false << qint64(0);
    QTest::newRow("negative") << "-5" << false << qint64(0);
    QTest::newRow("weeks") << "1w" << false << qint64(0);
    QTest::newRow("decimal") << "1.5h" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("days beyond counting") << "99999999999999999d" << false << qint64(0);
    QTest::newRow("seconds beyond counting") << "99999999999999999999" << false << qint64(0);
    QTest::newRow("largest days") << "106751991167300d" << true << qint64(106751991167300) * 86400;
}

void TestMonitoringCheck::age()
{
    QFETCH(QString, text);
    qint64 seconds = 0;
    QTEST(MonitoringCheck::parseAge(text, &seconds), "ok");
    QTEST(seconds, "seconds");
}

QTEST_GUILESS_MAIN(TestMonitoringCheck)
#include "tst_monitoringcheck.moc"

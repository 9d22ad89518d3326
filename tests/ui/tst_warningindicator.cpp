// The warning sign of the status bar: what its tool tip says after one and
// after several issues, texts that hold a "%1" kept as they are, notices
// passed over; the event log window it opens (one, kept up to date).

#include "EventLog.h"
#include "EventLogWindow.h"
#include "TIssue.h"
#include "WarningIndicator.h"

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestWarningIndicator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toolTipCountsIssues();
    void logLineFields_data();
    void logLineFields();
    void oneLogWindowFollowingTheLog();
};

void TestWarningIndicator::toolTipCountsIssues()
{
    WarningIndicator indicator;
    const QDateTime time(QDate(2024, 3, 1), QTime(10, 0, 5));
    auto issue = [&](TIssue::Severity severity, const QString &text) {
        TIssue made = TIssue::make(severity, TIssue::Source::Watch, QString(), text);
        made.time = time;
        return made;
    };
    indicator.noteIssue(issue(TIssue::Severity::Information, QStringLiteral("Ожидание")), QStringLiteral("/w/e.log"));
    QVERIFY(indicator.toolTip().isEmpty());

    indicator.noteIssue(issue(TIssue::Severity::Warning, QStringLiteral("Изображение img%1.bmp отложено")),
                        QStringLiteral("/w/e.log"));
    QCOMPARE(indicator.toolTip(), EventLog::timeText(time)
                                      + QStringLiteral("  Изображение img%1.bmp отложено\n"
                                                       "(нажмите, чтобы открыть журнал событий: /w/e.log)"));
    indicator.noteIssue(issue(TIssue::Severity::Error, QStringLiteral("Нет места")), QStringLiteral("/w/e.log"));
    QCOMPARE(indicator.toolTip(), EventLog::timeText(time)
                                      + QStringLiteral("  Нет места\n"
                                                       "(предупреждений: 2; нажмите, чтобы открыть журнал событий: "
                                                       "/w/e.log)"));
}

void TestWarningIndicator::logLineFields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("a line of the log")
        << "2026-12-09T14:03:11+03:00\twarning\twatch\t/b/x.bmp\tИзображение x.bmp отложено"
        << QStringList{"2026-12-09T14:03:11+03:00", "warning", "watch", "/b/x.bmp", "Изображение x.bmp отложено"};
    QTest::newRow("no file") << "t\terror\trun\t\tНет места"
                             << QStringList{"t", "error", "run", "", "Нет места"};
    QTest::newRow("a foreign line is all message") << "written by hand" << QStringList{"", "", "", "", "written by hand"};
    QTest::newRow("tabs in the message") << "t\talarm\tmonitoring\tf\ta\tb" << QStringList{"t", "alarm", "monitoring", "f", "a b"};
}

void TestWarningIndicator::logLineFields()
{
    QFETCH(QString, line);
    QTEST(EventLogWindow::fields(line), "fields");
}

static int logWindows()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<EventLogWindow *>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

// Clicked twice, the sign has one window; lines written while it is open,
// by this program or another one, appear in it.
void TestWarningIndicator::oneLogWindowFollowingTheLog()
{
    QTemporaryDir dir;
    QWidget window;
    auto *indicator = new WarningIndicator(&window);
    window.show();
    EventLog log(dir.path());
    const TIssue first = TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, dir.filePath("a.bmp"),
                                      QStringLiteral("Изображение a.bmp отложено"));
    log.report(first);
    indicator->noteIssue(first, log.path());
    QTest::mouseClick(indicator, Qt::LeftButton);
    indicator->openEventLog();
    QCOMPARE(logWindows(), 1);
    QTableWidget *table = indicator->logWindow()->table();
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("предупреждение"));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("наблюдение"));
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("Изображение a.bmp отложено"));

    const TIssue second = TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, QString(), QStringLiteral("Нет места"));
    log.report(second);
    indicator->noteIssue(second, log.path());
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("ошибка"));
    // A watch of the headless tool appends to the same log.
    QFile other(log.path());
    QVERIFY(other.open(QIODevice::Append));
    other.write(EventLog::line(TIssue::make(TIssue::Severity::Alarm, TIssue::Source::Monitoring, QString(),
                                            QStringLiteral("Зона 3"))));
    other.close();
    QTRY_COMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("авария"));
    indicator->logWindow()->close();
}

QTEST_MAIN(TestWarningIndicator)
#include "tst_warningindicator.moc"

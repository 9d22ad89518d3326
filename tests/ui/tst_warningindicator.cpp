// The warning sign of the status bar: what its tool tip says after one and
// after several issues, texts that hold a "%1" kept as they are, notices
// passed over.

#include "EventLog.h"
#include "TIssue.h"
#include "WarningIndicator.h"

#include <QtTest>

class TestWarningIndicator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toolTipCountsIssues();
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

QTEST_MAIN(TestWarningIndicator)
#include "tst_warningindicator.moc"

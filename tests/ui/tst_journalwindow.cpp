#include "MainFormSetup.h"
#include "ElidedLabel.h"
#include "TJournal.h"

#include <QLabel>
#include <QMenu>
#include <QtTest>

// The journal in the main window: runs are recorded, the status bar says where
// the journal is or that it failed, and "Экспорт измерений..." writes the CSV
// of the run the user picks.
class TestJournalWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsAreRecordedAndExported();
    void exportOfUnknownRunOrWithoutJournal();
    void failingJournalIsShownAndResultsAreWritten();
};

void TestJournalWindow::runsAreRecordedAndExported()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    QCOMPARE(ExportMeasurements(*form)->text(), QStringLiteral("Экспорт измерений..."));
    QVERIFY(File1(*form)->actions().contains(ExportMeasurements(*form)));
    QCOMPARE(JournalPanel(*form)->text(), QStringLiteral(" Журнал: kelvarin2-journal.sqlite "));
    QVERIFY(JournalPanel(*form)->toolTip().contains(setup.work + "/kelvarin2-journal.sqlite"));

    setup.select({0, 1, 2});
    form->N4Click();
    setup.select({0});
    form->N4Click();
    TJournal journal(setup.work + "/kelvarin2-journal.sqlite");
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.at(0).kind, QStringLiteral("manual"));
    QCOMPARE(runs.at(0).images, 3);
    QCOMPARE(runs.at(0).base, setup.work + "/work_0001");
    QCOMPARE(runs.at(1).images, 1);

    // The first run, chosen by its number instead of the last one proposed.
    const QString file = setup.root.filePath("first.csv");
    setup.dialogs.answerInput(true, "1");
    setup.dialogs.answerFile(file);
    form->ExportMeasurementsClick();
    QCOMPARE(setup.dialogs.calls.size(), 2);
    QCOMPARE(setup.dialogs.calls.at(0).kind, QStringLiteral("input"));
    QCOMPARE(setup.dialogs.calls.at(0).text, QStringLiteral("Номер прогона (последний - 2, первый - 1):"));
    QCOMPARE(setup.dialogs.calls.at(1).proposedName, QStringLiteral("work_0001.csv"));
    QCOMPARE(setup.dialogs.calls.at(1).filter, QStringLiteral("CSV (*.csv)|*.csv"));
    const QList<QByteArray> lines = TestSupport::readFile(file).split('\n');
    QCOMPARE(lines.size(), 1 + 3 * 2 + 1);
    QVERIFY(lines.at(0).startsWith("base,number,image,"));
    QVERIFY(lines.at(6).startsWith((setup.work + "/work_0001,3,img_2.bmp,").toUtf8()));
    QCOMPARE(StatusPanel0(*form)->text(), QStringLiteral(" Измерения прогона 1 выгружены в %1.").arg(file));
}

void TestJournalWindow::exportOfUnknownRunOrWithoutJournal()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    form->ExportMeasurementsClick();
    QCOMPARE(setup.dialogs.messageTexts(),
             QStringList{QStringLiteral("Журнал измерений %1/kelvarin2-journal.sqlite еще не создан.").arg(setup.work)});
    setup.dialogs.clear();
    setup.select({0});
    form->N4Click();
    setup.dialogs.answerInput(true, "9");
    form->ExportMeasurementsClick();
    QCOMPARE(setup.dialogs.messageTexts(), QStringList{QStringLiteral("В журнале измерений нет прогона 9.")});
    // Cancelled at the run's number: no file dialog.
    setup.dialogs.clear();
    setup.dialogs.answerInput(false);
    form->ExportMeasurementsClick();
    QCOMPARE(setup.dialogs.calls.size(), 1);
}

void TestJournalWindow::failingJournalIsShownAndResultsAreWritten()
{
    MainFormSetup setup;
    // The journal's file is a directory: it cannot be opened.
    setup.params.JournalFile = setup.root.filePath("journal-dir");
    QDir().mkpath(setup.params.JournalFile);
    setup.writeSettings();
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    QCOMPARE(JournalPanel(*form)->text(), QStringLiteral(" Журнал: journal-dir "));
    setup.select({0, 1});
    form->N4Click();
    QVERIFY(QFile::exists(setup.work + "/work_0001_1.crd"));
    QCOMPARE(JournalPanel(*form)->text(), QStringLiteral(" Журнал не записан! "));
    QVERIFY(JournalPanel(*form)->toolTip().startsWith("Журнал измерений " + setup.params.JournalFile));
    QVERIFY2(StatusPanel0(*form)->text().startsWith(QStringLiteral(" Результаты получены и сохранены. Журнал измерений ")),
             qPrintable(StatusPanel0(*form)->text()));
    QVERIFY(setup.dialogs.messageTexts().isEmpty());
}

QTEST_MAIN(TestJournalWindow)
#include "tst_journalwindow.moc"

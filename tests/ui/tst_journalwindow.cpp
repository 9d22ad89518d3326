#include "MainFormSetup.h"
#include "ElidedLabel.h"
#include "MeasurementExportDialog.h"
#include "TJournal.h"
#include "WarningIndicator.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QtTest>

// The journal in the main window: runs are recorded, the status bar says where
// the journal is or that it failed, and "Экспорт измерений..." writes the CSV
// or JSON of the run the user picks from the list the chart offers.
class TestJournalWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsAreRecordedAndExported();
    void exportOfUnknownRunOrWithoutJournal();
    void failingJournalIsShownAndResultsAreWritten();
    void thresholdCalibrationIsRecorded();
    void warningTextIsShownAsItStands();
};

namespace {

// What the export dialog is to be answered with, and what it offered.
struct ExportAnswer
{
    qint64 run = 0;   // 0: the one proposed
    int format = 0;   // 0 CSV, 1 JSON
    bool ok = true;
    QStringList offered;
};

// Answers the export dialog once it is open, as a user would.
void answerExportDialog(ExportAnswer *answer, int tries = 200)
{
    QTimer::singleShot(10, qApp, [answer, tries] {
        auto *dialog = qobject_cast<MeasurementExportDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (tries > 0)
                answerExportDialog(answer, tries - 1);
            return;
        }
        auto *runs = dialog->findChild<QComboBox *>(QStringLiteral("comboRun"));
        for (int i = 0; i < runs->count(); ++i)
            answer->offered << runs->itemText(i);
        if (answer->run != 0)
            runs->setCurrentIndex(runs->findData(answer->run));
        dialog->findChild<QComboBox *>(QStringLiteral("comboFormat"))->setCurrentIndex(answer->format);
        if (answer->ok)
            dialog->accept();
        else
            dialog->reject();
    });
}

} // namespace

void TestJournalWindow::runsAreRecordedAndExported()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    QCOMPARE(actionExportMeasurements(*form)->text(), QStringLiteral("Экспорт измерений..."));
    QVERIFY(menuFile(*form)->actions().contains(actionExportMeasurements(*form)));
    QCOMPARE(labelJournal(*form)->text(), QStringLiteral(" Журнал: kelvarin2-journal.sqlite "));
    QVERIFY(labelJournal(*form)->toolTip().contains(setup.work + "/kelvarin2-journal.sqlite"));

    setup.select({0, 1, 2});
    form->startProcessing();
    setup.select({0});
    form->startProcessing();
    TJournal journal(setup.work + "/kelvarin2-journal.sqlite");
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.at(0).kind, QStringLiteral("manual"));
    QCOMPARE(runs.at(0).images, 3);
    QCOMPARE(runs.at(0).base, setup.work + "/work_0001");
    QCOMPARE(runs.at(1).images, 1);

    // The first run, chosen in the list the chart offers instead of the newest proposed.
    const QString file = setup.root.filePath("first.csv");
    ExportAnswer answer{1, 0, true, {}};
    answerExportDialog(&answer);
    setup.dialogs.answerFile(file);
    form->exportMeasurements();
    QCOMPARE(answer.offered.size(), 2);
    QVERIFY2(answer.offered.at(0).startsWith(QStringLiteral("Запуск 2: станция ")), qPrintable(answer.offered.at(0)));
    QVERIFY(answer.offered.at(0).endsWith(QStringLiteral(", изображений 1")));
    QVERIFY(answer.offered.at(1).endsWith(QStringLiteral(", изображений 3")));
    QCOMPARE(setup.dialogs.calls.size(), 1);
    QCOMPARE(setup.dialogs.calls.at(0).proposedName, QStringLiteral("work_0001.csv"));
    QCOMPARE(setup.dialogs.calls.at(0).filter, QStringLiteral("CSV (*.csv)|*.csv"));
    const QList<QByteArray> lines = TestSupport::readFile(file).split('\n');
    QCOMPARE(lines.size(), 1 + 3 * 2 + 1);
    QVERIFY(lines.at(0).startsWith("station,base,number,image,"));
    QVERIFY(lines.at(6).contains((',' + setup.work + "/work_0001,3,img_2.bmp,").toUtf8()));
    QCOMPARE(labelStatus(*form)->text(), QStringLiteral(" Измерения прогона 1 выгружены в %1.").arg(file));

    // JSON of the newest run, proposed as such.
    const QString json = setup.root.filePath("second.json");
    answer = ExportAnswer{0, 1, true, {}};
    answerExportDialog(&answer);
    setup.dialogs.clear();
    setup.dialogs.answerFile(json);
    form->exportMeasurements();
    QCOMPARE(setup.dialogs.calls.at(0).proposedName, QStringLiteral("work_0002.json"));
    QCOMPARE(setup.dialogs.calls.at(0).filter, QStringLiteral("JSON (*.json)|*.json"));
    const QByteArray written = TestSupport::readFile(json);
    QVERIFY2(written.startsWith('[') || written.startsWith('{'), written.left(40).constData());
    QVERIFY(written.contains("img_0.bmp"));
    QVERIFY(!written.contains("img_1.bmp"));
}

void TestJournalWindow::exportOfUnknownRunOrWithoutJournal()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    form->exportMeasurements();
    QCOMPARE(setup.dialogs.messageTexts(),
             QStringList{QStringLiteral("Журнал измерений %1/kelvarin2-journal.sqlite еще не создан.").arg(setup.work)});
    setup.dialogs.clear();
    setup.select({0});
    form->startProcessing();
    // Cancelled in the dialog: no file dialog, nothing written.
    setup.dialogs.clear();
    ExportAnswer answer{0, 0, false, {}};
    answerExportDialog(&answer);
    form->exportMeasurements();
    QCOMPARE(answer.offered.size(), 1);
    QVERIFY(setup.dialogs.calls.isEmpty());
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
    QCOMPARE(labelJournal(*form)->text(), QStringLiteral(" Журнал: journal-dir "));
    setup.select({0, 1});
    form->startProcessing();
    QVERIFY(QFile::exists(setup.work + "/work_0001_1.crd"));
    QCOMPARE(labelJournal(*form)->text(), QStringLiteral(" Журнал не записан! "));
    QVERIFY(labelJournal(*form)->toolTip().startsWith("Журнал измерений " + setup.params.JournalFile));
    // The run's summary, then the journal's failure: not hidden by it.
    const QString status = labelStatus(*form)->text();
    QVERIFY2(status.startsWith(QStringLiteral(" Результаты получены и сохранены. Изображений: 2.")), qPrintable(status));
    QVERIFY2(status.contains(QStringLiteral("_time.log. Журнал измерений ")), qPrintable(status));
    QVERIFY(setup.dialogs.messageTexts().isEmpty());
    // The event log and the warning sign keep the warning too.
    const QByteArray events = TestSupport::readFile(setup.work + "/kelvarin2-events.log");
    QVERIFY2(events.contains(("Журнал измерений " + setup.params.JournalFile).toUtf8()), events.constData());
    auto *warning = form->findChild<WarningIndicator *>(QStringLiteral("WarningIndicator"));
    QVERIFY(warning && !warning->isHidden());
    QVERIFY(warning->toolTip().contains("Журнал измерений " + setup.params.JournalFile));
}

// A "%1" in a warning's text (a file name) stays as it is beside the count.
void TestJournalWindow::warningTextIsShownAsItStands()
{
    WarningIndicator indicator;
    const TIssue issue = TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, QString(),
                                      QStringLiteral("Изображение cam%1.bmp отложено"));
    indicator.noteIssue(issue, QStringLiteral("/w/kelvarin2-events.log"));
    QVERIFY2(indicator.toolTip().endsWith(QStringLiteral("Изображение cam%1.bmp отложено\n(нажмите, чтобы открыть "
                                                         "журнал событий: /w/kelvarin2-events.log)")),
             qPrintable(indicator.toolTip()));
    indicator.noteIssue(issue, QStringLiteral("/w/kelvarin2-events.log"));
    QVERIFY2(indicator.toolTip().contains(QStringLiteral("cam%1.bmp отложено\n(предупреждений: 2; нажмите")),
             qPrintable(indicator.toolTip()));
}

// The window's threshold calibration is a run of one image in the journal, as the tool's.
void TestJournalWindow::thresholdCalibrationIsRecorded()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    setup.select({1});
    form->calibrateThreshold();
    TJournal journal(setup.work + "/kelvarin2-journal.sqlite");
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().kind, QStringLiteral("calibrate"));
    QCOMPARE(runs.first().images, 1);
    QVERIFY(runs.first().end.isValid());
    const QList<TJournalRow> rows = journal.rows(runs.first().id);
    QVERIFY(!rows.isEmpty());
    QCOMPARE(rows.first().image, QStringLiteral("img_1.bmp"));
}

QTEST_MAIN(TestJournalWindow)
#include "tst_journalwindow.moc"

// The displacement view in the main window: "Вид" → "Графики смещений" and
// Ctrl+G, the chart fed by every measured image, the alarm indicator, and the
// settings page "Мониторинг".
#include "../charts/ChartFormControls.h"
#include "AlarmIndicator.h"
#include "IniFile.h"
#include "MainFormSetup.h"
#include "PropertysControls.h"
#include "TDisplacementChartForm.h"
#include "TMonitoringPage.h"
#include "ZoneLimitMarks.h"
#include "TPropertysForm.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <sys/stat.h>

class TestDisplacementView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void opensFromMenuAndShortcut();
    void showsTheRunsZonesAndUpdatesWithEveryImage();
    void limitCrossingLightsTheIndicator();
    void settingsPage_data();
    void settingsPage();
    void zoneCountOfWhatIsNoZoneFile();

private:
    QTemporaryDir m_config;
};

static TDisplacementChartForm *chartWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<TDisplacementChartForm *>(w))
            return form;
    }
    return nullptr;
}

static void appendSettings(const QString &file, const QByteArray &lines)
{
    TestSupport::writeFile(file, TestSupport::readFile(file) + lines);
}

void TestDisplacementView::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestDisplacementView::opensFromMenuAndShortcut()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    auto *view = form->menuBar()->findChild<QMenu *>(QStringLiteral("ViewMenu"));
    QVERIFY(view);
    QCOMPARE(view->title(), QStringLiteral("Вид"));
    // Before "Помощь", the last menu.
    QCOMPARE(form->menuBar()->actions().last()->text(), QStringLiteral("Помощь"));
    QCOMPARE(form->menuBar()->actions().at(form->menuBar()->actions().size() - 2), view->menuAction());
    QAction *charts = view->actions().value(0);
    QVERIFY(charts);
    QCOMPARE(charts->text(), QStringLiteral("Графики смещений"));
    QCOMPARE(charts->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    charts->trigger();
    QVERIFY(chartWindow() && chartWindow()->isVisible());
    chartWindow()->close();
    QVERIFY(!chartWindow()->isVisible());
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::keyClick(form, Qt::Key_G, Qt::ControlModifier);
    QTRY_VERIFY(chartWindow()->isVisible());
    chartWindow()->close();
}

// Zone 2 has an origin at (115, 55); image i has its spot at (115, 52 + i).
void TestDisplacementView::showsTheRunsZonesAndUpdatesWithEveryImage()
{
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    form->findChild<QMenu *>(QStringLiteral("ViewMenu"))->actions().first()->trigger();
    TDisplacementChartForm *charts = chartWindow();
    QVERIFY(charts);
    AxisBox(*charts)->setCurrentIndex(1);
    ComponentBox(*charts)->setCurrentIndex(1); // dy
    setup.select({0, 1});
    form->startProcessing();
    QTRY_COMPARE(charts->shownSeries().imageCount(), 2);
    QCOMPARE(charts->shownZones(), (QList<int>{1, 2}));
    // Zone 1 has no origin: nothing to draw for it.
    QTRY_COMPARE(charts->drawnPointCount(), 2);
    double dy = 0;
    QVERIFY(charts->shownSeries().value(2, 1, DisplacementComponent::Dy, false, &dy));
    QCOMPARE(dy, -2.0);
    // One more image, as a watch hands it over: the chart follows.
    TRecordedImage image = TRecordedImage::of(setup.imagePath(2));
    form->finder().ProcessImage(setup.imagePath(2));
    image.takeMeasurements(form->finder());
    form->imageMeasured(image, 2);
    QTRY_COMPARE(charts->drawnPointCount(), 3);
    QVERIFY(charts->shownSeries().value(2, 2, DisplacementComponent::Dy, false, &dy));
    QCOMPARE(dy, -1.0);
    // A new run starts the current run's chart afresh.
    setup.select({2});
    form->startProcessing();
    QTRY_COMPARE(charts->shownSeries().imageCount(), 1);
    charts->close();
}

void TestDisplacementView::limitCrossingLightsTheIndicator()
{
    MainFormSetup setup;
    appendSettings(setup.settingsFile(), "WarningLimit=1.5\nAlarmLimit=2.5\n");
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    auto *indicator = form->findChild<AlarmIndicator *>();
    QVERIFY(indicator);
    QCOMPARE(indicator->level(), LimitLevel::None);
    setup.select({2}); // |dy| = 1: below both
    form->startProcessing();
    QCOMPARE(indicator->level(), LimitLevel::None);
    form->findChild<QAction *>(QStringLiteral("ChartAction"))->trigger();
    auto *charts = form->findChild<TDisplacementChartForm *>();
    QVERIFY(charts && charts->isVisible());
    auto *banner = charts->findChild<QLabel *>(QStringLiteral("LimitBanner"));
    QVERIFY(banner && banner->text().isEmpty());
    // The zone list fills when the window draws the run (at once while shown).
    const auto zoneLevel = [&](int row) {
        QListWidgetItem *item = ZoneList(*charts)->item(row);
        return item ? item->data(ZoneLimitMarks::LevelRole).toInt() : -1;
    };
    setup.select({1}); // 2: warning
    form->startProcessing();
    QCOMPARE(indicator->level(), LimitLevel::Warning);
    QCOMPARE(banner->text(), QStringLiteral("ПРЕДУПРЕЖДЕНИЕ: зона 2."));
    QTRY_COMPARE(zoneLevel(1), int(LimitLevel::Warning));
    QCOMPARE(zoneLevel(0), int(LimitLevel::None));
    setup.select({0}); // 3: alarm
    form->startProcessing();
    QCOMPARE(indicator->level(), LimitLevel::Alarm);
    QVERIFY(indicator->toolTip().contains(QStringLiteral("Зона 2: смещение")));
    QCOMPARE(banner->text(), QStringLiteral("АВАРИЯ: зона 2."));
    QTRY_COMPARE(zoneLevel(1), int(LimitLevel::Alarm));
    // A watch's waiting text gives way to the alarm until it is acknowledged.
    form->setStatusText(QStringLiteral(" Ожидание новых файлов..."));
    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" АВАРИЯ! Зона 2: смещение")), qPrintable(form->statusText(0)));
    QTest::mouseClick(indicator, Qt::LeftButton);
    QCOMPARE(indicator->level(), LimitLevel::None);
    QCOMPARE(form->statusText(0), QStringLiteral(" Ожидание новых файлов..."));
    // The chart still shows where the zone stands: acknowledging is not mending.
    QCOMPARE(banner->text(), QStringLiteral("АВАРИЯ: зона 2."));
    setup.select({2}); // back below both
    form->startProcessing();
    QVERIFY(banner->text().isEmpty());
    QTRY_COMPARE(zoneLevel(1), int(LimitLevel::None));
    charts->close();
}

void TestDisplacementView::settingsPage_data()
{
    QTest::addColumn<QString>("references");
    QTest::addColumn<QString>("zone2Alarm");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArray>("appended");
    QTest::newRow("taken over") << "2" << "4" << ""
                                << QByteArray("ReferenceZones=2\nPixelSize=0.5\nAlarmLimit=3\nAlarmLimit_2=4\n");
    QTest::newRow("zone not in the zone file") << "5" << "" << "Опорные зоны: зоны 5 нет в файле зон (зон в нем: 2)"
                                               << QByteArray();
}

void TestDisplacementView::settingsPage()
{
    QFETCH(QString, references);
    QFETCH(QString, zone2Alarm);
    QFETCH(QString, error);
    LocaleGuard guard(QChar('.'));
    MainFormSetup setup;
    TMainForm *form = setup.openForm();
    QVERIFY(form);
    const QByteArray before = setup.settingsBytes();
    TPropertysForm *dialog = form->propertysForm();
    dialog->fill();
    TMonitoringPage *page = MonitoringPage(*dialog);
    QCOMPARE(PageControl1(*dialog)->tabText(3), QStringLiteral("Мониторинг"));
    QCOMPARE(page->zoneCount(), 2);
    QCOMPARE(page->ZoneTable->rowCount(), 2);
    page->ReferenceZonesEdit->setText(references);
    page->PixelSizeEdit->setText(QStringLiteral("0.5"));
    page->AlarmLimitEdit->setText(QStringLiteral("3"));
    page->ZoneTable->item(1, 2)->setText(zone2Alarm);
    dialog->Button1Click();
    if (!error.isEmpty()) {
        QCOMPARE(setup.dialogs.messageTexts(), QStringList{error});
        QCOMPARE(PageControl1(*dialog)->currentWidget(), page);
        QCOMPARE(setup.settingsBytes(), before);
        return;
    }
    QVERIFY(setup.dialogs.messageTexts().isEmpty());
    const QByteArray after = setup.settingsBytes();
    // The existing keys stay as they were; the monitoring keys follow them.
    QFETCH(QByteArray, appended);
    QVERIFY2(after.endsWith(appended), after.constData());
    QCOMPARE(MonitoringSettings::readFile(setup.settingsFile()).zoneAlarmLimits, (QMap<int, double>{{2, 4.0}}));
    // Filled again from the file.
    dialog->fill();
    QCOMPARE(page->ReferenceZonesEdit->text(), references);
    QCOMPARE(page->ZoneTable->item(1, 2)->text(), zone2Alarm);
}

QTEST_MAIN(TestDisplacementView)
// The page counts the zones of whatever the settings name; a named pipe there
// must not hang the settings dialog, nor a device fill its memory.
void TestDisplacementView::zoneCountOfWhatIsNoZoneFile()
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("zones.zon"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &name : {pipe, QStringLiteral("/dev/zero"), dir.path(), dir.filePath(QStringLiteral("none.zon"))})
        QCOMPARE(TMonitoringPage::zoneCountOf(name), -1);
    const QString zones = dir.filePath(QStringLiteral("two.zon"));
    QFile file(zones);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("1;2;30;40\r\n5;6;70;80\r\n");
    file.close();
    QCOMPARE(TMonitoringPage::zoneCountOf(zones), 2);
}

#include "tst_displacementview.moc"

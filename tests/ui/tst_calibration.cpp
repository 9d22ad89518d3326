// The calibration commands of the main window as a user drives them: the
// zone-drawing mode, zone refinement inside and outside it, and the brightness
// threshold calibration, each with its closing steps however it ends.

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "LocaleFormat.h"
#include "MainFormSetup.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace {

// A zone file line in the writer's notation: fixed, four decimals, " ; ".
QByteArray zoneLine(const QList<double> &numbers)
{
    QStringList fields;
    for (double n : numbers)
        fields << LocaleFormat::formatFixed(n, 4);
    return fields.join(QStringLiteral(" ; ")).toLatin1() + "\r\n";
}

QList<QWidget *> groupCommands(TMainForm &form)
{
    return {listDirectories(form), listFiles(form), buttonExit(form), buttonSaveCoordinates(form),
            buttonManualMeasurement(form),       buttonProcess(form),  buttonStop(form)};
}

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void modeNeedsImage();
    void modeOnAndOff_data();
    void modeOnAndOff();
    void refineInsideMode();
    void refineInsideModeCancelledOrUnwritable_data();
    void refineInsideModeCancelledOrUnwritable();
    void refineOutsideMode();
    void refineImageFails();
    void threshold_data();
    void threshold();
    void thresholdWithoutZones();
    void thresholdEndsCalibrationMode();

private:
    void drawZone(TMainForm &form, QPoint press, QPoint release);
    QTemporaryDir m_config;
};

void TestCalibration::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestCalibration::drawZone(TMainForm &form, QPoint press, QPoint release)
{
    QTest::mousePress(overlayImage(form), Qt::LeftButton, {}, press);
    QTest::mouseMove(overlayImage(form), release);
    QTest::mouseRelease(overlayImage(form), Qt::LeftButton, {}, release);
}

void TestCalibration::modeNeedsImage()
{
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    QTest::mouseClick(buttonCalibrate(*form), Qt::LeftButton);
    actionCalibrate(*form)->trigger();
    QVERIFY(!form->calibrationMode());
    QVERIFY(!buttonCalibrate(*form)->isChecked());
    QVERIFY(form->commandsEnabled());
    QCOMPARE(form->finder().zones().size(), 2);
}

void TestCalibration::modeOnAndOff_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("tool button") << false;
    QTest::newRow("menu") << true;
}

void TestCalibration::modeOnAndOff()
{
    QFETCH(bool, byMenu);
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    form->finder().LoadImage(s.imagePath(0), true);
    const QRgb red = qRgb(255, 0, 0);
    QCOMPARE(s.overlayPixel(20, 35), red);

    if (byMenu)
        actionCalibrate(*form)->trigger();
    else
        QTest::mouseClick(buttonCalibrate(*form), Qt::LeftButton);
    QVERIFY(form->calibrationMode());
    QVERIFY(buttonCalibrate(*form)->isChecked());
    QVERIFY(form->finder().zones().isEmpty());
    QCOMPARE(qAlpha(s.overlayPixel(20, 35)), 0);
    // Everything locked, the stop button too, but the three calibration buttons.
    for (QWidget *locked : groupCommands(*form))
        QVERIFY2(!locked->isEnabled(), qPrintable(locked->objectName()));
    for (QToolButton *open : {buttonCalibrate(*form), buttonRefineZones(*form), buttonCalibrateThreshold(*form)})
        QVERIFY2(open->isEnabled(), qPrintable(open->objectName()));
    QVERIFY(!menuActions(*form)->menuAction()->isEnabled());
    QVERIFY(!actionSettings(*form)->isEnabled());
    QVERIFY(!menuFile(*form)->menuAction()->isEnabled());
    QVERIFY(comboDrive(*form)->isEnabled());

    // A zone drawn in the mode is dropped when the mode ends: the file's zones are back.
    drawZone(*form, QPoint(80, 80), QPoint(90, 90));
    QCOMPARE(form->finder().zones().size(), 1);
    if (byMenu)
        form->toggleCalibrationMode();
    else
        QTest::mouseClick(buttonCalibrate(*form), Qt::LeftButton);
    QVERIFY(!form->calibrationMode());
    QVERIFY(!buttonCalibrate(*form)->isChecked());
    QCOMPARE(form->finder().zones().size(), 2);
    QCOMPARE(form->finder().zones().at(1).X0, 115.0);
    QCOMPARE(s.overlayPixel(20, 35), red);
    QCOMPARE(s.overlayPixel(125, 55), qRgb(0, 0, 255));
    QCOMPARE(qAlpha(s.overlayPixel(80, 90)), 0);
    QVERIFY(form->commandsEnabled());
    QVERIFY(buttonProcess(*form)->isEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    QVERIFY(s.dialogs.calls.isEmpty());
}

void TestCalibration::refineInsideMode()
{
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({0});
    form->finder().LoadImage(s.imagePath(0), true);
    form->toggleCalibrationMode();
    // Two zones about the discs, one in the dark where nothing is found.
    drawZone(*form, QPoint(40, 40), QPoint(55, 55));
    drawZone(*form, QPoint(115, 52), QPoint(130, 67));
    drawZone(*form, QPoint(140, 100), QPoint(150, 110));
    QCOMPARE(form->finder().zones().size(), 3);

    const QString target = s.root.path() + QLatin1String("/new.zon");
    TestSupport::writeFile(target, "replaced without asking");
    s.dialogs.answerFile(target);
    // Enter in the mode saves the zones drawn.
    QTest::keyClick(form, Qt::Key_Return);

    QCOMPARE(s.dialogs.calls.size(), 1);
    const ScriptedDialogs::Call save = s.dialogs.calls.at(0);
    QCOMPARE(save.kind, QStringLiteral("save"));
    QCOMPARE(save.caption, QStringLiteral("Сохранить как"));
    QCOMPARE(save.directory, s.work);
    QCOMPARE(save.filter, QStringLiteral("Файлы зон|*.zon|Все файлы|*.*"));
    QCOMPARE(save.defaultSuffix, QStringLiteral("zon"));

    // The spot found in each zone is its origin; none found writes -1, -1.
    QCOMPARE(TestSupport::readFile(target), zoneLine({25, 25, 55, 55, 40, 40}) + zoneLine({100, 37, 130, 67, 115, 52})
                                                + zoneLine({130, 90, 150, 110, -1, -1}));
    QCOMPARE(s.storedSettings().ZonesFileName, target);
    QCOMPARE(form->settings().ZonesFileName, target);
    QCOMPARE(form->statusText(0), QStringLiteral(" Калибровка произведена."));

    // Read back: origins, no points, the mode over.
    const QList<TZoneInfo> &zones = form->finder().zones();
    QCOMPARE(zones.size(), 3);
    QCOMPARE(QPointF(zones.at(0).X0, zones.at(0).Y0), QPointF(40, 40));
    QVERIFY(!zones.at(2).hasOrigin());
    for (const TZoneInfo &zone : zones)
        QVERIFY(zone.points.isEmpty());
    QCOMPARE(s.overlayPixel(50, 40), qRgb(0, 0, 255));
    QVERIFY(!form->calibrationMode());
    QVERIFY(!buttonCalibrate(*form)->isChecked());
    QVERIFY(form->commandsEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    QVERIFY(!form->isRunning());
    QVERIFY(!form->finder().StopRequested);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestCalibration::refineInsideModeCancelledOrUnwritable_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled") << true;
    QTest::newRow("unwritable") << false;
}

void TestCalibration::refineInsideModeCancelledOrUnwritable()
{
    QFETCH(bool, cancel);
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    form->finder().LoadImage(s.imagePath(0), true);
    form->toggleCalibrationMode();
    drawZone(*form, QPoint(40, 40), QPoint(55, 55));
    QFile::remove(s.settingsFile());
    s.dialogs.answerFile(cancel ? QString() : s.root.path() + QLatin1String("/missing/new.zon"));
    // No file selected: the zones have no points and would be saved without origin.
    QTest::mouseClick(buttonRefineZones(*form), Qt::LeftButton);

    if (cancel) {
        QVERIFY(s.dialogs.messages().isEmpty());
    } else {
        QCOMPARE(s.dialogs.messages().size(), 1);
        QCOMPARE(s.dialogs.messages().at(0).caption, QStringLiteral("Ошибка"));
        QCOMPARE(s.dialogs.messages().at(0).text, QStringLiteral("Ошибка сохранения файла зон!"));
        QCOMPARE(s.dialogs.messages().at(0).buttons, DialogService::Buttons(DialogService::Ok));
    }
    // The zone file in force stays; the settings are written all the same.
    QCOMPARE(form->settings().ZonesFileName, s.zones);
    QCOMPARE(s.storedSettings().ZonesFileName, s.zones);
    QCOMPARE(form->statusText(0), QStringLiteral(" Калибровка произведена."));
    // Not read back: the zones drawn are still in memory.
    QCOMPARE(form->finder().zones().size(), 1);
    QVERIFY(!form->calibrationMode());
    QVERIFY(form->commandsEnabled());
}

void TestCalibration::refineOutsideMode()
{
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({1, 2});
    QFile::remove(s.settingsFile());
    actionRefineZones(*form)->trigger();

    // In place, without a dialog; the first selected image gives the origins.
    QVERIFY(s.dialogs.calls.isEmpty());
    QCOMPARE(TestSupport::readFile(s.zones),
             zoneLine({20, 20, 60, 60, 41, 40}) + zoneLine({90, 30, 140, 80, 115, 53}));
    QCOMPARE(s.storedSettings().ZonesFileName, s.zones);
    QCOMPARE(form->finder().currentImagePath(), s.imagePath(1));
    QCOMPARE(form->finder().zones().at(0).X0, 41.0);
    QCOMPARE(s.overlayPixel(51, 40), qRgb(0, 0, 255));
    QCOMPARE(form->statusText(0), QStringLiteral(" Калибровка произведена."));
    QVERIFY(form->commandsEnabled());
}

void TestCalibration::refineImageFails()
{
    MainFormSetup s;
    TestSupport::writeFile(s.imagePath(0), "BM not a bitmap");
    const QByteArray zonesBefore = TestSupport::readFile(s.zones);
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({0});
    const QByteArray settingsBefore = s.settingsBytes();
    bool closedBeforeMessage = false;
    s.dialogs.onMessage = [&](const ScriptedDialogs::Call &) {
        closedBeforeMessage = form->commandsEnabled() && !QGuiApplication::overrideCursor();
    };
    form->refineZones();

    QCOMPARE(s.dialogs.messages().size(), 1);
    QCOMPARE(s.dialogs.messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(s.dialogs.messages().at(0).icon, DialogService::Icon::Error);
    QVERIFY(!s.dialogs.messages().at(0).text.isEmpty());
    QVERIFY(closedBeforeMessage);
    // Nothing saved, the status as it was when the error came.
    QCOMPARE(TestSupport::readFile(s.zones), zonesBefore);
    QCOMPARE(s.settingsBytes(), settingsBefore);
    QCOMPARE(form->statusText(0), QStringLiteral(" Идет калибровка..."));
    QVERIFY(!form->isRunning());
}

void TestCalibration::threshold_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("recommended");
    // Spot means 220 and 240: trunc(230 x 0.75) is 172, not 172.5 rounded.
    QTest::newRow("OK") << true << int(DialogService::Ok) << 172;
    QTest::newRow("Cancel") << true << int(DialogService::Cancel) << 172;
    QTest::newRow("no file selected") << false << int(DialogService::Ok) << 0;
}

void TestCalibration::threshold()
{
    QFETCH(bool, selected);
    QFETCH(int, answer);
    QFETCH(int, recommended);
    MainFormSetup s;
    TestSupport::writeFile(s.imagePath(0), MainFormSetup::indexedImage(220, 240));
    TMainForm *form = s.openForm();
    QVERIFY(form);
    form->finder().SpotMeanSum = 999;
    s.select(selected ? QList<int>{0} : QList<int>{});
    const QByteArray settingsBefore = s.settingsBytes();
    QString statusWhileAsked;
    s.dialogs.onMessage = [&](const ScriptedDialogs::Call &) { statusWhileAsked = form->statusText(0); };
    s.dialogs.answerMessage(DialogService::Button(answer));
    QTest::mouseClick(buttonCalibrateThreshold(*form), Qt::LeftButton);

    QCOMPARE(s.dialogs.messages().size(), 1);
    const ScriptedDialogs::Call asked = s.dialogs.messages().at(0);
    QCOMPARE(asked.caption, QStringLiteral("Калибровка порога яркости"));
    QCOMPARE(asked.text, QStringLiteral("Рекомендуемый порог яркости:  ") + QString::number(recommended));
    QCOMPARE(asked.buttons, DialogService::Ok | DialogService::Cancel);
    QCOMPARE(asked.icon, DialogService::Icon::None);
    QCOMPARE(statusWhileAsked, QStringLiteral(" Идет калибровка..."));
    if (answer == DialogService::Ok) {
        QCOMPARE(form->settings().AverageYPorog, double(recommended));
        QCOMPARE(s.storedSettings().AverageYPorog, double(recommended));
        QCOMPARE(form->statusText(0), QStringLiteral(" Калибровка произведена."));
    } else {
        QCOMPARE(form->settings().AverageYPorog, 200.0);
        QCOMPARE(s.settingsBytes(), settingsBefore);
        QCOMPARE(form->statusText(0), QStringLiteral(" Калибровка прервана."));
    }
    // The processed image added one point to every zone; the list is not reread.
    QCOMPARE(form->finder().zones().at(0).points.size(), selected ? 1 : 0);
    QVERIFY(form->commandsEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestCalibration::thresholdWithoutZones()
{
    MainFormSetup s;
    TestSupport::writeFile(s.zones, "");
    TMainForm *form = s.openForm();
    QVERIFY(form);
    QVERIFY(form->finder().zones().isEmpty());
    s.select({0});
    const QByteArray settingsBefore = s.settingsBytes();
    form->calibrateThreshold();

    QCOMPARE(s.dialogs.messages().size(), 1);
    QCOMPARE(s.dialogs.messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(s.dialogs.messages().at(0).icon, DialogService::Icon::Error);
    QCOMPARE(s.dialogs.messages().at(0).text,
             QStringLiteral("Нет ни одной зоны: рекомендуемый порог яркости не определен."));
    QCOMPARE(form->settings().AverageYPorog, 200.0);
    QCOMPARE(s.settingsBytes(), settingsBefore);
    QCOMPARE(form->statusText(0), QStringLiteral(" Идет калибровка..."));
    QVERIFY(form->commandsEnabled());
    QVERIFY(!form->isRunning());
}

void TestCalibration::thresholdEndsCalibrationMode()
{
    MainFormSetup s;
    TestSupport::writeFile(s.imagePath(0), MainFormSetup::indexedImage(220, 240));
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({0});
    form->finder().LoadImage(s.imagePath(0), true);
    form->toggleCalibrationMode();
    drawZone(*form, QPoint(40, 40), QPoint(50, 50));
    s.dialogs.answerMessage(DialogService::Ok);
    form->calibrateThreshold();
    // One zone drawn, mean 220: trunc(220 x 0.75) = 165.
    QCOMPARE(s.dialogs.messageTexts(), QStringList{QStringLiteral("Рекомендуемый порог яркости:  165")});
    QVERIFY(!form->calibrationMode());
    QVERIFY(!buttonCalibrate(*form)->isChecked());
    QVERIFY(form->commandsEnabled());
    // The zone drawn stays in memory until the zone file is next read.
    QCOMPARE(form->finder().zones().size(), 1);
    QCOMPARE(form->finder().zones().at(0).points.size(), 1);
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"

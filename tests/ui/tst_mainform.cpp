// The main window driven as a user drives it: files selected in the browser,
// runs started by menu, button and Enter, stopped by button and Esc, results
// saved, images shown and zoomed. Message boxes are answered by ScriptedDialogs
// and the result files are compared with what the headless tool writes.

#include "BitmapFile.h"
#include "Cp1251.h"
#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "ElidedLabel.h"
#include "FileListBox.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "MainFormControls.h"
#include "MainFormSetup.h"
#include "PictureBox.h"
#include "ScriptedDialogs.h"
#include "SettingsLocation.h"
#include "TDateTime.h"
#include "THelpWindow.h"
#include "TKelvarinAboutBox.h"
#include "TImageForm.h"
#include "TMainForm.h"
#include "TStartControl.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolTip>
#include <QPushButton>
#include <QScrollBar>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

const int ImageWidth = MainFormSetup::ImageWidth;
const int ImageHeight = MainFormSetup::ImageHeight;
// Name order without regard to case; the names' cases are mixed on purpose.
const QStringList ImageNames = {QStringLiteral("img_a.bmp"), QStringLiteral("IMG_B.bmp"),
                                QStringLiteral("img_c.bmp"), QStringLiteral("Img_d.BMP"),
                                QStringLiteral("img_e.bmp")};
// Zone 1 without origin, zone 2 with its origin at (115, 55).
const QByteArray ZoneFileText = "20;20;60;60\r\n90;30;140;80;115;55\r\n";

// A dark image with one bright disc per zone; the discs drift from image to
// image. In image 2 the second disc is too dim to pass the mean filter.
QImage sceneImage(int index)
{
    QImage image(ImageWidth, ImageHeight, QImage::Format_RGB32);
    image.fill(qRgb(20, 20, 20));
    MainFormSetup::disc(image, QPoint(40 + index, 40), 250);
    MainFormSetup::disc(image, QPoint(115, 52 + index), index == 2 ? 150 : 250);
    return image;
}

// A mouse move with no button held, as the window system sends it.
void moveMouse(QWidget *widget, QPointF pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startUp();
    void startUpMessages_data();
    void startUpMessages();
    void splashEndsOnClick();
    void runMatchesHeadlessTool_data();
    void runMatchesHeadlessTool();
    void statusNamesZoneWithSeveralSpots();
    void runShowsEveryImage_data();
    void runShowsEveryImage();
    void commandsLockedDuringRun();
    void allFilesWithScheduledStyle();
    void noImageSelectedWritesNothing_data();
    void fileListFollowsTheDirectory();
    void noImageSelectedWritesNothing();
    void stop_data();
    void stop();
    void escWhileIdleDoesNotStopNextRun();
    void enterDuringRunIgnored();
    void closeDuringRunSavesResults();
    void damagedImageEndsRun();
    void unreadableZoneFileNoRun();
    void stepByStep();
    void saveCoordinates();
    void saveCoordinatesCancelledOrFailing();
    void doubleClickShowsImageWithZones();
    void zoomSizesView_data();
    void zoomSizesView();
    void zoomRemovesFoundCrosses();
    void mouseReadOuts();
    void zoneDrawnInCalibrateMode();
    void statusPanelKeepsWidth();
    void calibrateModeLeftClearsRequest();
    void longStatusElided();
    void readOutFollowsZoom();
    void statusBarScreenshot();
    void helpAndAboutBox();
    void closingDeletesHandOffFile();
    void handOffToMeasurementWindow();
    void handOffFailures();
    void screenshot();

private:
    struct Settings
    {
        bool steps = false;
        bool autoSave = true;
        bool visualize = true;
        int startStyle = 3;
        bool connectedSpot = false;
        QString workDir;
        QString zoneFile;
    };

    void writeSettings(const Settings &settings);
    std::unique_ptr<TMainForm> openForm();
    void select(TMainForm &form, const QList<int> &rows);
    QString imagePath(int row) const { return m_work + QLatin1Char('/') + ImageNames.at(row); }
    QString resultsBase(int n) const;
    QString runHeadless(const QStringList &images);
    static QByteArray read(const QString &path) { return TestSupport::readFile(path); }
    static QString logText(const QString &base) { return Cp1251::decode(read(base + QLatin1String("_time.log"))); }
    static QRgb overlayPixel(TMainForm &form, int x, int y) { return overlayImage(form)->picture().pixel(x, y); }

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QString m_work;
    QString m_zones;
};

void TestMainForm::initTestCase()
{
    // Whatever the environment says, the user's own settings stay untouched.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestMainForm::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    // The window records the current directory as its start directory.
    QDir::setCurrent(m_root->path());
    m_work = m_root->path() + QLatin1String("/work");
    QVERIFY(QDir().mkpath(m_work + QLatin1String("/sub")));
    for (int i = 0; i < ImageNames.size(); ++i)
        QVERIFY(sceneImage(i).save(imagePath(i), "BMP"));
    TestSupport::writeFile(m_work + QLatin1String("/notes.txt"), "not an image");
    m_zones = m_root->path() + QLatin1String("/zones.zon");
    TestSupport::writeFile(m_zones, ZoneFileText);
    writeSettings(Settings());
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestMainForm::cleanup()
{
    // Measurement windows left open live on their own; they go with the test.
    QList<QPointer<TImageForm>> measureWindows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *measure = qobject_cast<TImageForm *>(window))
            measureWindows << measure;
    }
    qDeleteAll(measureWindows);
    m_dialogs.reset();
    QDir::setCurrent(QDir::tempPath());
    m_root.reset();
}

void TestMainForm::writeSettings(const Settings &s)
{
    TParameters params;
    params.WorkDir = s.workDir.isNull() ? m_work : s.workDir;
    params.ZonesFileName = s.zoneFile.isNull() ? m_zones : s.zoneFile;
    params.MinSCount = 20;
    params.MaxSCount = 500;
    params.Steps = s.steps;
    params.ResAutoSave = s.autoSave;
    params.NeedVisualization = s.visualize;
    params.StartStyle = s.startStyle;
    params.ConnectedSpot = s.connectedSpot;
    QuietReporter reporter;
    const QString file = SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"));
    QFile::remove(file);
    QVERIFY(WriteParameters(file, params, reporter));
}

std::unique_ptr<TMainForm> TestMainForm::openForm()
{
    auto form = std::make_unique<TMainForm>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

void TestMainForm::select(TMainForm &form, const QList<int> &rows)
{
    listFiles(form)->clearSelection();
    for (int row : rows)
        listFiles(form)->item(row)->setSelected(true);
}

QString TestMainForm::resultsBase(int n) const
{
    return m_work + QLatin1Char('/') + QStringLiteral("work_%1").arg(n, 4, 10, QLatin1Char('0'));
}

// Runs the headless tool on the same images with the same settings and
// returns the base it wrote under.
QString TestMainForm::runHeadless(const QStringList &images)
{
    const QString base = m_root->path() + QLatin1String("/headless/cli");
    QDir().mkpath(m_root->path() + QLatin1String("/headless"));
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2-cli"),
               QStringList{QStringLiteral("process"), QStringLiteral("--settings"),
                           SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini")), QStringLiteral("--out"), base}
                   + images);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        qWarning("kelvarin2-cli: %s", tool.readAll().constData());
        return QString();
    }
    return base;
}

void TestMainForm::startUp()
{
    auto form = openForm();
    QVERIFY(form);
    QVERIFY(m_dialogs->calls.isEmpty());
    QCOMPARE(form->windowTitle(), QStringLiteral("Kelvarin-2. Программа определения координат индикаторных точек"));
    QCOMPARE(form->minimumSize(), QSize(160, 31));
    QVERIFY(!form->windowIcon().isNull());

    // The browser is in the working directory, which is also the current one.
    QCOMPARE(listDirectories(*form)->directory(), m_work);
    QCOMPARE(QDir::currentPath(), m_work);
    QStringList names;
    for (int i = 0; i < listFiles(*form)->count(); ++i)
        names << listFiles(*form)->item(i)->text();
    QCOMPARE(names, ImageNames);
    QCOMPARE(listFiles(*form)->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(form->finder().zones().size(), 2);

    // Menus and their items, with their captions.
    QCOMPARE(menuFile(*form)->title(), QStringLiteral("&Файл"));
    QCOMPARE(actionSaveCoordinates(*form)->text(), QStringLiteral("Сохранить координаты"));
    QCOMPARE(actionRefineZones(*form)->text(), QStringLiteral("Уточнить и сохранить зоны"));
    QCOMPARE(actionExit(*form)->text(), QStringLiteral("&Выход"));
    QCOMPARE(actionSettings(*form)->text(), QStringLiteral("Настройка"));
    QCOMPARE(menuActions(*form)->title(), QStringLiteral("Действия"));
    QCOMPARE(actionProcess(*form)->text(), QStringLiteral("Найти координаты"));
    QCOMPARE(actionCalibrate(*form)->text(), QStringLiteral("Калибровать"));
    QCOMPARE(menuHelp(*form)->title(), QStringLiteral("Помощь"));
    QCOMPARE(actionHelp(*form)->text(), QStringLiteral("Справка"));
    QCOMPARE(actionAbout(*form)->text(), QStringLiteral("О программе"));
    QStringList zoomItems;
    for (QAction *item : menuZoom(*form)->actions()) {
        zoomItems << item->text();
        QCOMPARE(item->isChecked(), item->text() == QLatin1String("100%"));
    }
    QCOMPARE(zoomItems, (QStringList{"50%", "75%", "100%", "200%", "300%", "400%"}));

    // Tool buttons with their hints, pictures and states; only "stop" is off.
    const QList<std::pair<QToolButton *, QString>> hints = {
        {buttonExit(*form), QStringLiteral("Выход")},
        {buttonSaveCoordinates(*form), QStringLiteral("Сохранить координаты")},
        {buttonManualMeasurement(*form), QStringLiteral("Ручное определение координат точек")},
        {buttonProcess(*form), QStringLiteral("Определить координаты индикаторной точки")},
        {buttonStop(*form), QStringLiteral("Остановить")},
        {buttonCalibrate(*form), QStringLiteral("Калибровать")},
        {buttonRefineZones(*form), QStringLiteral("Уточнить и сохранить зоны")},
        {buttonCalibrateThreshold(*form), QStringLiteral("Калибровать порог яркости")}};
    for (const auto &[button, hint] : hints) {
        QCOMPARE(button->toolTip(), hint);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->iconSize(), QSize(22, 22));
        QCOMPARE(button->isEnabled(), button != buttonStop(*form));
    }

    // The splash covers the image area; the browser waits for it to end.
    QVERIFY(splashImage(*form)->isVisible());
    QVERIFY(!splashImage(*form)->picture().isNull());
    QCOMPARE(splashImage(*form)->geometry(), scrollImage(*form)->rect());
    QCOMPARE(browserPanel(*form)->width(), 0);
    QVERIFY(splashTimer(*form)->isActive());
    QCOMPARE(splashTimer(*form)->interval(), 5000);
    QVERIFY(!form->startControl().timerActive());
    QCOMPARE(form->startControl().startStyle(), 3);
    QCOMPARE(form->statusText(0), QString());
    QCOMPARE(form->zoomPercent(), 100);
    QVERIFY(labelStatus(*form)->font().bold());
}

void TestMainForm::startUpMessages_data()
{
    QTest::addColumn<bool>("missingWorkDir");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing working directory") << true << QStringLiteral("Ошибка")
                                               << QStringLiteral("Ошибка чтения имени рабочей директории из ini-файла!");
    // The first start names the file the settings point at.
    QTest::newRow("missing zone file") << false << QStringLiteral("Ошибка!")
                                       << QStringLiteral("Ошибка чтения файла координат зон!\nФайл $R/gone.zon не найден.");
}

void TestMainForm::startUpMessages()
{
    QFETCH(bool, missingWorkDir);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    Settings settings;
    if (missingWorkDir)
        settings.workDir = m_root->path() + QLatin1String("/gone");
    else
        settings.zoneFile = m_root->path() + QLatin1String("/gone.zon");
    writeSettings(settings);
    auto form = openForm();
    QVERIFY(form);
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().at(0).caption, caption);
    QCOMPARE(m_dialogs->messages().at(0).text, text.replace("$R", m_root->path()));
    QCOMPARE(m_dialogs->messages().at(0).buttons, DialogService::Buttons(DialogService::Ok));
    // A working directory that cannot be entered leaves the browser where the program started.
    QCOMPARE(listDirectories(*form)->directory(), missingWorkDir ? m_root->path() : m_work);
    QCOMPARE(form->settings().WorkDir, settings.workDir.isNull() ? m_work : settings.workDir);
}

void TestMainForm::splashEndsOnClick()
{
    auto form = openForm();
    QVERIFY(form);
    QTest::mouseClick(splashImage(*form), Qt::LeftButton);
    QVERIFY(!splashImage(*form)->isVisible());
    QVERIFY(!splashTimer(*form)->isActive());
    QCOMPARE(browserPanel(*form)->width(), 280);
    // The drive box sits at the browser's top right corner.
    const QRect drive = comboDrive(*form)->geometry();
    QCOMPARE(drive.right(), browserPanel(*form)->width() - 1);
    QCOMPARE(drive.top(), 0);
}

void TestMainForm::runMatchesHeadlessTool_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("menu") << QStringLiteral("menu");
    QTest::newRow("tool button") << QStringLiteral("button");
    QTest::newRow("Enter") << QStringLiteral("enter");
}

void TestMainForm::runMatchesHeadlessTool()
{
    QFETCH(QString, trigger);
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    // Three of five, selected out of order: they are processed in name order.
    select(*form, {3, 0, 2});
    if (trigger == QLatin1String("menu"))
        actionProcess(*form)->trigger();
    else if (trigger == QLatin1String("button"))
        QTest::mouseClick(buttonProcess(*form), Qt::LeftButton);
    else
        QTest::keyClick(listFiles(*form), Qt::Key_Return);

    QCOMPARE(m_dialogs->calls.size(), 0);
    QCOMPARE(form->statusText(0),
             QStringLiteral(" Результаты получены и сохранены. Изображений: 3. Зона 1: точек найдено 3 из 3. "
                            "Зона 2: точек найдено 2 из 3. Результаты: %1_<зона>.crd, %1_time.log.")
                 .arg(QDir::toNativeSeparators(resultsBase(1))));
    QVERIFY(form->commandsEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    QVERIFY(overlayImage(*form)->isVisible());
    QCOMPARE(form->finder().currentImagePath(), imagePath(3));

    const QString cli = runHeadless({imagePath(0), imagePath(2), imagePath(3)});
    QVERIFY(!cli.isEmpty());
    const QString base = resultsBase(1);
    for (int zone = 1; zone <= 2; ++zone) {
        const QString suffix = QStringLiteral("_%1.crd").arg(zone);
        QVERIFY2(QFile::exists(base + suffix), qPrintable(base + suffix));
        QCOMPARE(read(base + suffix), read(cli + suffix));
    }
    // Zone 1 has no origin (x + 1, y + 1); image 2 gave no spot in zone 2.
    QCOMPARE(read(base + QLatin1String("_1.crd")),
             QByteArray("1\t41.0000\t41.0000\r\n2\t43.0000\t41.0000\r\n3\t44.0000\t41.0000\r\n"));
    QCOMPARE(read(base + QLatin1String("_2.crd")), QByteArray("1\t0.0000\t-3.0000\r\n3\t0.0000\t0.0000\r\n"));
    const QString log = logText(base);
    QVERIFY2(log.contains(QStringLiteral("Количество файлов: 3\r\n")), qPrintable(log));
    QVERIFY(log.startsWith(QStringLiteral("Дата начала обработки: ")));
    QVERIFY(form->runTimes().RunEnd >= form->runTimes().RunStart);
    QVERIFY(!QFile::exists(resultsBase(2) + QLatin1String("_1.crd")));
}

// With "Показывать" on, every image of a run is on view when its points are
// added, at the scale it is shown (a reduced picture below 100 %), with the
// cross of its found point and without the cross of the image before; after
// the run the last image is the window's, whole. The results are those of the
// headless tool.
// With spots told apart, the status names a zone of the image just measured
// that held a second spot above the threshold, and only while it is the last.
void TestMainForm::statusNamesZoneWithSeveralSpots()
{
    Settings settings;
    settings.connectedSpot = true;
    writeSettings(settings);
    QImage twoSpots = sceneImage(1);
    MainFormSetup::disc(twoSpots, QPoint(53, 28), 240);
    QVERIFY(twoSpots.save(imagePath(1), "BMP"));
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    QStringList statuses;
    connect(form.get(), &TMainForm::imageProcessed, this,
            [&](const QString &, int) { statuses << form->statusText(0); });
    select(*form, {0, 1, 3});
    actionProcess(*form)->trigger();
    QCOMPARE(statuses.size(), 3);
    QVERIFY2(!statuses.at(0).contains(QStringLiteral("пятен")), qPrintable(statuses.at(0)));
    QVERIFY2(statuses.at(1).endsWith(QStringLiteral(" Зона 1: несколько пятен (2)")), qPrintable(statuses.at(1)));
    QVERIFY2(!statuses.at(2).contains(QStringLiteral("пятен")), qPrintable(statuses.at(2)));
    // The image with two spots last: its note follows the run's summary.
    select(*form, {1});
    actionProcess(*form)->trigger();
    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" Результаты получены и сохранены.")),
             qPrintable(form->statusText(0)));
    QVERIFY2(form->statusText(0).endsWith(QStringLiteral(" Зона 1: несколько пятен (2)")),
             qPrintable(form->statusText(0)));
}

void TestMainForm::runShowsEveryImage_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("scrolled");
    QTest::newRow("100 %") << 100 << false;
    QTest::newRow("50 %") << 50 << false;
    QTest::newRow("200 %") << 200 << false;
    // Only the lower right part of the image is in view during the run, then
    // the upper left part.
    QTest::newRow("400 %, scrolled") << 400 << true;
}

void TestMainForm::runShowsEveryImage()
{
    QFETCH(int, zoom);
    QFETCH(bool, scrolled);
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    // Scrolled, the view shows well under half of the image.
    form->resize(scrolled ? QSize(520, 420) : QSize(900, 700));
    for (QAction *item : menuZoom(*form)->actions()) {
        if (item->data().toInt() == zoom)
            item->trigger();
    }
    QCOMPARE(form->zoomPercent(), zoom);
    select(*form, {0, 1, 2, 3, 4});
    int shown = 0;
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &path, int index) {
        QCOMPARE(path, imagePath(index));
        const QImage expected = sceneImage(index);
        const QImage &picture = pictureImage(*form)->picture();
        QVERIFY(!picture.isNull());
        const QSize view(ImageWidth * zoom / 100, ImageHeight * zoom / 100);
        QCOMPARE(pictureImage(*form)->size(), view);
        if (index == 0 && scrolled) {
            // The first image sizes the view; the rest are seen through the scrolled viewport.
            scrollImage(*form)->horizontalScrollBar()->setValue(scrollImage(*form)->horizontalScrollBar()->maximum());
            scrollImage(*form)->verticalScrollBar()->setValue(scrollImage(*form)->verticalScrollBar()->maximum());
            QVERIFY(scrollImage(*form)->horizontalScrollBar()->maximum() > 0);
        }
        if (index == 2 && scrolled) {
            // Scrolled back during the run: what comes into view is this image, not the first.
            scrollImage(*form)->horizontalScrollBar()->setValue(0);
            scrollImage(*form)->verticalScrollBar()->setValue(0);
        }
        // What the view shows of the picture (all of it unless scrolled).
        const QRect visible = pictureImage(*form)->visibleRegion().boundingRect();
        QVERIFY(!visible.isEmpty());
        auto first = [](int v, int viewSide, int pictureSide) { return v * pictureSide / viewSide; };
        auto last = [](int v, int viewSide, int pictureSide) { return ((v + 1) * pictureSide - 1) / viewSide; };
        const QRect part(QPoint(first(visible.left(), view.width(), picture.width()),
                                first(visible.top(), view.height(), picture.height())),
                         QPoint(last(visible.right(), view.width(), picture.width()),
                                last(visible.bottom(), view.height(), picture.height())));
        if (!scrolled)
            QCOMPARE(part, picture.rect());
        for (int py = part.top(); py <= part.bottom(); ++py) {
            for (int px = part.left(); px <= part.right(); ++px) {
                const QPoint from(px * ImageWidth / picture.width(), py * ImageHeight / picture.height());
                QCOMPARE(picture.pixel(px, py), expected.pixel(from));
            }
        }
        // The disc of zone 1 is at (40 + index, 40), of zone 2 at (115, 52 + index),
        // too dim in image 2: the cross of image 1 in zone 2 is gone then.
        QCOMPARE(overlayPixel(*form, 40 + index, 48), qRgb(255, 0, 0));
        if (index == 1 || index == 2)
            QCOMPARE(overlayPixel(*form, 108, 53), index == 1 ? qRgb(255, 0, 0) : QRgb(0));
        ++shown;
    });
    form->startProcessing();
    QCOMPARE(shown, 5);
    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" Результаты получены и сохранены.")), qPrintable(form->statusText(0)));
    QCOMPARE(form->finder().currentImagePath(), imagePath(4));
    QCOMPARE(form->finder().width(), ImageWidth);
    QCOMPARE(pictureImage(*form)->picture().convertToFormat(QImage::Format_RGB32), sceneImage(4));
    QCOMPARE(form->loadedPicture().convertToFormat(QImage::Format_RGB32), sceneImage(4));
    QCOMPARE(form->finder().image().width(), ImageWidth);
    QCOMPARE(overlayPixel(*form, 44, 48), qRgb(255, 0, 0));

    const QString cli = runHeadless({imagePath(0), imagePath(1), imagePath(2), imagePath(3), imagePath(4)});
    QVERIFY(!cli.isEmpty());
    for (int zone = 1; zone <= 2; ++zone) {
        const QString suffix = QStringLiteral("_%1.crd").arg(zone);
        QCOMPARE(read(resultsBase(1) + suffix), read(cli + suffix));
    }
}

void TestMainForm::commandsLockedDuringRun()
{
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    select(*form, {0, 1});
    int checked = 0;
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &, int) {
        ++checked;
        QCOMPARE(form->statusText(0), QStringLiteral(" Подождите... Идет счет..."));
        // The progress bar counts the images done (the time left is an estimate, not checked).
        auto *progress = form->findChild<QProgressBar *>(QStringLiteral("progressRun"));
        QVERIFY(progress && progress->isVisible());
        QCOMPARE(progress->value(), checked);
        QVERIFY2(progress->format().startsWith(QStringLiteral("%1 из 2").arg(checked)), qPrintable(progress->format()));
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        for (QWidget *locked : {static_cast<QWidget *>(listDirectories(*form)),
                                static_cast<QWidget *>(listFiles(*form)), static_cast<QWidget *>(buttonExit(*form)),
                                static_cast<QWidget *>(buttonSaveCoordinates(*form)), static_cast<QWidget *>(buttonManualMeasurement(*form)),
                                static_cast<QWidget *>(buttonProcess(*form)), static_cast<QWidget *>(buttonCalibrate(*form)),
                                static_cast<QWidget *>(buttonRefineZones(*form)), static_cast<QWidget *>(buttonCalibrateThreshold(*form))})
            QVERIFY2(!locked->isEnabled(), qPrintable(locked->objectName()));
        QVERIFY(buttonStop(*form)->isEnabled());
        QVERIFY(!menuActions(*form)->menuAction()->isEnabled());
        QVERIFY(!menuHelp(*form)->menuAction()->isEnabled());
        QVERIFY(!actionSettings(*form)->isEnabled());
        QVERIFY(!menuFile(*form)->menuAction()->isEnabled());
        // Outside the group: the drive box and the zoom menu.
        QVERIFY(comboDrive(*form)->isEnabled());
        QVERIFY(menuZoom(*form)->actions().at(0)->isEnabled());
        // With visualisation on, the overlay is back once an image is done.
        QVERIFY(overlayImage(*form)->isVisible());
    });
    form->startProcessing();
    QCOMPARE(checked, 2);
    QVERIFY(!form->findChild<QProgressBar *>(QStringLiteral("progressRun"))->isVisible());
    QVERIFY(!QGuiApplication::overrideCursor());
    for (QWidget *unlocked : {static_cast<QWidget *>(listDirectories(*form)), static_cast<QWidget *>(listFiles(*form)),
                              static_cast<QWidget *>(buttonProcess(*form)), static_cast<QWidget *>(buttonSaveCoordinates(*form))})
        QVERIFY(unlocked->isEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    QVERIFY(menuActions(*form)->menuAction()->isEnabled());
    QVERIFY(menuFile(*form)->menuAction()->isEnabled());
    QVERIFY(actionSettings(*form)->isEnabled());
}

void TestMainForm::allFilesWithScheduledStyle()
{
    Settings settings;
    settings.startStyle = 1;
    writeSettings(settings);
    auto form = openForm();
    QVERIFY(form);
    select(*form, {1});
    QStringList processed;
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &path, int) { processed << path; });
    form->startProcessing();
    QCOMPARE(processed, (QStringList{imagePath(0), imagePath(1), imagePath(2), imagePath(3), imagePath(4)}));
}

void TestMainForm::noImageSelectedWritesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter") << QStringLiteral("enter");
    QTest::newRow("start button") << QStringLiteral("button");
    QTest::newRow("menu") << QStringLiteral("menu");
}

// No empty result set, no log of no files, no empty journal run, no event:
// the working directory is as it was, and the status says why.
void TestMainForm::noImageSelectedWritesNothing()
{
    QFETCH(QString, how);
    auto form = openForm();
    QVERIFY(form);
    select(*form, {});
    const QStringList before = QDir(m_work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    if (how == QLatin1String("enter"))
        QTest::keyClick(listFiles(*form), Qt::Key_Enter);
    else if (how == QLatin1String("button"))
        QTest::mouseClick(buttonProcess(*form), Qt::LeftButton);
    else
        actionProcess(*form)->trigger();
    QCOMPARE(processed.size(), 0);
    QCOMPARE(QDir(m_work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    QVERIFY(!QFile::exists(resultsBase(1) + QLatin1String("_1.crd")));
    QCOMPARE(form->statusText(0), QStringLiteral(" Не выбрано ни одного изображения. Ничего не записано."));
    QVERIFY(m_dialogs->calls.isEmpty());
    QVERIFY(form->commandsEnabled());
    // The next run with an image selected is the first result set.
    select(*form, {0});
    form->startProcessing();
    QCOMPARE(processed.size(), 1);
    QVERIFY(QFile::exists(resultsBase(1) + QLatin1String("_1.crd")));
}

// Images arriving in or leaving the directory shown appear in the list
// without a click; what was selected stays selected.
void TestMainForm::fileListFollowsTheDirectory()
{
    auto form = openForm();
    QVERIFY(form);
    QCOMPARE(listFiles(*form)->count(), 5);
    select(*form, {1, 3});
    QVERIFY(sceneImage(0).save(m_work + QLatin1String("/img_0.bmp"), "BMP"));
    QTRY_COMPARE(listFiles(*form)->count(), 6);
    QCOMPARE(listFiles(*form)->item(0)->text(), QStringLiteral("img_0.bmp"));
    QCOMPARE(listFiles(*form)->selectedPaths(), (QStringList{imagePath(1), imagePath(3)}));
    QVERIFY(QFile::remove(imagePath(3)));
    QTRY_COMPARE(listFiles(*form)->count(), 5);
    QCOMPARE(listFiles(*form)->selectedPaths(), QStringList{imagePath(1)});
}

void TestMainForm::stop_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<QString>("status");
    QTest::newRow("stop button") << false << true << QStringLiteral(" Работа прервана. Результаты сохранены.");
    QTest::newRow("Esc") << true << true << QStringLiteral(" Работа прервана. Результаты сохранены.");
    QTest::newRow("Esc, no saving") << true << false << QStringLiteral(" Работа прервана.");
}

void TestMainForm::stop()
{
    QFETCH(bool, escape);
    QFETCH(bool, autoSave);
    QFETCH(QString, status);
    Settings settings;
    settings.autoSave = autoSave;
    writeSettings(settings);
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1, 2, 3});
    // The stop given while the second image is processed is seen in the event
    // processing before the third, which is still processed in full.
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &, int index) {
        if (index != 0)
            return;
        QTimer::singleShot(0, form.get(), [&] {
            QTimer::singleShot(0, form.get(), [&] {
                if (escape)
                    QTest::keyClick(form.get(), Qt::Key_Escape);
                else
                    QTest::mouseClick(buttonStop(*form), Qt::LeftButton);
            });
        });
    });
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    form->startProcessing();
    QCOMPARE(processed.size(), 3);
    QVERIFY2(form->statusText(0).startsWith(status + " Изображений: 3."), qPrintable(form->statusText(0)));
    QVERIFY(!form->finder().StopRequested);
    QVERIFY(form->commandsEnabled());
    // The view shows the last image processed, with its zones.
    QCOMPARE(form->finder().currentImagePath(), imagePath(2));
    QVERIFY(!form->loadedPicture().isNull());
    QCOMPARE(form->finder().zones().at(0).points.size(), 3);
    QCOMPARE(QFile::exists(resultsBase(1) + QLatin1String("_1.crd")), autoSave);
    if (autoSave)
        QCOMPARE(read(resultsBase(1) + QLatin1String("_1.crd")).count('\n'), 3);
}

void TestMainForm::escWhileIdleDoesNotStopNextRun()
{
    auto form = openForm();
    QVERIFY(form);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QVERIFY(form->finder().StopRequested);
    select(*form, {0, 1, 2});
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    QTest::keyClick(listFiles(*form), Qt::Key_Enter);
    QCOMPARE(processed.size(), 3);
    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" Результаты получены и сохранены.")), qPrintable(form->statusText(0)));
}

void TestMainForm::enterDuringRunIgnored()
{
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1, 2});
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &, int index) {
        if (index == 0) {
            QTest::keyClick(form.get(), Qt::Key_Return);
            QTest::keyClick(listFiles(*form), Qt::Key_Enter);
        }
    });
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    QTest::keyClick(listFiles(*form), Qt::Key_Return);
    // One run of three images, one result set.
    QCOMPARE(processed.size(), 3);
    QCOMPARE(read(resultsBase(1) + QLatin1String("_1.crd")).count('\n'), 3);
    QVERIFY(!QFile::exists(resultsBase(2) + QLatin1String("_1.crd")));
    // Once the commands are free again, Enter runs again.
    disconnect(form.get(), &TMainForm::imageProcessed, this, nullptr);
    QTest::keyClick(listFiles(*form), Qt::Key_Return);
    QCOMPARE(processed.size(), 6);
    QVERIFY(QFile::exists(resultsBase(2) + QLatin1String("_1.crd")));
}

void TestMainForm::closeDuringRunSavesResults()
{
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1, 2, 3});
    connect(form.get(), &TMainForm::imageProcessed, this, [&](const QString &, int index) {
        if (index == 0)
            QTimer::singleShot(0, form.get(), &QWidget::close);
    });
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    form->startProcessing();
    QVERIFY(!form->isVisible());
    QCOMPARE(processed.size(), 2);
    QCOMPARE(read(resultsBase(1) + QLatin1String("_1.crd")).count('\n'), 2);
}

void TestMainForm::damagedImageEndsRun()
{
    const QString damaged = m_work + QLatin1String("/img_b2.bmp");
    TestSupport::writeFile(damaged, "BM this is no bitmap");
    QString expected;
    try {
        BitmapFile file;
        file.open(damaged);
    } catch (const KelvarinError &error) {
        expected = error.message();
    }
    QVERIFY(!expected.isEmpty());

    auto form = openForm();
    QVERIFY(form);
    QCOMPARE(listFiles(*form)->item(2)->text(), QStringLiteral("img_b2.bmp"));
    select(*form, {0, 2, 3});
    bool savedBeforeMessage = false;
    m_dialogs->onMessage = [&](const ScriptedDialogs::Call &) {
        savedBeforeMessage = QFile::exists(resultsBase(1) + QLatin1String("_1.crd")) && form->commandsEnabled();
    };
    form->startProcessing();
    QCOMPARE(m_dialogs->messages().size(), 1);
    const ScriptedDialogs::Call message = m_dialogs->messages().at(0);
    QCOMPARE(message.caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(message.text, expected);
    QCOMPARE(message.icon, DialogService::Icon::Error);
    QVERIFY(savedBeforeMessage);
    // A partial run says how many of how many images were processed.
    QVERIFY2(form->statusText(0).startsWith(
             QStringLiteral(" Обработано изображений: 1 из 3, остальные не обработаны. Результаты сохранены.")),
             qPrintable(form->statusText(0)));
    QCOMPARE(read(resultsBase(1) + QLatin1String("_1.crd")), QByteArray("1\t41.0000\t41.0000\r\n"));
    // The error stays in the event log of the working directory.
    QVERIFY(read(m_work + QLatin1String("/kelvarin2-events.log")).contains(QByteArray("\terror\trun\t" + damaged.toUtf8() + "\t")));
    QVERIFY(logText(resultsBase(1)).contains(QStringLiteral("Количество файлов: 1\r\n")));
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestMainForm::unreadableZoneFileNoRun()
{
    auto form = openForm();
    QVERIFY(form);
    form->setStatusText(QStringLiteral(" earlier"));
    QFile::remove(m_zones);
    select(*form, {0});
    QSignalSpy processed(form.get(), &TMainForm::imageProcessed);
    QTest::keyClick(listFiles(*form), Qt::Key_Return);
    QCOMPARE(processed.size(), 0);
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList{QStringLiteral("Ошибка чтения файла координат зон!\nФайл %1 не найден.").arg(m_zones)});
    QCOMPARE(m_dialogs->messages().at(0).caption, QStringLiteral("Ошибка!"));
    QCOMPARE(form->statusText(0), QStringLiteral(" earlier"));
    QVERIFY(form->commandsEnabled());
    QVERIFY(!QFile::exists(resultsBase(1) + QLatin1String("_1.crd")));
}

void TestMainForm::stepByStep()
{
    Settings settings;
    settings.steps = true;
    writeSettings(settings);
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1});
    // Zone 1: OK, then its notice; zone 2: Cancel ends the run at this zone.
    m_dialogs->answerMessage(DialogService::Ok);
    m_dialogs->answerMessage(DialogService::Ok);
    m_dialogs->answerMessage(DialogService::Cancel);
    QImage firstMask;
    m_dialogs->onMessage = [&](const ScriptedDialogs::Call &call) {
        if (firstMask.isNull() && call.caption == QStringLiteral("Сообщение"))
            firstMask = pictureImage(*form)->picture().copy();
    };
    form->startProcessing();

    const QList<ScriptedDialogs::Call> messages = m_dialogs->messages();
    QCOMPARE(messages.size(), 3);
    for (int i : {0, 2}) {
        QCOMPARE(messages.at(i).caption, QStringLiteral("Сообщение"));
        QCOMPARE(messages.at(i).buttons, DialogService::Ok | DialogService::Cancel);
        QCOMPARE(messages.at(i).icon, DialogService::Icon::None);
    }
    // Numbers in the locale's notation.
    const QChar point = LocaleFormat::decimalSeparator();
    QCOMPARE(messages.at(0).text, QStringLiteral("Порог бинаризации: 187") + point
                                      + QStringLiteral("5000       Максимальная яркость: 250") + point
                                      + QStringLiteral("0000       Площадь: 81"));
    QCOMPARE(messages.at(1).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(messages.at(1).buttons, DialogService::Buttons(DialogService::Ok));
    QCOMPARE(messages.at(1).text, QStringLiteral("Координаты центра тяжести: 40") + point
                                      + QStringLiteral("0000   -   40") + point + QStringLiteral("0000"));

    // The mask of zone 1 alone: its spot white, everything else black.
    QCOMPARE(firstMask.size(), QSize(ImageWidth, ImageHeight));
    QCOMPARE(firstMask.pixel(40, 40), qRgb(255, 255, 255));
    QCOMPARE(firstMask.pixel(30, 40), qRgb(0, 0, 0));
    QCOMPARE(firstMask.pixel(115, 52), qRgb(0, 0, 0));

    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" Работа прервана. Результаты сохранены.")), qPrintable(form->statusText(0)));
    QCOMPARE(read(resultsBase(1) + QLatin1String("_1.crd")), QByteArray("1\t41.0000\t41.0000\r\n"));
    QCOMPARE(read(resultsBase(1) + QLatin1String("_2.crd")), QByteArray());
}

void TestMainForm::saveCoordinates()
{
    Settings settings;
    settings.autoSave = false;
    writeSettings(settings);
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1, 2});
    form->startProcessing();
    QVERIFY2(form->statusText(0).startsWith(QStringLiteral(" Результат получен.")), qPrintable(form->statusText(0)));
    QVERIFY(!QFile::exists(resultsBase(1) + QLatin1String("_1.crd")));

    // A directory with a dot in its name: only the file name is cut.
    const QString dir = m_root->path() + QLatin1String("/run.2024");
    QDir().mkpath(dir);
    m_dialogs->answerFile(dir + QLatin1String("/res.v2.crd"));
    QTest::mouseClick(buttonSaveCoordinates(*form), Qt::LeftButton);
    QCOMPARE(m_dialogs->calls.size(), 1);
    const ScriptedDialogs::Call call = m_dialogs->calls.at(0);
    QCOMPARE(call.kind, QStringLiteral("save"));
    QCOMPARE(call.directory, m_work);
    QCOMPARE(call.proposedName, QString());
    QCOMPARE(call.filter, QStringLiteral("Файлы координат (*.crd)|*.crd"));
    QCOMPARE(call.defaultSuffix, QStringLiteral("crd"));
    QCOMPARE(form->statusText(0), QStringLiteral(" Результаты сохранены."));

    const QString base = dir + QLatin1String("/res");
    const QString cli = runHeadless({imagePath(0), imagePath(1), imagePath(2)});
    QVERIFY(!cli.isEmpty());
    for (const char *suffix : {"_1.crd", "_2.crd"})
        QCOMPARE(read(base + QLatin1String(suffix)), read(cli + QLatin1String(suffix)));
    QVERIFY(logText(base).contains(QStringLiteral("Время обработки: ")));
    QVERIFY(logText(base).contains(QStringLiteral("Количество файлов: 3\r\n")));

    // The save reloaded the zones: a second one writes empty series.
    m_dialogs->answerFile(dir + QLatin1String("/again.crd"));
    actionSaveCoordinates(*form)->trigger();
    QCOMPARE(read(dir + QLatin1String("/again_1.crd")), QByteArray());
    QCOMPARE(read(dir + QLatin1String("/again_2.crd")), QByteArray());
    QVERIFY(logText(dir + QLatin1String("/again")).contains(QStringLiteral("Количество файлов: 0\r\n")));
    QCOMPARE(m_dialogs->messages().size(), 0);
}

void TestMainForm::saveCoordinatesCancelledOrFailing()
{
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1});
    form->startProcessing();
    form->setStatusText(QStringLiteral(" before"));
    // Cancelled: nothing at all.
    form->saveResultsAs();
    QCOMPARE(form->statusText(0), QStringLiteral(" before"));
    QCOMPARE(m_dialogs->calls.size(), 1);
    QCOMPARE(QDir(m_work).entryList({QStringLiteral("*.crd")}).size(), 2);

    // A directory that does not exist: the error's own text; the points stay
    // for a save elsewhere.
    m_dialogs->answerFile(m_root->path() + QLatin1String("/missing/res.crd"));
    form->saveResultsAs();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(m_dialogs->messages().at(0).icon, DialogService::Icon::Error);
    QVERIFY(m_dialogs->messages().at(0).text.contains(QStringLiteral("res_1.crd")));
    QCOMPARE(form->statusText(0), QStringLiteral(" before"));
    m_dialogs->answerFile(m_root->path() + QLatin1String("/res.crd"));
    form->saveResultsAs();
    QCOMPARE(read(m_root->path() + QLatin1String("/res_1.crd")).count('\n'), 2);
}

void TestMainForm::doubleClickShowsImageWithZones()
{
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    // The focused file is not selected: nothing happens.
    listFiles(*form)->setCurrentItem(listFiles(*form)->item(1), QItemSelectionModel::NoUpdate);
    listFiles(*form)->clearSelection();
    form->loadFocusedImage();
    QVERIFY(form->finder().currentImagePath().isEmpty());

    const QRect itemRect = listFiles(*form)->visualItemRect(listFiles(*form)->item(1));
    QTest::mousePress(listFiles(*form)->viewport(), Qt::LeftButton, {}, itemRect.center());
    QTest::mouseDClick(listFiles(*form)->viewport(), Qt::LeftButton, {}, itemRect.center());
    QTest::mouseRelease(listFiles(*form)->viewport(), Qt::LeftButton, {}, itemRect.center());
    QCOMPARE(form->finder().currentImagePath(), imagePath(1));
    QCOMPARE(pictureImage(*form)->picture(), sceneImage(1));
    QCOMPARE(pictureImage(*form)->size(), QSize(ImageWidth, ImageHeight));
    QCOMPARE(overlayImage(*form)->geometry(), pictureImage(*form)->geometry());
    // Zones red, the origin of zone 2 a blue cross, transparent elsewhere.
    QCOMPARE(overlayPixel(*form, 20, 35), qRgb(255, 0, 0));
    QCOMPARE(overlayPixel(*form, 140, 50), qRgb(255, 0, 0));
    QCOMPARE(overlayPixel(*form, 120, 55), qRgb(0, 0, 255));
    QCOMPARE(overlayPixel(*form, 115, 45), qRgb(0, 0, 255));
    QCOMPARE(qAlpha(overlayPixel(*form, 40, 40)), 0);
    QVERIFY(m_dialogs->calls.isEmpty());
}

void TestMainForm::zoomSizesView_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<QSize>("view");
    QTest::newRow("50") << 50 << QSize(80, 60);
    QTest::newRow("75") << 75 << QSize(120, 90);
    QTest::newRow("100") << 100 << QSize(160, 120);
    QTest::newRow("200") << 200 << QSize(320, 240);
    QTest::newRow("300") << 300 << QSize(480, 360);
    QTest::newRow("400") << 400 << QSize(640, 480);
}

void TestMainForm::zoomSizesView()
{
    QFETCH(int, percent);
    QFETCH(QSize, view);
    auto form = openForm();
    QVERIFY(form);
    form->finder().LoadImage(imagePath(0), true);
    QAction *item = nullptr;
    for (QAction *zoom : menuZoom(*form)->actions()) {
        if (zoom->data().toInt() == percent)
            item = zoom;
    }
    QVERIFY(item);
    item->trigger();
    QCOMPARE(form->zoomPercent(), percent);
    QCOMPARE(pictureImage(*form)->size(), view);
    QCOMPARE(overlayImage(*form)->size(), view);
    QCOMPARE(scrollImage(*form)->widget()->size(), view);
    for (QAction *zoom : menuZoom(*form)->actions())
        QCOMPARE(zoom->isChecked(), zoom == item);
    // Lines twice as wide below 100 %, so that they survive the shrinking.
    const QRgb red = qRgb(255, 0, 0);
    QCOMPARE(overlayPixel(*form, 20, 35), red);
    const int beside = int(overlayPixel(*form, 19, 35) == red) + int(overlayPixel(*form, 21, 35) == red);
    QCOMPARE(beside, percent < 100 ? 1 : 0);
    // A newly loaded image keeps the zoom.
    form->finder().LoadImage(imagePath(1), true);
    QCOMPARE(pictureImage(*form)->size(), view);
}

void TestMainForm::zoomRemovesFoundCrosses()
{
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0});
    form->startProcessing();
    // The found point of zone 1 is at (40, 40): its cross reaches (30, 40).
    QCOMPARE(overlayPixel(*form, 30, 40), qRgb(255, 0, 0));
    // The zoom menu is the context menu of the image.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(30, 40), overlayImage(*form)->mapToGlobal(QPoint(30, 40)));
    QApplication::sendEvent(overlayImage(*form), &click);
    QVERIFY(menuZoom(*form)->isVisible());
    QCOMPARE(menuZoom(*form)->pos(), click.globalPos());
    menuZoom(*form)->actions().at(3)->trigger();
    menuZoom(*form)->close();
    QCOMPARE(qAlpha(overlayPixel(*form, 30, 40)), 0);
    QCOMPARE(overlayPixel(*form, 20, 35), qRgb(255, 0, 0));
    QCOMPARE(overlayPixel(*form, 120, 55), qRgb(0, 0, 255));
}

void TestMainForm::mouseReadOuts()
{
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    // Before any image the mouse reads out nothing.
    form->pressOnImage(QPoint(5, 5), Qt::ShiftModifier);
    QVERIFY(m_dialogs->calls.isEmpty());

    form->finder().LoadImage(imagePath(0), true);
    menuZoom(*form)->actions().at(3)->trigger();
    moveMouse(overlayImage(*form), QPoint(101, 57));
    QCOMPARE(form->statusText(1), QStringLiteral(" X= 50;  Y= 28 "));
    // Under a fractional scale factor the mouse lies between device pixels:
    // still the pixel it is on, not the next one.
    moveMouse(overlayImage(*form), QPointF(101.5, 57.75));
    QCOMPARE(form->statusText(1), QStringLiteral(" X= 50;  Y= 28 "));
    QCOMPARE(labelPosition(*form)->alignment() & Qt::AlignRight, Qt::AlignRight);
    // Shift-click: the brightness of the pixel whose position is shown.
    QTest::mouseClick(overlayImage(*form), Qt::LeftButton, Qt::ShiftModifier, QPoint(101, 57));
    QTest::mouseClick(overlayImage(*form), Qt::RightButton, Qt::ShiftModifier, QPoint(81, 81));
    QCOMPARE(m_dialogs->messageTexts(), (QStringList{QStringLiteral("20"), QStringLiteral("250")}));
    QCOMPARE(m_dialogs->messages().at(0).caption, QStringLiteral("Kelvarin2"));
    // Without Shift, and outside the zone-drawing mode, a click does nothing.
    QTest::mouseClick(overlayImage(*form), Qt::LeftButton, {}, QPoint(81, 81));
    QCOMPARE(m_dialogs->calls.size(), 2);
    QCOMPARE(form->finder().zones().size(), 2);
}

void TestMainForm::zoneDrawnInCalibrateMode()
{
    auto form = openForm();
    QVERIFY(form);
    form->finder().LoadImage(imagePath(0), true);
    form->setCalibrationModeForTest(true);
    // A band symmetric about the press point, drawn while the mouse moves.
    QTest::mousePress(overlayImage(*form), Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(form->statusText(0), QStringLiteral(" Укажите зону"));
    QTest::mouseMove(overlayImage(*form), QPoint(110, 106));
    QTRY_COMPARE(overlayPixel(*form, 90, 100), qRgb(255, 0, 0));
    QTest::mouseRelease(overlayImage(*form), Qt::LeftButton, {}, QPoint(110, 106));
    QCOMPARE(form->finder().zones().size(), 3);
    const TZoneInfo &zone = form->finder().zones().at(2);
    QCOMPARE(QRect(QPoint(zone.X1, zone.Y1), QPoint(zone.X2, zone.Y2)), QRect(QPoint(90, 94), QPoint(110, 106)));
    QVERIFY(!zone.hasOrigin());
    // Two pixels wide is no zone, and its band does not stay drawn.
    QTest::mousePress(overlayImage(*form), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(overlayImage(*form), QPoint(51, 60));
    QTRY_COMPARE(overlayPixel(*form, 49, 45), qRgb(255, 0, 0));
    QTest::mouseRelease(overlayImage(*form), Qt::LeftButton, {}, QPoint(51, 60));
    QCOMPARE(form->finder().zones().size(), 3);
    QCOMPARE(qAlpha(overlayPixel(*form, 49, 45)), 0);
    QCOMPARE(overlayPixel(*form, 90, 100), qRgb(255, 0, 0)); // the zone drawn before stays
}

// Leaving the mode with its button ends the request to draw a zone.
void TestMainForm::calibrateModeLeftClearsRequest()
{
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    form->finder().LoadImage(imagePath(0), true);
    QTest::mouseClick(buttonCalibrate(*form), Qt::LeftButton);
    QVERIFY(form->calibrationMode());
    QTest::mousePress(overlayImage(*form), Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseRelease(overlayImage(*form), Qt::LeftButton, {}, QPoint(110, 110));
    QCOMPARE(form->statusText(0), QStringLiteral(" Укажите зону"));
    QTest::mouseClick(buttonCalibrate(*form), Qt::LeftButton);
    QVERIFY(!form->calibrationMode());
    QCOMPARE(form->statusText(0), QString());
}

// A status text too long for the panel is shortened in the middle, and the
// whole text is its tool tip.
void TestMainForm::longStatusElided()
{
    auto form = openForm();
    QVERIFY(form);
    form->resize(1000, 500);
    QTRY_COMPARE(form->width(), 1000);
    const QString text = QStringLiteral(" Не удалось обработать изображения: 4 из 14 обработаны, остальные 10 не обработаны; "
                                        "первое необработанное /srv/station/buffer/cam_0005.bmp");
    form->setStatusText(text);
    QCOMPARE(form->statusText(0), text);
    QCOMPARE(labelStatus(*form)->toolTip(), text.trimmed());
    const QString shown = labelStatus(*form)->shownText();
    QVERIFY(shown.size() < text.size());
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(shown.startsWith(QStringLiteral(" Не удалось")));
    QVERIFY(shown.endsWith(QStringLiteral(".bmp")));
    // A short text shows whole.
    form->setStatusText(QStringLiteral(" Ожидание"));
    QCOMPARE(labelStatus(*form)->shownText(), QStringLiteral(" Ожидание"));
}

// After a zoom change the position read-out follows the new scale at once.
void TestMainForm::readOutFollowsZoom()
{
    auto form = openForm();
    QVERIFY(form);
    form->endSplash();
    form->finder().LoadImage(imagePath(0), true);
    QCoreApplication::processEvents();
    QCursor::setPos(overlayImage(*form)->mapToGlobal(QPoint(40, 30)));
    moveMouse(overlayImage(*form), QPoint(40, 30));
    QCOMPARE(form->statusText(1), QStringLiteral(" X= 40;  Y= 30 "));
    menuZoom(*form)->actions().at(3)->trigger(); // 200 %
    if (overlayImage(*form)->mapFromGlobal(QCursor::pos()) != QPoint(40, 30))
        QSKIP("this platform does not move the mouse pointer");
    QCOMPARE(form->statusText(1), QStringLiteral(" X= 20;  Y= 15 "));
}

void TestMainForm::statusPanelKeepsWidth()
{
    auto form = openForm();
    QVERIFY(form);
    for (int width : {420, 857, 1300}) {
        form->resize(width, 500);
        QTRY_COMPARE(form->width(), width);
        QTRY_COMPARE(labelPosition(*form)->width(), 200);
        // The journal's panel beside them keeps its text's width.
        QVERIFY(labelStatus(*form)->width() > width - 200 - labelJournal(*form)->width() - 60);
    }
}

void TestMainForm::helpAndAboutBox()
{
    auto form = openForm();
    QVERIFY(form);
    actionHelp(*form)->trigger();
    auto *help = form->findChild<THelpWindow *>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->Browser->source(), THelpWindow::contentsUrl());
    const QString text = help->Browser->toPlainText();
    QVERIFY(text.contains(QStringLiteral("Содержание")));
    QVERIFY(text.contains(QStringLiteral("Файлы результатов")));
    QVERIFY(text.contains(QStringLiteral("kelvarin2-cli process")));
    // A second call brings the same window back at its contents.
    QScrollBar *scroll = help->Browser->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    form->showHelp();
    QCOMPARE(form->findChildren<THelpWindow *>().size(), 1);
    QVERIFY(scroll->maximum() == 0 || scroll->value() < scroll->maximum());

    QString shownTitle;
    QTimer::singleShot(0, this, [&] {
        if (auto *box = qobject_cast<TKelvarinAboutBox *>(QApplication::activeModalWidget())) {
            shownTitle = box->windowTitle() + QLatin1Char('|') + box->ProductName->text();
            box->OKButton->click();
        }
    });
    actionAbout(*form)->trigger();
    QCOMPARE(shownTitle, QStringLiteral("О программе|Kelvarin-2"));
}

void TestMainForm::closingDeletesHandOffFile()
{
    const QString leftover = m_work + QLatin1String("/img_a$tmp.crd");
    TestSupport::writeFile(leftover, "1 ; 2\r\n");
    auto form = openForm();
    QVERIFY(form);
    form->setHandOffFileNameForTest(leftover);
    form->close();
    form.reset();
    QVERIFY(!QFile::exists(leftover));
    // Loading an image forgets the hand-off of the previous one.
    TestSupport::writeFile(leftover, "1 ; 2\r\n");
    form = openForm();
    form->setHandOffFileNameForTest(leftover);
    form->finder().LoadImage(imagePath(0), true);
    QVERIFY(form->handOffFileName().isEmpty());
    form.reset();
    QVERIFY(QFile::exists(leftover));
}

void TestMainForm::handOffToMeasurementWindow()
{
    auto form = openForm();
    QVERIFY(form);
    select(*form, {0, 1, 2});
    form->startProcessing();
    QVERIFY(m_dialogs->calls.isEmpty());
    QTest::mouseClick(buttonManualMeasurement(*form), Qt::LeftButton);
    QVERIFY2(m_dialogs->calls.isEmpty(), qPrintable(m_dialogs->messageTexts().join(QLatin1Char('|'))));
    QList<TImageForm *> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *measure = qobject_cast<TImageForm *>(window))
            windows << measure;
    }
    QCOMPARE(windows.size(), 1);
    TImageForm *measure = windows.at(0);
    QVERIFY(measure->isVisible());
    QCOMPARE(measure->lastImagePath(), imagePath(2));
    // The last point of every zone, numbered by zone; zone 2 gave no spot in
    // the last image.
    QCOMPARE(measure->markers().Count(), 2);
    QCOMPARE(measure->markers().point(0).x, 42.0);
    QCOMPARE(measure->markers().point(0).y, 40.0);
    QCOMPARE(measure->markers().point(1).x, -1.0);
    QCOMPARE(measure->markers().point(1).y, -1.0);
    QCOMPARE(form->handOffFileName(), m_work + QLatin1String("/img_c$tmp.crd"));
    QVERIFY(!QFile::exists(form->handOffFileName()));

    // Every click opens another window; the first stays open.
    form->openMeasurementWindow();
    int open = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        open += qobject_cast<TImageForm *>(window) && window->isVisible() ? 1 : 0;
    QCOMPARE(open, 2);
    QVERIFY(measure->isVisible());
}

void TestMainForm::handOffFailures()
{
    auto form = openForm();
    QVERIFY(form);
    // No image yet: the measurement window asks for one; cancelled, no window.
    form->openMeasurementWindow();
    QCOMPARE(m_dialogs->calls.size(), 1);
    QCOMPARE(m_dialogs->calls.at(0).kind, QStringLiteral("open"));
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TImageForm *>(window));

    // An image whose extension is in capitals hands off through "$tmp.crd" in
    // the current directory; before any run the window gets no points.
    form->finder().LoadImage(imagePath(3), true);
    form->openMeasurementWindow();
    QCOMPARE(form->handOffFileName(), QDir::current().absoluteFilePath(QStringLiteral("$tmp.crd")));
    QCOMPARE(QDir::currentPath(), m_work);
    TImageForm *measure = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<TImageForm *>(window))
            measure = candidate;
    }
    QVERIFY(measure);
    QCOMPARE(measure->markers().Count(), 0);

    // A hand-off file that cannot be written: the error, and no new window.
    form->finder().LoadImage(imagePath(0), true);
    QVERIFY(QDir().mkpath(m_work + QLatin1String("/img_a$tmp.crd")));
    m_dialogs->clear();
    form->openMeasurementWindow();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(m_dialogs->messages().at(0).icon, DialogService::Icon::Error);
    int windows = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        windows += qobject_cast<TImageForm *>(window) ? 1 : 0;
    QCOMPARE(windows, 1);
}

// Not a check: with KELVARIN_SCREENSHOT set to a file name, runs the window on
// the bundled sample data and saves a picture of it there.
void TestMainForm::screenshot()
{
    const QString target = qEnvironmentVariable("KELVARIN_SCREENSHOT");
    if (target.isEmpty())
        QSKIP("KELVARIN_SCREENSHOT names the picture to save");
    const QString sample = m_root->path() + QLatin1String("/sample");
    QCOMPARE(QProcess::execute(QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2-samples"), {sample}), 0);
    qputenv("XDG_CONFIG_HOME", (sample + QLatin1String("/config")).toLocal8Bit());
    auto form = openForm();
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    QVERIFY(form);
    form->resize(1120, 790);
    QTest::qWait(200);
    // The window as it starts, with the splash, beside the one after the run.
    QVERIFY(form->grab().save(QFileInfo(target).path() + QLatin1String("/start-") + QFileInfo(target).fileName()));
    form->endSplash();
    listFiles(*form)->selectAll();
    form->startProcessing();
    moveMouse(overlayImage(*form), QPoint(300, 200));
    QTest::qWait(200);
    QVERIFY(form->grab().save(target));
}

// A picture of the main window's status bar with a long warning, for a
// person to look at, and one with its tool tip shown.
void TestMainForm::statusBarScreenshot()
{
    const QString shots = qEnvironmentVariable("KELVARIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("KELVARIN_SHOTS names the directory for the pictures");
    auto form = openForm();
    QVERIFY(form);
    form->resize(900, 600);
    form->endSplash();
    form->setStatusText(QStringLiteral(" Внимание: изображение /srv/station/buffer/2026-12-09/cam_0005.bmp не читается "
                                       "(файл поврежден), обработаны 4 изображения из 14, остальные 10 не обработаны."));
    QTest::qWait(300);
    QVERIFY(form->grab().save(shots + QLatin1String("/mainwindow-status.png")));
    QVERIFY(form->statusBar()->grab().save(shots + QLatin1String("/statusbar.png")));
    QToolTip::showText(labelStatus(*form)->mapToGlobal(QPoint(20, 0)), labelStatus(*form)->toolTip(),
                       labelStatus(*form));
    QTest::qWait(500);
    QVERIFY(form->screen()->grabWindow(0).save(shots + QLatin1String("/statusbar-tooltip.png")));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"

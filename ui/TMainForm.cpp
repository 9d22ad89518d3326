#include "TMainForm.h"

#include "BitmapPicture.h"
#include "DialogService.h"
#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "ElidedLabel.h"
#include "FileListBox.h"
#include "HandOffFile.h"
#include "ImageList.h"
#include "KelvarinError.h"
#include "MainFormPictures.h"
#include "MainFormRules.h"
#include "OverlayGeometry.h"
#include "PictureBox.h"
#include "ResultFiles.h"
#include "ParallelMeasuring.h"
#include "ResultSetWriter.h"
#include "RunDisplay.h"
#include "SettingsLocation.h"
#include "TDisplacementMonitoring.h"
#include "THelpWindow.h"
#include "TImageForm.h"
#include "TKelvarinAboutBox.h"
#include "JournalExport.h"
#include "JournalLocation.h"
#include "MonitoringExport.h"
#include "MonitoringSettings.h"
#include "TIssue.h"
#include "TJournal.h"
#include "TJournalRecorder.h"
#include "TProcessingRun.h"
#include "TPropertysForm.h"
#include "TStartControl.h"
#include "ThresholdCalibration.h"
#include "WarningIndicator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

static const int BrowserPanelWidth = 280;
static const int PositionPanelWidth = 200;
static const int SplashMilliseconds = 5000;

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), Finder(Parameters, this, this)
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Kelvarin-2. Программа определения координат индикаторных точек"));
    setWindowIcon(MainFormPictures::windowIcon());
    resize(857, 611);
    setMinimumSize(160, 31);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    StartDirectory = QDir::currentPath();
    StartControl = new TStartControl(Finder, Parameters, RunTimes, *this, *this, this);
    m_journal = std::make_unique<TJournalRecorder>();
    StartControl->setRecorder(m_journal.get());
    PreviewImageTimer = new QTimer(this);
    PreviewImageTimer->setSingleShot(true);
    PreviewImageTimer->setInterval(SplashMilliseconds);
    connect(PreviewImageTimer, &QTimer::timeout, this, &TMainForm::PreviewImageTimerTimer);

    createMenus();
    createToolBars();
    createWorkArea();
    createStatusBar();
    // The window sees every key before its controls do (Enter runs, Esc stops).
    qApp->installEventFilter(this);

    readSettings();
    // A journal that fails is told in the journal panel and the status line; the run goes on.
    m_journal->setFailureHandler([this](const QString &text) {
        JournalPanel->setText(QStringLiteral(" Журнал не записан! "));
        JournalPanel->setToolTip(text);
        setStatusText(QLatin1Char(' ') + text);
    });
    showJournalLocation();
    // The displacement view: menu "Вид" (Ctrl+G), the alarm indicator, every measured image checked.
    auto *monitoring = new TDisplacementMonitoring(this, Finder, SettingsFileName);
    connect(this, &TMainForm::imageProcessed, monitoring, &TDisplacementMonitoring::imageProcessed);
    connect(monitoring, &TDisplacementMonitoring::issueRaised, this, &TMainForm::report);
    PreviewImageTimer->start();
    // Style 2 whose buffer directory is gone falls back to the manual style
    // and says so in the status line.
    StartControl->StartStoredStyle();
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    // A hand-off file the measurement window did not take is not left behind.
    if (!HandOffFileName.isEmpty() && QFile::exists(HandOffFileName))
        QFile::remove(HandOffFileName);
}

void TMainForm::createMenus()
{
    auto picture = [](int index) { return QIcon(MainFormPictures::picture(index)); };
    auto item = [this](QMenu *menu, const char *name, const QString &caption, const QIcon &icon) {
        QAction *action = menu->addAction(icon, caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    File1 = menuBar()->addMenu(QStringLiteral("&Файл"));
    File1->setObjectName(QStringLiteral("File1"));
    N26 = item(File1, "N26", QStringLiteral("Сохранить координаты"), picture(MainFormPictures::SaveCoordinates));
    N5 = item(File1, "N5", QStringLiteral("Уточнить и сохранить зоны"), picture(MainFormPictures::RefineZones));
    ExportMeasurements = item(File1, "ExportMeasurements", QStringLiteral("Экспорт измерений..."), QIcon());
    connect(ExportMeasurements, &QAction::triggered, this, &TMainForm::ExportMeasurementsClick);
    File1->addSeparator();
    Exit1 = item(File1, "Exit1", QStringLiteral("&Выход"), picture(MainFormPictures::Exit));
    connect(N26, &QAction::triggered, this, &TMainForm::N26Click);
    connect(N5, &QAction::triggered, this, &TMainForm::N5Click);
    connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);

    // The menu title itself is the command.
    N6 = menuBar()->addAction(QStringLiteral("Настройка"));
    N6->setObjectName(QStringLiteral("N6"));
    connect(N6, &QAction::triggered, this, &TMainForm::N6Click);

    N1 = menuBar()->addMenu(QStringLiteral("Действия"));
    N1->setObjectName(QStringLiteral("N1"));
    N4 = item(N1, "N4", QStringLiteral("Найти координаты"), picture(MainFormPictures::FindCoordinates));
    N3 = item(N1, "N3", QStringLiteral("Калибровать"), picture(MainFormPictures::Calibrate));
    connect(N4, &QAction::triggered, this, &TMainForm::N4Click);
    connect(N3, &QAction::triggered, this, &TMainForm::N3Click);

    N2 = menuBar()->addMenu(QStringLiteral("Помощь"));
    N2->setObjectName(QStringLiteral("N2"));
    N20 = item(N2, "N20", QStringLiteral("Справка"), picture(MainFormPictures::Help));
    N21 = item(N2, "N21", QStringLiteral("О программе"), picture(MainFormPictures::About));
    connect(N20, &QAction::triggered, this, &TMainForm::N20Click);
    connect(N21, &QAction::triggered, this, &TMainForm::N21Click);
}

void TMainForm::createToolBars()
{
    auto button = [this](QToolBar *bar, const char *name, int picture, const QString &hint,
                         void (TMainForm::*handler)()) {
        auto *b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(MainFormPictures::picture(picture));
        b->setIconSize(QSize(MainFormPictures::PictureSize, MainFormPictures::PictureSize));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        bar->addWidget(b);
        connect(b, &QToolButton::clicked, this, handler);
        return b;
    };
    // The four groups stay in their row: they cannot be dragged away, and
    // no menu of the window hides them.
    setContextMenuPolicy(Qt::NoContextMenu);
    auto group = [this](const char *name) {
        QToolBar *bar = addToolBar(QString::fromLatin1(name));
        bar->setObjectName(QString::fromLatin1(name));
        bar->setIconSize(QSize(MainFormPictures::PictureSize, MainFormPictures::PictureSize));
        bar->setMovable(false);
        return bar;
    };
    QToolBar *files = group("ToolBar1");
    ToolButton10 = button(files, "ToolButton10", MainFormPictures::Exit, QStringLiteral("Выход"),
                          &TMainForm::ToolButton10Click);
    ToolButton9 = button(files, "ToolButton9", MainFormPictures::SaveCoordinates,
                         QStringLiteral("Сохранить координаты"), &TMainForm::ToolButton9Click);
    QToolBar *manual = group("ToolBar2");
    ToolButton2 = button(manual, "ToolButton2", MainFormPictures::ManualMeasurement,
                         QStringLiteral("Ручное определение координат точек"), &TMainForm::ToolButton2Click);
    QToolBar *run = group("ToolBar3");
    ToolButton4 = button(run, "ToolButton4", MainFormPictures::FindCoordinates,
                         QStringLiteral("Определить координаты индикаторной точки"), &TMainForm::ToolButton4Click);
    ToolButton5 = button(run, "ToolButton5", MainFormPictures::Stop, QStringLiteral("Остановить"),
                         &TMainForm::ToolButton5Click);
    ToolButton5->setEnabled(false);
    QToolBar *zones = group("ToolBar4");
    ToolButton1 = button(zones, "ToolButton1", MainFormPictures::Calibrate, QStringLiteral("Калибровать"),
                         &TMainForm::ToolButton1Click);
    // Shown pressed while the calibration mode is on.
    ToolButton1->setCheckable(true);
    ToolButton3 = button(zones, "ToolButton3", MainFormPictures::RefineZones,
                         QStringLiteral("Уточнить и сохранить зоны"), &TMainForm::ToolButton3Click);
    ToolButton6 = button(zones, "ToolButton6", MainFormPictures::CalibrateThreshold,
                         QStringLiteral("Калибровать порог яркости"), &TMainForm::ToolButton6Click);
}

void TMainForm::createWorkArea()
{
    ScrollBox3 = new QScrollArea;
    ScrollBox3->setObjectName(QStringLiteral("ScrollBox3"));
    ScrollBox3->setWidgetResizable(false);
    ScrollBox3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox3->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("ImageCanvas"));
    canvas->resize(0, 0);
    Image1 = new PictureBox(canvas);
    Image1->setObjectName(QStringLiteral("Image1"));
    CrossImage1 = new PictureBox(canvas);
    CrossImage1->setObjectName(QStringLiteral("CrossImage1"));
    CrossImage1->setMouseTracking(true);
    const QCursor cross = MainFormPictures::crossCursor();
    Image1->setCursor(cross);
    CrossImage1->setCursor(cross);
    ScrollBox3->setWidget(canvas);
    m_runDisplay = std::make_unique<RunDisplay>(Image1, CrossImage1);
    connect(CrossImage1, &PictureBox::mousePressed, this, &TMainForm::Image1MouseDown);
    connect(CrossImage1, &PictureBox::mouseMoved, this, &TMainForm::CrossImage1MouseMove);
    connect(CrossImage1, &PictureBox::mouseReleased, this, &TMainForm::CrossImage1MouseUp);

    ScalePopupMenu1 = new QMenu(this);
    ScalePopupMenu1->setObjectName(QStringLiteral("ScalePopupMenu1"));
    for (int percent : MainFormRules::zoomSteps()) {
        QAction *zoom = ScalePopupMenu1->addAction(QString::number(percent) + QLatin1Char('%'));
        zoom->setObjectName(QStringLiteral("N%1").arg(percent) + QStringLiteral("1"));
        zoom->setData(percent);
        zoom->setCheckable(true);
        zoom->setChecked(percent == ZoomPercent);
        connect(zoom, &QAction::triggered, this, [this, zoom] { N501Click(zoom); });
        m_zoomItems << zoom;
    }
    connect(ScrollBox3, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { ScalePopupMenu1->popup(ScrollBox3->viewport()->mapToGlobal(pos)); });

    // The splash covers the image area (not the scrolled picture) until it ends.
    PreviewImage = new PictureBox(ScrollBox3);
    PreviewImage->setObjectName(QStringLiteral("PreviewImage"));
    PreviewImage->setFit(PictureBox::Fit::Cover);
    PreviewImage->setPicture(MainFormPictures::splash());
    PreviewImage->setCursor(Qt::PointingHandCursor);
    PreviewImage->raise();
    ScrollBox3->installEventFilter(this);
    connect(PreviewImage, &PictureBox::mousePressed, this, &TMainForm::PreviewImageTimerTimer);

    WorkSplitter = new QSplitter(Qt::Horizontal);
    WorkSplitter->setObjectName(QStringLiteral("Splitter1"));
    WorkSplitter->addWidget(ScrollBox3);
    WorkSplitter->addWidget(createBrowserPanel());
    WorkSplitter->setStretchFactor(0, 1);
    WorkSplitter->setStretchFactor(1, 0);
    WorkSplitter->setCollapsible(0, false);
    // The browser appears when the splash ends.
    WorkSplitter->setSizes({width(), 0});
    setCentralWidget(WorkSplitter);
}

QWidget *TMainForm::createBrowserPanel()
{
    Panel3 = new QWidget;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    DriveComboBox1 = new DriveComboBox(Panel3);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DirectoryListBox1 = new DirectoryListBox;
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    FileListBox1 = new FileListBox;
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));

    auto *lists = new QSplitter(Qt::Vertical);
    lists->setObjectName(QStringLiteral("Splitter2"));
    lists->addWidget(DirectoryListBox1);
    lists->addWidget(FileListBox1);
    lists->setStretchFactor(0, 0);
    lists->setStretchFactor(1, 1);
    lists->setSizes({240, 300});

    auto *layout = new QVBoxLayout(Panel3);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(DriveComboBox1, 0, Qt::AlignRight);
    layout->addWidget(lists, 1);

    connect(DirectoryListBox1, &DirectoryListBox::directoryChanged, this, [this](const QString &dir) {
        FileListBox1->setDirectory(dir);
        DriveComboBox1->follow(dir);
    });
    connect(DriveComboBox1, &QComboBox::activated, this, &TMainForm::DriveComboBox1Change);
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this, &TMainForm::FileListBox1DblClick);
    // The browser starts in the start directory; the working directory, when
    // it can be entered, replaces it while the settings are read.
    guarded([this] { DirectoryListBox1->setDirectory(StartDirectory); });
    return Panel3;
}

void TMainForm::createStatusBar()
{
    QFont font(QStringLiteral("Tahoma"));
    if (QFontInfo(font).family() != QLatin1String("Tahoma"))
        font = QApplication::font();
    font.setBold(true);
    // A long status text is shortened in the middle and shown whole as the tool tip.
    StatusPanel0 = new ElidedLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFont(font);
    StatusPanel1 = new QLabel;
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFont(font);
    StatusPanel1->setTextFormat(Qt::PlainText);
    StatusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The position panel keeps its width whatever the window's; the status
    // panel takes the rest.
    StatusPanel1->setFixedWidth(PositionPanelWidth);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(StatusPanel0, 1);
    m_warnings = new WarningIndicator(this);
    statusBar()->addPermanentWidget(m_warnings);
    JournalPanel = new QLabel;
    JournalPanel->setObjectName(QStringLiteral("JournalPanel"));
    JournalPanel->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(JournalPanel);
    statusBar()->addPermanentWidget(StatusPanel1);
}

void TMainForm::showJournalLocation()
{
    const JournalLocation location = JournalLocation::parse(JournalLocation::fromSettings(Parameters));
    // A file by its name (the tooltip has the path), a server by its address.
    JournalPanel->setText(QStringLiteral(" Журнал: %1 ")
                              .arg(location.postgres ? location.display() : QFileInfo(location.file).fileName()));
    JournalPanel->setToolTip(QStringLiteral("Журнал измерений: %1").arg(location.display()));
}

void TMainForm::readSettings()
{
    SettingsFileName = SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"));
    TParametersActions actions;
    actions.startDirectory = StartDirectory;
    actions.applyWorkDir = [this](const QString &dir) { applyWorkDir(dir); };
    actions.loadZones = [this](const QString &file) { Finder.ReadZoneFile(file); };
    ReadParameters(SettingsFileName, Parameters, actions, *this);
}

void TMainForm::applyWorkDir(const QString &dir)
{
    DirectoryListBox1->setDirectory(dir);
    m_saveDirectory = DirectoryListBox1->directory();
}

template<typename Command>
void TMainForm::guarded(Command command)
{
    try {
        command();
    } catch (const KelvarinError &error) {
        DialogService::instance().error(this, error.message());
    } catch (const std::exception &error) {
        DialogService::instance().error(this, QString::fromLocal8Bit(error.what()));
    }
}

void TMainForm::SetStartStyle(int style)
{
    StartControl->SetStartStyle(style);
}

void TMainForm::TimerTimer()
{
    StartControl->TimerTimer();
}

void TMainForm::setStatusText(const QString &text)
{
    StatusPanel0->setFullText(text);
    StatusPanel0->repaint();
}

void TMainForm::SetStatusText(const QString &text)
{
    setStatusText(text);
    // A watch ends every tick with its status text: the file list then shows
    // the buffer directory as it is now.
    if (StartControl && StartControl->startStyle() == 2)
        refreshFileList();
}

void TMainForm::refreshFileList()
{
    const QString dir = FileListBox1->directory();
    const QStringList listed = ImageList::bitmapsIn(dir);
    bool same = listed.size() == FileListBox1->count();
    for (int i = 0; same && i < listed.size(); ++i)
        same = FileListBox1->pathOf(FileListBox1->item(i)) == listed.at(i);
    if (!same)
        FileListBox1->setDirectory(dir);
}

void TMainForm::EnableFileLists(bool on)
{
    // The drive box stays usable; while a watch runs it does not move the
    // lists away from the buffer directory (see DriveComboBox1Change).
    DirectoryListBox1->setEnabled(on);
    FileListBox1->setEnabled(on);
}

void TMainForm::ShowDirectory(const QString &directory)
{
    DirectoryListBox1->setDirectory(directory);
}

void TMainForm::StartScheduledRun()
{
    N4Click();
}

QString TMainForm::statusText(int panel) const
{
    return panel == 0 ? StatusPanel0->text() : StatusPanel1->text();
}

void TMainForm::EnableCommands(bool on)
{
    m_commandsEnabled = on;
    for (QWidget *command : {static_cast<QWidget *>(DirectoryListBox1), static_cast<QWidget *>(FileListBox1),
                             static_cast<QWidget *>(ToolButton10), static_cast<QWidget *>(ToolButton9),
                             static_cast<QWidget *>(ToolButton2), static_cast<QWidget *>(ToolButton4),
                             static_cast<QWidget *>(ToolButton1), static_cast<QWidget *>(ToolButton3),
                             static_cast<QWidget *>(ToolButton6)})
        command->setEnabled(on);
    // The stop button is the one command usable while the others are locked.
    ToolButton5->setEnabled(!on);
    N1->menuAction()->setEnabled(on);
    N2->menuAction()->setEnabled(on);
    N6->setEnabled(on);
    File1->menuAction()->setEnabled(on);
}

void TMainForm::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TMainForm::ShowOverlay()
{
    CrossImage1->setVisible(true);
    // The run is over: its last image is shown whole and is the current one.
    if (m_runDisplay->hasPartImage()) {
        try {
            Finder.setImage(m_runDisplay->complete(), m_partlyShown);
            m_loadedPicture = Image1->picture();
        } catch (const KelvarinError &) {
            // Cut since it was measured: the view keeps what it showed.
        }
        m_partlyShown.clear();
    }
}

void TMainForm::ShowMeasuredImage(const QString &path)
{
    // Only the view: an image that cannot be shown now does not stop the run.
    try {
        BitmapFile image;
        if (Finder.imageOpener())
            Finder.imageOpener()(image, path);
        else
            image.open(path);
        // The view's picture is written over in place: kept nowhere else, it is not copied.
        m_loadedPicture = QImage();
        if (m_runDisplay->show(std::move(image), Finder.zones(), Finder.lastMeasurements(), ZoomPercent)) {
            m_partlyShown = path;
            return;
        }
        const QList<TZoneMeasurement> measured = Finder.lastMeasurements();
        Finder.LoadImage(path, true);
        m_runDisplay->markPoints(Finder.zones(), measured, ZoomPercent);
        m_partlyShown.clear();
    } catch (const KelvarinError &) {
    }
}

void TMainForm::ImageProcessed(const QString &path, int index)
{
    Q_EMIT imageProcessed(path, index);
}

void TMainForm::report(const TIssue &issue)
{
    // The measurement journal keeps the run's events too.
    m_journal->report(issue);
    m_events.setDirectory(QFileInfo(Parameters.WorkDir).isDir() ? Parameters.WorkDir : QString());
    m_events.report(issue);
    m_warnings->noteIssue(issue, m_events.path());
    // A watch's notices and limit crossings go to the status line, never to a box that would wait.
    if (issue.source == TIssue::Source::Watch || issue.source == TIssue::Source::Monitoring)
        setStatusText(QLatin1Char(' ') + issue.text);
    else if (!issue.caption.isEmpty())
        DialogService::instance().message(this, issue.caption, issue.text, DialogService::Ok, DialogService::Icon::None);
    else
        DialogService::instance().error(this, issue.text);
}

void TMainForm::BeginBusy()
{
    m_busy.emplace();
}

void TMainForm::EndBusy()
{
    m_busy.reset();
}

void TMainForm::ReportMessage(const QString &caption, const QString &text)
{
    TIssue issue = TIssue::make(TIssue::Severity::Error, TIssue::Source::Settings, QString(), text);
    issue.caption = caption;
    report(issue);
}

// ---- the view of the engine -------------------------------------------------

QImage TMainForm::decodedPicture()
{
    return BitmapPicture::toImage(Finder.image());
}

void TMainForm::sizeView()
{
    const QSize view = OverlayGeometry::viewSize(QSize(Finder.width(), Finder.height()), ZoomPercent);
    ScrollBox3->widget()->resize(view);
    Image1->setGeometry(QRect(QPoint(0, 0), view));
    CrossImage1->setGeometry(QRect(QPoint(0, 0), view));
}

void TMainForm::checkZoomItem()
{
    for (QAction *zoom : std::as_const(m_zoomItems))
        zoom->setChecked(zoom->data().toInt() == ZoomPercent);
}

void TMainForm::ShowImage(bool show)
{
    // A newly loaded image ends any hand-off made for the previous one.
    HandOffFileName.clear();
    // The overlay is transparent where nothing is drawn: the image shows through.
    QImage overlay(Finder.width(), Finder.height(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    CrossImage1->setPicture(overlay);
    m_loadedPicture = show ? decodedPicture() : QImage();
    Image1->setPicture(m_loadedPicture);
    sizeView();
    checkZoomItem();
}

void TMainForm::HideOverlay()
{
    CrossImage1->setVisible(false);
}

void TMainForm::ShowMask()
{
    const TPointFinder::SpotMask &mask = Finder.mask();
    QImage picture(Finder.width(), Finder.height(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    const int columnHeight = mask.rect.height();
    size_t i = 0;
    for (int x = mask.rect.left(); !mask.rect.isEmpty() && x <= mask.rect.right(); ++x) {
        for (int y = 0; y < columnHeight; ++y, ++i) {
            if (mask.bits[i])
                picture.setPixel(x, mask.rect.top() + y, qRgb(255, 255, 255));
        }
    }
    Image1->setPicture(picture);
    Image1->repaint();
}

bool TMainForm::ConfirmStep(const QString &text)
{
    return DialogService::instance().message(this, QStringLiteral("Сообщение"), text,
                                             DialogService::Ok | DialogService::Cancel,
                                             DialogService::Icon::None)
        == DialogService::Ok;
}

void TMainForm::ShowNotice(const QString &text)
{
    DialogService::instance().notice(this, text);
}

void TMainForm::MarkPoint(int x, int y)
{
    DrawOverlayCross(Qt::red, x, y);
    CrossImage1->repaint();
}

void TMainForm::EndImage()
{
    CrossImage1->setVisible(true);
    if (m_loadedPicture.isNull())
        m_loadedPicture = decodedPicture();
    Image1->setPicture(m_loadedPicture);
    Image1->repaint();
    CrossImage1->repaint();
}

void TMainForm::DrawZoneOverlay()
{
    QImage &overlay = CrossImage1->picture();
    if (overlay.isNull())
        return;
    overlay.fill(Qt::transparent);
    m_runDisplay->forgetPoints();
    QPainter painter(&overlay);
    painter.setPen(QPen(Qt::red, OverlayGeometry::penWidth(ZoomPercent)));
    for (const TZoneInfo &zone : Finder.zones()) {
        const auto outline = OverlayGeometry::zoneOutline(zone);
        painter.drawPolyline(outline.data(), int(outline.size()));
    }
    painter.end();
    for (const TZoneInfo &zone : Finder.zones()) {
        if (zone.hasOrigin())
            DrawOverlayCross(Qt::blue, int(zone.X0), int(zone.Y0));
    }
    CrossImage1->update();
}

void TMainForm::DrawOverlayCross(const QColor &colour, int x, int y)
{
    QImage &overlay = CrossImage1->picture();
    if (overlay.isNull())
        return;
    QPainter painter(&overlay);
    painter.setPen(QPen(colour, OverlayGeometry::penWidth(ZoomPercent)));
    for (const QLine &line : OverlayGeometry::cross(x, y))
        painter.drawLine(line);
}

// ---- commands --------------------------------------------------------------

void TMainForm::N4Click()
{
    // A run started from inside a run (the scheduled start, a second key) would
    // read the zone file again and throw away the points gathered so far.
    if (m_running)
        return;
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    const QStringList images = MainFormRules::runImages(FileListBox1->allPaths(), FileListBox1->selectedPaths(),
                                                        Parameters.StartStyle);
    TProcessingRun run(Finder, Parameters, *this, RunTimes);
    // As many jobs as cores (step by step, and a single image, go one at a time).
    run.setJobs(ParallelMeasuring::defaultJobs());
    showJournalLocation();
    run.setRecorder(m_journal.get(), Parameters.StartStyle == 1 ? QStringLiteral("scheduled") : QStringLiteral("manual"));
    run.Run(images);
    // The run's last status text does not hide that its journal was not written.
    if (m_journal->failed())
        setStatusText(StatusPanel0->text() + QLatin1Char(' ') + m_journal->failure());
}

void TMainForm::ToolButton5Click()
{
    Finder.StopRequested = true;
}

void TMainForm::N26Click()
{
    const QString chosen = DialogService::instance().saveFileName(
        this, QStringLiteral("Сохранить как"), m_saveDirectory, QString(),
        QStringLiteral("Coordinate Files (*.crd)|*.crd"), QStringLiteral("crd"));
    if (chosen.isEmpty())
        return;
    guarded([&] {
        const QString base = MainFormRules::resultsBaseFromChosenPath(chosen);
        {
            TWaitCursor wait;
            ResultSetWriter::write(Finder.zones(), base, RunTimes);
        }
        setStatusText(QStringLiteral(" Результаты сохранены."));
        // The saved series are done with: the next run or save starts from nothing.
        Finder.ReadZoneFile(Parameters.ZonesFileName);
    });
}

void TMainForm::ExportMeasurementsClick()
{
    const QString caption = QStringLiteral("Экспорт измерений");
    const QString location = JournalLocation::fromSettings(Parameters);
    DialogService &dialogs = DialogService::instance();
    if (!JournalLocation::isUrl(location) && !QFileInfo(location).isFile()) {
        dialogs.notice(this, QStringLiteral("Журнал измерений %1 еще не создан.").arg(QDir::toNativeSeparators(location)));
        return;
    }
    TJournal journal(location);
    const QList<TJournalRun> runs = journal.runs();
    if (!journal.errorString().isEmpty()) {
        dialogs.error(this, journal.errorString());
        return;
    }
    if (runs.isEmpty()) {
        dialogs.notice(this, QStringLiteral("В журнале измерений %1 нет прогонов.").arg(journal.displayLocation()));
        return;
    }
    // The last run unless another is asked for by its number (as "kelvarin2-cli runs" lists them).
    QString number = QString::number(runs.last().id);
    if (!dialogs.inputText(this, caption,
                           QStringLiteral("Номер прогона (последний - %1, первый - %2):")
                               .arg(runs.last().id)
                               .arg(runs.first().id),
                           &number))
        return;
    const auto chosen = std::find_if(runs.cbegin(), runs.cend(),
                                     [&](const TJournalRun &run) { return QString::number(run.id) == number.trimmed(); });
    if (chosen == runs.cend()) {
        dialogs.error(this, QStringLiteral("В журнале измерений нет прогона %1.").arg(number.trimmed()));
        return;
    }
    const QString proposed = (chosen->base.isEmpty() ? QStringLiteral("run_%1").arg(chosen->id)
                                                     : QFileInfo(chosen->base).fileName())
                           + QStringLiteral(".csv");
    const QString file = dialogs.saveFileName(this, caption, m_saveDirectory, proposed,
                                              QStringLiteral("CSV (*.csv)|*.csv"), QStringLiteral("csv"));
    if (file.isEmpty())
        return;
    QString error;
    bool written = false;
    {
        TWaitCursor wait;
        const JournalExport::ExtraColumns extra =
            MonitoringExport::extraColumns(MonitoringSettings::readFile(SettingsFileName));
        written = JournalExport::writeFile(journal, chosen->id, JournalExport::Format::Csv, file, &error, extra.names.isEmpty() ? nullptr : &extra);
    }
    if (!written) {
        dialogs.error(this, error);
        return;
    }
    setStatusText(QStringLiteral(" Измерения прогона %1 выгружены в %2.").arg(chosen->id).arg(QDir::toNativeSeparators(file)));
}

void TMainForm::setDialogs(TKelvarinAboutBox *aboutBox, TDirForm *dirForm, TZymAboutBox *zymAboutBox,
                           TPropertysForm *propertysForm)
{
    m_aboutBox = aboutBox;
    m_dirForm = dirForm;
    m_zymAboutBox = zymAboutBox;
    m_propertysForm = propertysForm;
    if (m_propertysForm)
        m_propertysForm->setDirForm(m_dirForm);
}

TPropertysForm *TMainForm::propertysForm()
{
    if (!m_propertysForm) {
        m_propertysForm = new TPropertysForm(*this, this);
        m_propertysForm->setDirForm(m_dirForm);
    }
    return m_propertysForm;
}

void TMainForm::N6Click()
{
    propertysForm()->showSettings();
}

void TMainForm::settingsTakenOver()
{
    WriteParameters(SettingsFileName, Parameters, *this);
    showJournalLocation();
    // The zone list is replaced, and with it every point gathered so far.
    if (Finder.ReadZoneFile(Parameters.ZonesFileName))
        DrawZoneOverlay();
}

// ---- calibration -----------------------------------------------------------

void TMainForm::ToolButton1Click()
{
    // The button toggles itself when clicked; it shows the mode, whatever happens.
    const auto showMode = qScopeGuard([this] { ToolButton1->setChecked(CalibrateMode); });
    if (Finder.width() == 0 || m_running)
        return;
    CalibrateMode = !CalibrateMode;
    Dragging = false;
    if (CalibrateMode) {
        // New zones are drawn on the bare image.
        Finder.zones().clear();
        QImage &overlay = CrossImage1->picture();
        if (!overlay.isNull())
            overlay.fill(Qt::transparent);
        CrossImage1->repaint();
        EnableCommands(false);
        ToolButton5->setEnabled(false);
        for (QToolButton *button : {ToolButton1, ToolButton3, ToolButton6})
            button->setEnabled(true);
        repaint();
    } else {
        // The zones drawn are dropped; the overlay is redrawn whether or not the file was read.
        Finder.ReadZoneFile(Parameters.ZonesFileName);
        DrawZoneOverlay();
        EnableCommands(true);
        // The request to draw a zone ends with the mode.
        if (statusText(0) == QStringLiteral(" Укажите зону"))
            setStatusText(QString());
    }
}

template<typename Command>
void TMainForm::calibrationCommand(Command command)
{
    if (m_running)
        return;
    m_running = true;
    EnableCommands(false);
    Finder.StopRequested = false;
    // The closing steps run as an error unwinds, before guarded shows it.
    guarded([&] {
        const auto closing = qScopeGuard([this] {
            Finder.StopRequested = false;
            EnableCommands(true);
            CalibrateMode = false;
            Dragging = false;
            ToolButton1->setChecked(false);
            // Processing without visualisation hides the overlay; the zones are shown again.
            ShowOverlay();
            m_running = false;
        });
        command();
    });
}

// The reference image: the first selected file in list order, if any. The
// busy cursor covers the processing only; the dialogs after it wait for the user.
void TMainForm::processFirstSelected()
{
    const QStringList selected = FileListBox1->selectedPaths();
    if (selected.isEmpty())
        return;
    TWaitCursor wait;
    Finder.ProcessImage(selected.first());
}

void TMainForm::ToolButton6Click()
{
    calibrationCommand([this] {
        setStatusText(QStringLiteral(" Идет калибровка..."));
        repaint();
        // Without zones there is no threshold to propose: the error ends the command.
        int recommended = 0;
        {
            TWaitCursor wait;
            recommended = ThresholdCalibration::recommend(Finder, FileListBox1->selectedPaths().value(0));
        }
        const DialogService::Button answer = DialogService::instance().message(
            this, QStringLiteral("Калибровка порога яркости"),
            QStringLiteral("Рекомендуемый порог яркости:  ") + QString::number(recommended),
            DialogService::Ok | DialogService::Cancel, DialogService::Icon::None);
        if (answer != DialogService::Ok) {
            setStatusText(QStringLiteral(" Калибровка прервана."));
            return;
        }
        Parameters.AverageYPorog = recommended;
        WriteParameters(SettingsFileName, Parameters, *this);
        repaint();
        setStatusText(QStringLiteral(" Калибровка произведена."));
    });
}

void TMainForm::ToolButton3Click()
{
    calibrationCommand([this] {
        setStatusText(QStringLiteral(" Идет калибровка..."));
        repaint();
        processFirstSelected();
        saveRefinedZones();
        // Also after a cancelled or failed save: the settings hold the zone file in force.
        WriteParameters(SettingsFileName, Parameters, *this);
        repaint();
        setStatusText(QStringLiteral(" Калибровка произведена."));
    });
}

// Inside the calibration mode the zones go to a new file chosen by the user,
// outside it they replace the zone file in force. Every zone is saved with the
// first point of its list as origin, and the file is read back.
void TMainForm::saveRefinedZones()
{
    try {
        const QString target = CalibrateMode
            ? DialogService::instance().saveFileName(this, QStringLiteral("Сохранить как"), m_saveDirectory,
                                                     QString(), QStringLiteral("Zone Files|*.zon|All Files|*.*"),
                                                     QStringLiteral("zon"))
            : Parameters.ZonesFileName;
        if (target.isEmpty())
            return;
        Finder.WriteZoneFile(target);
        Parameters.ZonesFileName = target;
        if (Finder.ReadZoneFile(target))
            DrawZoneOverlay();
    } catch (const KelvarinError &) {
        ReportMessage(QStringLiteral("Ошибка"), QStringLiteral("Ошибка сохранения файла зон!"));
    }
}

void TMainForm::ToolButton2Click()
{
    TImageForm::Environment environment;
    environment.startDirectory = StartDirectory;
    environment.workDirectory = Parameters.WorkDir;
    environment.dirForm = m_dirForm;
    environment.aboutBox = m_zymAboutBox;
    // Every click opens another window, which lives on its own until closed.
    auto *form = new TImageForm(environment);
    const QString image = Finder.currentImagePath();
    if (!form->OpenImage(image)) {
        delete form;
        return;
    }
    HandOffFileName = HandOffFile::fileName(image);
    try {
        HandOffFile::write(Finder.zones(), image);
    } catch (const KelvarinError &error) {
        delete form;
        DialogService::instance().error(this, error.message());
        return;
    }
    form->LoadPoints(HandOffFileName);
    form->show();
    // Closed windows delete themselves; only the open ones are kept.
    m_measureWindows.removeIf([](const QPointer<TImageForm> &open) { return open.isNull(); });
    m_measureWindows << form;
    QFile::remove(HandOffFileName);
}

void TMainForm::N20Click()
{
    if (!m_helpWindow)
        m_helpWindow = new THelpWindow(this);
    m_helpWindow->showContents();
}

void TMainForm::N21Click()
{
    if (!m_aboutBox)
        m_aboutBox = new TKelvarinAboutBox(this);
    m_aboutBox->exec();
}

void TMainForm::PreviewImageTimerTimer()
{
    if (!PreviewImage->isVisible() && !PreviewImageTimer->isActive())
        return;
    PreviewImageTimer->stop();
    const int total = WorkSplitter->width() - WorkSplitter->handleWidth();
    WorkSplitter->setSizes({std::max(0, total - BrowserPanelWidth), BrowserPanelWidth});
    PreviewImage->hide();
}

void TMainForm::FileListBox1DblClick()
{
    QListWidgetItem *focused = FileListBox1->currentItem();
    if (!focused || !focused->isSelected())
        return;
    guarded([&] { Finder.LoadImage(FileListBox1->pathOf(focused), true); });
}

void TMainForm::DriveComboBox1Change(int index)
{
    const QString previous = DirectoryListBox1->directory();
    // A watch shows its buffer directory: the lists stay there, where they
    // show the images that are being watched.
    if (StartControl && StartControl->startStyle() == 2) {
        DriveComboBox1->follow(previous);
        return;
    }
    guarded([&] { DirectoryListBox1->setDirectory(DriveComboBox1->directoryFor(index)); });
    if (DirectoryListBox1->directory() == previous)
        DriveComboBox1->follow(previous);
    if (DirectoryListBox1->isEnabled())
        DirectoryListBox1->setFocus();
}

void TMainForm::N501Click(QAction *item)
{
    if (!item || !m_zoomItems.contains(item))
        return;
    ZoomPercent = item->data().toInt();
    checkZoomItem();
    sizeView();
    // Zones and origins only: the crosses of found points are not redrawn.
    DrawZoneOverlay();
    // The position read-out follows the new scale at once, not at the next move.
    const QPoint mouse = CrossImage1->mapFromGlobal(QCursor::pos());
    if (CrossImage1->rect().contains(mouse))
        CrossImage1MouseMove(mouse);
}

void TMainForm::Image1MouseDown(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    Q_UNUSED(button);
    if (Finder.width() == 0)
        return;
    const QPoint point = OverlayGeometry::viewToImage(pos, ZoomPercent);
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        const QImage picture = m_loadedPicture.isNull() ? decodedPicture() : m_loadedPicture;
        if (!picture.valid(point))
            return;
        DialogService::instance().notice(this, MainFormRules::brightnessText(picture.pixel(point)));
    } else if (CalibrateMode) {
        setStatusText(QStringLiteral(" Укажите зону"));
        Dragging = true;
        DragCentre = point;
    }
}

void TMainForm::CrossImage1MouseMove(QPoint pos)
{
    const QPoint point = OverlayGeometry::viewToImage(pos, ZoomPercent);
    StatusPanel1->setText(MainFormRules::positionText(point));
    if (!CalibrateMode || !Dragging)
        return;
    DrawZoneOverlay();
    QImage &overlay = CrossImage1->picture();
    if (overlay.isNull())
        return;
    QPainter painter(&overlay);
    painter.setPen(QPen(Qt::red, OverlayGeometry::penWidth(ZoomPercent)));
    const auto band = OverlayGeometry::rubberBand(DragCentre, point);
    painter.drawPolyline(band.data(), int(band.size()));
    painter.end();
    CrossImage1->update();
}

void TMainForm::CrossImage1MouseUp(QPoint pos, Qt::MouseButton button)
{
    Q_UNUSED(button);
    if (!CalibrateMode || !Dragging)
        return;
    Dragging = false;
    const QRect zone = OverlayGeometry::zoneFromDrag(DragCentre, OverlayGeometry::viewToImage(pos, ZoomPercent));
    // A band under 3 pixels either way makes no zone, and its line is wiped
    // so that it does not look like one; otherwise the last band stays drawn
    // as the new zone's outline.
    if (zone.isValid())
        Finder.zones().append(TZoneInfo(zone.left(), zone.top(), zone.right(), zone.bottom()));
    else
        DrawZoneOverlay();
}

void TMainForm::FormKeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_running)
            return;
        // The calibration mode locks the commands but for its own three, and
        // Enter saves the zones drawn.
        if (CalibrateMode) {
            ToolButton3Click();
            return;
        }
        // While the commands are locked (a wait for the start time or for new
        // files) Enter is ignored: a run started from inside another would
        // discard the points gathered so far.
        if (m_commandsEnabled)
            N4Click();
    } else if (key == Qt::Key_Escape) {
        Finder.StopRequested = true;
    }
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    // The menu bar keeps its own keys: Enter there opens the chosen menu.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !qobject_cast<QMenuBar *>(watched)
        && static_cast<QWidget *>(watched)->window() == this) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            FormKeyDown(key);
            return true;
        }
    } else if (watched == ScrollBox3 && event->type() == QEvent::Resize) {
        PreviewImage->setGeometry(ScrollBox3->rect());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // The measurement windows close with the program, each asking about its
    // unsaved points; one kept open (a save that did not happen) keeps the
    // program running, so that no points are lost.
    for (const QPointer<TImageForm> &form : std::as_const(m_measureWindows)) {
        if (form && form->isVisible() && !form->close()) {
            event->ignore();
            return;
        }
    }
    m_measureWindows.clear();
    // Closing during a run stops it after the image in hand; the results
    // gathered so far are still saved before the program ends.
    if (m_running)
        Finder.StopRequested = true;
    QMainWindow::closeEvent(event);
    Q_EMIT windowClosed();
}

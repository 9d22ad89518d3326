#include "TMainForm.h"

#include "BrowserPanel.h"
#include "DialogService.h"
#include "DriveComboBox.h"
#include "FileListBox.h"
#include "GuardedCommand.h"
#include "HandOffFile.h"
#include "JournalLocation.h"
#include "KelvarinError.h"
#include "MainFormCalibration.h"
#include "MainFormCommands.h"
#include "MainFormHost.h"
#include "MainFormPictures.h"
#include "MainFormRules.h"
#include "MainImageView.h"
#include "MainStatusBar.h"
#include "MeasurementExportCommand.h"
#include "OverlayGeometry.h"
#include "ParallelMeasuring.h"
#include "PictureBox.h"
#include "ResultSetWriter.h"
#include "SettingsLocation.h"
#include "TDisplacementMonitoring.h"
#include "THelpWindow.h"
#include "TImageForm.h"
#include "TIssue.h"
#include "TJournalRecorder.h"
#include "TKelvarinAboutBox.h"
#include "TProcessingRun.h"
#include "TPropertysForm.h"
#include "TStartControl.h"
#include "TWaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QTimer>

static const int BrowserPanelWidth = 280;
static const int SplashMilliseconds = 5000;

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), m_host(std::make_unique<MainFormHost>(*this)),
      m_finder(m_parameters, m_host.get(), m_host.get())
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Kelvarin-2. Программа определения координат индикаторных точек"));
    setWindowIcon(MainFormPictures::windowIcon());
    resize(857, 611);
    setMinimumSize(160, 31);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_startDirectory = QDir::currentPath();
    m_startControl = new TStartControl(m_finder, m_parameters, m_runTimes, *m_host, *m_host, this);
    m_journal = std::make_unique<TJournalRecorder>();
    m_startControl->setRecorder(m_journal.get());
    m_splashTimer = new QTimer(this);
    m_splashTimer->setObjectName(QStringLiteral("splashTimer"));
    m_splashTimer->setSingleShot(true);
    m_splashTimer->setInterval(SplashMilliseconds);
    connect(m_splashTimer, &QTimer::timeout, this, &TMainForm::endSplash);

    m_commands = std::make_unique<MainFormCommands>(*this);
    m_calibration = std::make_unique<MainFormCalibration>(*this);
    createWorkArea();
    m_status = new MainStatusBar;
    setStatusBar(m_status);
    // The window sees every key before its controls do (Enter runs, Esc stops).
    qApp->installEventFilter(this);

    readSettings();
    // A journal that fails is told in the journal panel and the status line; the run goes on.
    m_journal->setFailureHandler([this](const QString &text) {
        m_status->showJournalFailure(text);
        m_host->logIssue(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Run, m_journal->displayLocation(), text));
    });
    m_journal->setNoticeHandler([this](const TIssue &notice) { m_host->logIssue(notice); });
    showJournalLocation();
    // The displacement view: menu "Вид" (Ctrl+G), the alarm indicator, every measured image checked.
    m_monitoring = new TDisplacementMonitoring(this, m_finder, m_settingsFileName);
    connect(this, &TMainForm::imageMeasured, m_monitoring, &TDisplacementMonitoring::imageMeasured);
    connect(m_monitoring, &TDisplacementMonitoring::issueRaised, this,
            [this](const TIssue &issue) { m_host->report(issue); });
    // A warning or alarm stands in the status line until acknowledged.
    connect(m_monitoring, &TDisplacementMonitoring::alarmStateChanged, this,
            [this] { setStatusText(m_status->plainStatusText()); });
    m_splashTimer->start();
    // A run's progress bar moves with every image.
    connect(this, &TMainForm::imageProcessed, m_status,
            [this](const QString &, int index) { m_status->advanceProgress(index + 1); });
    // The status names the zones of the image just measured that held more than one spot.
    connect(this, &TMainForm::imageProcessed, this, [this] {
        m_spotsText = MainFormRules::spotsText(m_finder.lastMeasurements());
        setStatusText(m_status->plainStatusText());
    });
    // A stopped watch or timer keeps its stored style; the status bar offers it again.
    connect(m_startControl, &TStartControl::startStyleChanged, this, &TMainForm::startStyleChanged);
    connect(m_status, &MainStatusBar::resumeRequested, this, &TMainForm::resumeStartStyle);
    // Style 2 whose buffer directory is gone falls back to the manual style
    // and says so in the status line.
    m_startControl->StartStoredStyle();
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    // A hand-off file the measurement window did not take is not left behind.
    if (!m_handOffFileName.isEmpty() && QFile::exists(m_handOffFileName))
        QFile::remove(m_handOffFileName);
}

void TMainForm::createWorkArea()
{
    m_view = new MainImageView(m_finder);
    connect(m_view, &MainImageView::mousePressed, this,
            [this](QPoint pos, Qt::MouseButton, Qt::KeyboardModifiers modifiers) { pressOnImage(pos, modifiers); });
    connect(m_view, &MainImageView::mouseMoved, this, &TMainForm::showMousePosition);
    connect(m_view, &MainImageView::mouseReleased, this, [this](QPoint pos, Qt::MouseButton) { finishZone(pos); });
    connect(m_view, &MainImageView::zoomItemChosen, this, &TMainForm::zoomTo);
    connect(m_view, &MainImageView::splashClicked, this, &TMainForm::endSplash);

    m_browser = new BrowserPanel;
    connect(m_browser->driveBox(), &QComboBox::activated, this, &TMainForm::changeDrive);
    connect(m_browser->fileList(), &QListWidget::itemDoubleClicked, this, &TMainForm::loadFocusedImage);
    // The browser starts in the start directory; the working directory, when
    // it can be entered, replaces it while the settings are read.
    guarded([this] { m_browser->setDirectory(m_startDirectory); });

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("splitterMain"));
    m_splitter->addWidget(m_view);
    m_splitter->addWidget(m_browser);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setCollapsible(0, false);
    // The browser appears when the splash ends.
    m_splitter->setSizes({width(), 0});
    setCentralWidget(m_splitter);
}

void TMainForm::showJournalLocation()
{
    const JournalLocation location = JournalLocation::parse(JournalLocation::fromSettings(m_parameters));
    // A file by its name (the tooltip has the path), a server by its address.
    m_status->showJournalLocation(location.postgres ? location.display() : QFileInfo(location.file).fileName(),
                                  location.display());
}

void TMainForm::readSettings()
{
    m_settingsFileName = SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"));
    m_journal->setSettingsFile(m_settingsFileName);
    TParametersActions actions;
    actions.startDirectory = m_startDirectory;
    actions.applyWorkDir = [this](const QString &dir) { applyWorkDir(dir); };
    actions.loadZones = [this](const QString &file) { m_finder.ReadZoneFile(file); };
    ReadParameters(m_settingsFileName, m_parameters, actions, *m_host);
}

void TMainForm::applyWorkDir(const QString &dir)
{
    m_browser->setDirectory(dir);
    m_saveDirectory = m_browser->directory();
}

template<typename Command>
void TMainForm::guarded(Command command)
{
    guardedCommand(this, command);
}

// OK in the settings dialog with the style a stop suspended leaves it
// suspended (and stored): only the resume offer, or another style, changes it.
void TMainForm::SetStartStyle(int style)
{
    if (m_startControl->suspended() && style == m_parameters.StartStyle)
        return;
    m_startControl->SetStartStyle(style);
}

// The end of a watch is told like the end of a run: its status text (the
// next one set) gets the images, the points found and where they went.
void TMainForm::startStyleChanged(int style)
{
    showResumeOffer();
    if (style == 2) {
        m_watchBase = m_startControl->ResultsBase();
        return;
    }
    // A watch that processed nothing says so already.
    if (m_watchBase.isEmpty() || m_startControl->endedWithNothingProcessed()) {
        m_watchBase.clear();
        return;
    }
    const bool written = m_parameters.ResAutoSave && m_startControl->resultsWritten();
    const QList<TZoneInfo> &zones = m_finder.zones();
    m_watchSummary = MainFormRules::runSummary(zones.isEmpty() ? 0 : int(zones.first().points.size()), zones,
                                               written ? m_watchBase : QString());
    m_watchBase.clear();
}

void TMainForm::showResumeOffer()
{
    m_status->offerResume(m_startControl->suspended() ? m_parameters.StartStyle : 0);
}

void TMainForm::resumeStartStyle()
{
    if (m_running || !m_commandsEnabled)
        return;
    guarded([this] { m_startControl->resume(); });
}

void TMainForm::tickStartStyles()
{
    m_startControl->TimerTimer();
}

int TMainForm::zoomPercent() const
{
    return m_view->zoomPercent();
}

const QImage &TMainForm::loadedPicture() const
{
    return m_view->loadedPicture();
}

// ---- status --------------------------------------------------------------

// While a warning or an alarm is not acknowledged, a watch's waiting text
// gives way to it: the station is not simply waiting.
void TMainForm::setStatusText(const QString &text)
{
    static const QString waiting = QStringLiteral(" Ожидание новых файлов...");
    const QString alarm = m_monitoring ? m_monitoring->alarmNotice() : QString();
    QString shown = alarm.isEmpty() || !text.endsWith(waiting) ? text : text.chopped(waiting.size()) + alarm;
    // The last image's zones with more than one spot stay named until the next image.
    if (!m_spotsText.isEmpty())
        shown += QLatin1Char(' ') + m_spotsText;
    m_status->setStatusText(shown, text);
}

QString TMainForm::statusText(int panel) const
{
    return m_status->text(panel);
}

// ---- commands --------------------------------------------------------------

void TMainForm::startProcessing()
{
    // A run started from inside a run (the scheduled start, a second key) would
    // read the zone file again and throw away the points gathered so far.
    if (m_running)
        return;
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    const int style = m_startControl->startStyle();
    const QStringList images = MainFormRules::runImages(m_browser->fileList()->allPaths(),
                                                        m_browser->fileList()->selectedPaths(), style);
    // A run over nothing would write an empty result set, a log of no files
    // and an empty journal run: nothing is started, and the status says why.
    if (images.isEmpty()) {
        setStatusText(MainFormRules::noImagesText(style));
        return;
    }
    m_status->beginProgress(int(images.size()));
    const auto endProgress = qScopeGuard([this] { m_status->endProgress(); });
    TProcessingRun run(m_finder, m_parameters, *m_host, m_runTimes);
    // As many jobs as cores (step by step, and a single image, go one at a time).
    run.setJobs(ParallelMeasuring::defaultJobs());
    showJournalLocation();
    run.setRecorder(m_journal.get(),
                    style == 1 ? QStringLiteral("scheduled") : QStringLiteral("manual"));
    const TProcessingRun::Outcome outcome = run.Run(images);
    // The status says what the run did (the panel's tool tip has it whole)
    // and does not hide that its journal was not written.
    if (outcome.ran)
        setStatusText(statusText(0) + QLatin1Char(' ')
                      + MainFormRules::runSummary(outcome.imagesProcessed, m_finder.zones(), outcome.resultsBase));
    if (m_journal->failed())
        setStatusText(statusText(0) + QLatin1Char(' ') + m_journal->failure());
}

void TMainForm::stopProcessing()
{
    m_finder.StopRequested = true;
}

void TMainForm::saveResultsAs()
{
    const QString chosen = DialogService::instance().saveFileName(
        this, QStringLiteral("Сохранить как"), m_saveDirectory, QString(),
        QStringLiteral("Файлы координат (*.crd)|*.crd"), QStringLiteral("crd"));
    if (chosen.isEmpty())
        return;
    guarded([&] {
        const QString base = MainFormRules::resultsBaseFromChosenPath(chosen);
        {
            TWaitCursor wait;
            ResultSetWriter::write(m_finder.zones(), base, m_runTimes);
        }
        setStatusText(QStringLiteral(" Результаты сохранены."));
        // The saved series are done with: the next run or save starts from nothing.
        m_finder.ReadZoneFile(m_parameters.ZonesFileName);
    });
}

void TMainForm::exportMeasurements()
{
    MeasurementExportCommand command(this, JournalLocation::fromSettings(m_parameters), m_settingsFileName,
                                     m_saveDirectory);
    const QString done = command.run();
    if (!done.isEmpty())
        setStatusText(done);
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

void TMainForm::editSettings()
{
    propertysForm()->showSettings();
}

void TMainForm::settingsTakenOver()
{
    WriteParameters(m_settingsFileName, m_parameters, *m_host);
    showJournalLocation();
    // The zone list is replaced, and with it every point gathered so far.
    if (m_finder.ReadZoneFile(m_parameters.ZonesFileName))
        m_view->drawZoneOverlay();
}

void TMainForm::openMeasurementWindow()
{
    TImageForm::Environment environment;
    environment.startDirectory = m_startDirectory;
    environment.workDirectory = m_parameters.WorkDir;
    environment.dirForm = m_dirForm;
    environment.aboutBox = m_zymAboutBox;
    // Every click opens another window, which lives on its own until closed.
    auto *form = new TImageForm(environment);
    const QString image = m_finder.currentImagePath();
    if (!form->OpenImage(image)) {
        delete form;
        return;
    }
    m_handOffFileName = HandOffFile::fileName(image);
    try {
        HandOffFile::write(m_finder.zones(), image);
    } catch (const KelvarinError &error) {
        delete form;
        DialogService::instance().error(this, error.message());
        return;
    }
    form->LoadPoints(m_handOffFileName);
    form->show();
    // Closed windows delete themselves; only the open ones are kept.
    m_measureWindows.removeIf([](const QPointer<TImageForm> &open) { return open.isNull(); });
    m_measureWindows << form;
    QFile::remove(m_handOffFileName);
}

void TMainForm::showHelp()
{
    if (!m_helpWindow)
        m_helpWindow = new THelpWindow(this);
    m_helpWindow->showContents();
}

void TMainForm::showAboutBox()
{
    if (!m_aboutBox)
        m_aboutBox = new TKelvarinAboutBox(this);
    m_aboutBox->exec();
}

// ---- calibration -----------------------------------------------------------

void TMainForm::toggleCalibrationMode()
{
    m_calibration->toggleMode();
}

void TMainForm::calibrateThreshold()
{
    m_calibration->calibrateThreshold();
}

void TMainForm::refineZones()
{
    m_calibration->refineZones();
}

// ---- the splash, the browser and the image ---------------------------------

void TMainForm::endSplash()
{
    if (!m_view->splashShown() && !m_splashTimer->isActive())
        return;
    m_splashTimer->stop();
    const int total = m_splitter->width() - m_splitter->handleWidth();
    m_splitter->setSizes({std::max(0, total - BrowserPanelWidth), BrowserPanelWidth});
    m_view->hideSplash();
}

void TMainForm::loadFocusedImage()
{
    FileListBox *files = m_browser->fileList();
    QListWidgetItem *focused = files->currentItem();
    if (!focused || !focused->isSelected())
        return;
    guarded([&] { m_finder.LoadImage(files->pathOf(focused), true); });
}

void TMainForm::changeDrive(int index)
{
    const QString previous = m_browser->directory();
    // A watch shows its buffer directory: the lists stay there, where they
    // show the images that are being watched.
    const bool watching = m_startControl && m_startControl->startStyle() == 2;
    if (!watching)
        guarded([&] { m_browser->enterDrive(index); });
    m_browser->keepDriveOf(previous);
    if (!watching)
        m_browser->focusDirectories();
}

void TMainForm::zoomTo(QAction *item)
{
    if (!m_view->setZoom(item))
        return;
    // Zones and origins only: the crosses of found points are not redrawn.
    m_view->drawZoneOverlay();
    // The position read-out follows the new scale at once, not at the next move.
    const QPoint mouse = m_view->overlay()->mapFromGlobal(QCursor::pos());
    if (m_view->overlay()->rect().contains(mouse))
        showMousePosition(mouse);
}

void TMainForm::pressOnImage(QPoint pos, Qt::KeyboardModifiers modifiers)
{
    if (m_finder.width() == 0)
        return;
    const QPoint point = OverlayGeometry::viewToImage(pos, m_view->zoomPercent());
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        const QImage picture = m_view->picture();
        if (!picture.valid(point))
            return;
        DialogService::instance().notice(this, MainFormRules::brightnessText(picture.pixel(point)));
    } else if (m_calibrateMode) {
        setStatusText(QStringLiteral(" Укажите зону"));
        m_dragging = true;
        m_dragCentre = point;
    }
}

void TMainForm::showMousePosition(QPoint pos)
{
    const QPoint point = OverlayGeometry::viewToImage(pos, m_view->zoomPercent());
    m_status->setPositionText(MainFormRules::positionText(point));
    if (m_calibrateMode && m_dragging)
        m_view->drawRubberBand(m_dragCentre, point);
}

void TMainForm::finishZone(QPoint pos)
{
    if (!m_calibrateMode || !m_dragging)
        return;
    m_dragging = false;
    const QRect zone =
        OverlayGeometry::zoneFromDrag(m_dragCentre, OverlayGeometry::viewToImage(pos, m_view->zoomPercent()));
    // A band under 3 pixels either way makes no zone, and its line is wiped
    // so that it does not look like one; otherwise the last band stays drawn
    // as the new zone's outline.
    if (zone.isValid())
        m_finder.zones().append(TZoneInfo(zone.left(), zone.top(), zone.right(), zone.bottom()));
    else
        m_view->drawZoneOverlay();
}

// ---- keys and closing -------------------------------------------------------

void TMainForm::handleCommandKey(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_running)
            return;
        // The calibration mode locks the commands but for its own three, and
        // Enter saves the zones drawn.
        if (m_calibrateMode) {
            refineZones();
            return;
        }
        // While the commands are locked (a wait for the start time or for new
        // files) Enter is ignored: a run started from inside another would
        // discard the points gathered so far.
        if (m_commandsEnabled)
            startProcessing();
    } else if (key == Qt::Key_Escape) {
        m_finder.StopRequested = true;
    }
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    // The menu bar keeps its own keys: Enter there opens the chosen menu.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !qobject_cast<QMenuBar *>(watched)
        && static_cast<QWidget *>(watched)->window() == this) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            handleCommandKey(key);
            return true;
        }
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
        m_finder.StopRequested = true;
    QMainWindow::closeEvent(event);
    Q_EMIT windowClosed();
}

#pragma once

#include "TDateTime.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TPropertysHost.h"
#include "TRecordedImage.h"

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include <memory>

class BrowserPanel;
class MainFormCalibration;
class MainFormCommands;
class MainFormHost;
class MainImageView;
class MainStatusBar;
class QAction;
class QSplitter;
class QTimer;
class TDirForm;
class TDisplacementMonitoring;
class TJournalRecorder;
class THelpWindow;
class TImageForm;
class TKelvarinAboutBox;
class TPropertysForm;
class TStartControl;
class TZymAboutBox;

// The program's main window: the file browser (BrowserPanel), the image with
// its overlay of zones and found points (MainImageView), the menus and tool
// buttons that start every operation (MainFormCommands). It owns the
// measurement engine, whose view, run host and start host is its MainFormHost;
// it drives the start styles through its TStartControl and is what the
// settings dialog edits (TPropertysHost).
// Controls bear object names that say what they do (buttonProcess,
// listFiles, ...), and are connected to the command named for what it does.
class TMainForm : public QMainWindow, public TPropertysHost
{
    Q_OBJECT
    // The window's side of the engine and the start styles, and its zone
    // commands, reach its parts.
    friend class MainFormHost;
    friend class MainFormCalibration;

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // The dialogs created once at start: the about box of "О программе", the
    // settings dialog, and the directory chooser and about box the settings
    // dialog and the measurement windows share. Without them the windows make
    // their own.
    void setDialogs(TKelvarinAboutBox *aboutBox, TDirForm *dirForm, TZymAboutBox *zymAboutBox,
                    TPropertysForm *propertysForm = nullptr);
    TPropertysForm *propertysForm();

    // Switches to a start style (1 at the set time, 2 on new files in the
    // buffer directory, 3 manual): status text, command lock, lists and timer.
    // Throws KelvarinError, changing nothing, when style 2 cannot watch its
    // buffer directory.
    void SetStartStyle(int style) override;

    // Points the file browser at the working directory, which also becomes
    // the process's current directory and where the save dialogs start; at
    // start-up and after the settings are confirmed. Throws KelvarinError when
    // the directory cannot be entered, leaving the browser where it was.
    void applyWorkDir(const QString &dir) override;
    const QString &saveDirectory() const { return m_saveDirectory; }

    // Status panel 0; the texts begin with one blank.
    void setStatusText(const QString &text);
    QString statusText(int panel) const;

    // TPropertysHost: the settings dialog's side of the window.
    TParameters &settings() override { return m_parameters; }
    void settingsTakenOver() override;

    // A run, a threshold calibration or a zone refinement is in progress.
    bool isRunning() const { return m_running; }
    bool commandsEnabled() const { return m_commandsEnabled; }
    // The picture of the loaded image as the view shows it (null when not shown).
    const QImage &loadedPicture() const;

    // What the widget tests reach besides the controls (found by object name).
    TPointFinder &finder() { return m_finder; }
    TStartControl &startControl() const { return *m_startControl; }
    const TRunTimes &runTimes() const { return m_runTimes; }
    int zoomPercent() const;
    bool calibrationMode() const { return m_calibrateMode; }
    void setCalibrationModeForTest(bool on) { m_calibrateMode = on; }
    const QString &handOffFileName() const { return m_handOffFileName; }
    void setHandOffFileNameForTest(const QString &file) { m_handOffFileName = file; }

Q_SIGNALS:
    // An image of a run was measured: its record, as the journal has it.
    // imageProcessed() follows.
    void imageMeasured(const TRecordedImage &image, int index);
    // An image of a run was processed (its position in the run, from 0).
    void imageProcessed(const QString &path, int index);
    // The window was closed: the program ends.
    void windowClosed();

public Q_SLOTS:
    // The commands of the menus, tool buttons, keys, lists and image, each
    // named for what it does; the controls are connected to them directly.
    // Processes the selected images (all of them at the scheduled start) and writes the results.
    void startProcessing();
    // Asks a run or a calibration to stop after the image in hand.
    void stopProcessing();
    // Saves the points gathered under a base name the user chooses.
    void saveResultsAs();
    // Writes a run of the measurement journal as CSV or JSON.
    void exportMeasurements();
    // Opens a measurement window on the current image with the points found.
    void openMeasurementWindow();
    // Closes the window, and with it the program ("Выход").
    void closeWindow() { close(); }
    // Shows the help window.
    void showHelp();
    // Shows the program's about box.
    void showAboutBox();
    // Turns the zone-drawing calibration mode on or off.
    void toggleCalibrationMode();
    // Measures the first selected image and saves the zones with the found origins.
    void refineZones();
    // Proposes a brightness threshold from the first selected image and keeps it when confirmed.
    void calibrateThreshold();
    // Opens the settings dialog.
    void editSettings();
    // Switches back to the stored start style a stop or the start-up suspended.
    void resumeStartStyle();
    // One tick of the start styles' timer.
    void tickStartStyles();
    // Ends the splash and shows the file browser (its time is up, or it was clicked).
    void endSplash();
    // Loads the focused image of the file list and shows it.
    void loadFocusedImage();
    // Moves the browser to the volume chosen, unless a watch keeps it.
    void changeDrive(int index);
    // Shows the image at a zoom step of the image's menu.
    void zoomTo(QAction *item);
    // Shows the brightness under a Shift click, or starts a zone in the calibration mode.
    void pressOnImage(QPoint pos, Qt::KeyboardModifiers modifiers);
    // The image position in the status bar, and the band of a zone being drawn.
    void showMousePosition(QPoint pos);
    // Adds the zone drawn, if it is large enough.
    void finishZone(QPoint pos);
    // Enter runs (or, in the calibration mode, saves the zones drawn); Esc stops.
    void handleCommandKey(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The status bar's resume button, shown while the stored style is suspended.
    void showResumeOffer();
    void startStyleChanged(int style);

    void createWorkArea();
    // The journal panel: where the journal of the next run lies.
    void showJournalLocation();
    void readSettings();
    // Runs a command, showing an error that ends it as the top level would.
    template<typename Command> void guarded(Command command);

    TParameters m_parameters;
    std::unique_ptr<MainFormHost> m_host;
    // The zones of the last image measured that held more than one spot, as
    // the status names them after its text; empty when none did.
    QString m_spotsText;
    TPointFinder m_finder;
    TRunTimes m_runTimes;
    QString m_settingsFileName;
    QString m_startDirectory;
    QString m_handOffFileName;
    QString m_saveDirectory;
    // The base of the watch in force, and the summary its end adds to the status.
    QString m_watchBase;
    QString m_watchSummary;
    bool m_calibrateMode = false;
    QPoint m_dragCentre;
    bool m_dragging = false;
    bool m_running = false;
    bool m_commandsEnabled = true;

    // The start styles with their 100 ms timer.
    TStartControl *m_startControl = nullptr;
    QTimer *m_splashTimer = nullptr;
    std::unique_ptr<MainFormCommands> m_commands;
    std::unique_ptr<MainFormCalibration> m_calibration;
    QSplitter *m_splitter = nullptr;
    MainImageView *m_view = nullptr;
    BrowserPanel *m_browser = nullptr;
    MainStatusBar *m_status = nullptr;
    TDisplacementMonitoring *m_monitoring = nullptr;

    THelpWindow *m_helpWindow = nullptr;
    TKelvarinAboutBox *m_aboutBox = nullptr;
    TDirForm *m_dirForm = nullptr;
    TZymAboutBox *m_zymAboutBox = nullptr;
    TPropertysForm *m_propertysForm = nullptr;
    QList<QPointer<TImageForm>> m_measureWindows;
    // Every run, scheduled start and watch writes the journal the settings name.
    std::unique_ptr<TJournalRecorder> m_journal;
};

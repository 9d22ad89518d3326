#pragma once

#include "EventLog.h"
#include "TDateTime.h"
#include "TFinderHost.h"
#include "TMessageReporter.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TPropertysHost.h"
#include "TRunHost.h"
#include "TStartHost.h"
#include "TWaitCursor.h"

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include <memory>
#include <optional>

class DirectoryListBox;
class DriveComboBox;
class ElidedLabel;
class FileListBox;
class PictureBox;
class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolButton;
class QWidget;
class RunDisplay;
class TDirForm;
class TJournalRecorder;
class WarningIndicator;
class THelpWindow;
class TImageForm;
class TKelvarinAboutBox;
class TPropertysForm;
class TStartControl;
class TZymAboutBox;

// The program's main window: the file browser, the image with its overlay of
// zones and found points, the menus and tool buttons that start every
// operation. It owns the measurement engine and is its view (TFinderHost), the
// host of its runs (TRunHost) and the place where the engine's messages are
// shown (TMessageReporter). It drives the start styles through its
// TStartControl (TStartHost) and is what the settings dialog edits
// (TPropertysHost). Controls and handlers bear the names the rest of the
// program knows them by (ToolButton4, N4Click, ...).
class TMainForm : public QMainWindow,
                  public TFinderHost,
                  public TRunHost,
                  public TStartHost,
                  public TMessageReporter,
                  public TPropertysHost
{
    Q_OBJECT

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

    // Draws a cross of the program's size at an image point on the overlay.
    void DrawOverlayCross(const QColor &colour, int x, int y);

    // TFinderHost: the view while the engine loads and processes an image.
    void ShowImage(bool show) override;
    void HideOverlay() override;
    void ShowMask() override;
    bool ConfirmStep(const QString &text) override;
    void ShowNotice(const QString &text) override;
    void MarkPoint(int x, int y) override;
    void EndImage() override;
    void DrawZoneOverlay() override;

    // TRunHost: the window's side of a run.
    void SetStatusText(const QString &text) override;
    void EnableCommands(bool on) override;
    void ProcessEvents() override;
    void ShowOverlay() override;
    void ShowMeasuredImage(const QString &path) override;
    void ImageProcessed(const QString &path, int index) override;
    // TIssueSink: a run's error in a message box, a watch's warning in the
    // status line; both in the event log and the warning indicator.
    void report(const TIssue &issue) override;
    void BeginBusy() override;
    void EndBusy() override;

    // TStartHost: the lists and the scheduled run of the start styles.
    void EnableFileLists(bool on) override;
    void ShowDirectory(const QString &directory) override;
    void StartScheduledRun() override;

    // TMessageReporter: failures the engine handles itself.
    void ReportMessage(const QString &caption, const QString &text) override;

    // TPropertysHost: the settings dialog's side of the window.
    TParameters &settings() override { return Parameters; }
    void settingsTakenOver() override;

    // A run, a threshold calibration or a zone refinement is in progress.
    bool isRunning() const { return m_running; }
    bool commandsEnabled() const { return m_commandsEnabled; }
    // The picture of the loaded image as the view shows it (null when not shown).
    const QImage &loadedPicture() const { return m_loadedPicture; }

    TParameters Parameters;
    TPointFinder Finder;
    TRunTimes RunTimes;
    QString SettingsFileName;
    QString StartDirectory;
    QString HandOffFileName;
    int ZoomPercent = 100;
    bool CalibrateMode = false;
    QPoint DragCentre;
    bool Dragging = false;

    // The start styles with their 100 ms timer.
    TStartControl *StartControl = nullptr;
    QTimer *PreviewImageTimer = nullptr;

    QMenu *File1 = nullptr;
    QAction *N26 = nullptr;
    QAction *N5 = nullptr;
    QAction *ExportMeasurements = nullptr;
    QAction *Exit1 = nullptr;
    QAction *N6 = nullptr;
    QMenu *N1 = nullptr;
    QAction *N4 = nullptr;
    QAction *N3 = nullptr;
    QMenu *N2 = nullptr;
    QAction *N20 = nullptr;
    QAction *N21 = nullptr;
    QMenu *ScalePopupMenu1 = nullptr;

    QToolButton *ToolButton10 = nullptr;
    QToolButton *ToolButton9 = nullptr;
    QToolButton *ToolButton2 = nullptr;
    QToolButton *ToolButton4 = nullptr;
    QToolButton *ToolButton5 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    QToolButton *ToolButton3 = nullptr;
    QToolButton *ToolButton6 = nullptr;

    QSplitter *WorkSplitter = nullptr;
    QScrollArea *ScrollBox3 = nullptr;
    PictureBox *Image1 = nullptr;
    PictureBox *CrossImage1 = nullptr;
    PictureBox *PreviewImage = nullptr;
    QWidget *Panel3 = nullptr;
    DriveComboBox *DriveComboBox1 = nullptr;
    DirectoryListBox *DirectoryListBox1 = nullptr;
    FileListBox *FileListBox1 = nullptr;
    ElidedLabel *StatusPanel0 = nullptr;
    QLabel *StatusPanel1 = nullptr;
    QLabel *JournalPanel = nullptr;  // where the measurement journal is, or why it is not written
    WarningIndicator *m_warnings = nullptr;

Q_SIGNALS:
    // An image of a run was processed (its position in the run, from 0).
    void imageProcessed(const QString &path, int index);
    // The window was closed: the program ends.
    void windowClosed();

public Q_SLOTS:
    void N4Click();
    void ToolButton4Click() { N4Click(); }
    void ToolButton5Click();
    void N26Click();
    // "Файл -> Экспорт измерений...": the CSV of a run of the journal (the last by default).
    void ExportMeasurementsClick();
    void ToolButton9Click() { N26Click(); }
    void ToolButton2Click();
    void N20Click();
    void N21Click();
    void Exit1Click() { close(); }
    void ToolButton10Click() { close(); }
    void PreviewImageTimerTimer();
    void FileListBox1DblClick();
    void DriveComboBox1Change(int index);
    void N501Click(QAction *item);
    void Image1MouseDown(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void CrossImage1MouseMove(QPoint pos);
    void CrossImage1MouseUp(QPoint pos, Qt::MouseButton button);
    void FormKeyDown(int key);

    // The calibration mode, on and off (also the menu's N3Click).
    void ToolButton1Click();
    void N3Click() { ToolButton1Click(); }
    // Zone refinement (also the menu's N5Click and Enter in the calibration mode).
    void ToolButton3Click();
    void N5Click() { ToolButton3Click(); }
    // The brightness threshold calibration.
    void ToolButton6Click();
    // The settings dialog.
    void N6Click();
    // One tick of the start styles' timer.
    void TimerTimer();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createToolBars();
    void createWorkArea();
    QWidget *createBrowserPanel();
    void createStatusBar();
    // The journal panel: where the journal of the next run lies.
    void showJournalLocation();
    void readSettings();
    void sizeView();
    void checkZoomItem();
    QImage decodedPicture();
    // Runs a command, showing an error that ends it as the top level would.
    template<typename Command> void guarded(Command command);
    // Runs a calibration command between its opening steps (commands locked,
    // stop cleared) and its closing steps (stop cleared, commands unlocked,
    // calibration mode off), which follow however it ends; an error that
    // ended it is shown after them.
    template<typename Command> void calibrationCommand(Command command);
    void processFirstSelected();
    void saveRefinedZones();
    void refreshFileList();

    QImage m_loadedPicture;
    // The view of runs measured by several jobs, and the image it shows only in
    // part until the run ends.
    std::unique_ptr<RunDisplay> m_runDisplay;
    QString m_partlyShown;
    QString m_saveDirectory;
    bool m_running = false;
    bool m_commandsEnabled = true;
    std::optional<TWaitCursor> m_busy;
    EventLog m_events;
    QList<QAction *> m_zoomItems;
    THelpWindow *m_helpWindow = nullptr;
    TKelvarinAboutBox *m_aboutBox = nullptr;
    TDirForm *m_dirForm = nullptr;
    TZymAboutBox *m_zymAboutBox = nullptr;
    TPropertysForm *m_propertysForm = nullptr;
    QList<QPointer<TImageForm>> m_measureWindows;
    // Every run, scheduled start and watch writes the journal the settings name.
    std::unique_ptr<TJournalRecorder> m_journal;
};

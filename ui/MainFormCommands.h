#pragma once

#include <QString>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;
class TMainForm;

// The main window's menus and tool bars: every command the user starts there,
// built once with their pictures, hints and object names, connected to the
// window's handlers; and the locks a run or the calibration mode puts on them.
class MainFormCommands
{
public:
    // Builds the menu bar and the four tool bar groups of `form`.
    explicit MainFormCommands(TMainForm &form);

    // Unlocks (or locks) every command; the stop button does the opposite.
    void setEnabled(bool on);
    // The calibration mode: its three commands usable, the stop button not.
    void enableCalibrationCommands();
    // The calibration button shown pressed while the mode is on.
    void showCalibrationMode(bool on);

private:
    void createFileMenu();
    void createMenus();
    void createToolBars();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption, int picture);
    QToolBar *addGroup(const char *name);
    QToolButton *addButton(QToolBar *bar, const char *name, int picture, const QString &hint,
                           void (TMainForm::*handler)());

    TMainForm &m_form;
    QMenu *menuFile = nullptr;
    QAction *actionSaveCoordinates = nullptr;
    QAction *actionRefineZones = nullptr;
    QAction *actionExportMeasurements = nullptr;
    QAction *actionExit = nullptr;
    QAction *actionSettings = nullptr;
    QMenu *menuActions = nullptr;
    QAction *actionProcess = nullptr;
    QAction *actionCalibrate = nullptr;
    QMenu *menuHelp = nullptr;
    QAction *actionHelp = nullptr;
    QAction *actionAbout = nullptr;

    QToolButton *buttonExit = nullptr;
    QToolButton *buttonSaveCoordinates = nullptr;
    QToolButton *buttonManualMeasurement = nullptr;
    QToolButton *buttonProcess = nullptr;
    QToolButton *buttonStop = nullptr;
    QToolButton *buttonCalibrate = nullptr;
    QToolButton *buttonRefineZones = nullptr;
    QToolButton *buttonCalibrateThreshold = nullptr;
};

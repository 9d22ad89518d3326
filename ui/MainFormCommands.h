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

    QToolButton *ToolButton10 = nullptr;
    QToolButton *ToolButton9 = nullptr;
    QToolButton *ToolButton2 = nullptr;
    QToolButton *ToolButton4 = nullptr;
    QToolButton *ToolButton5 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    QToolButton *ToolButton3 = nullptr;
    QToolButton *ToolButton6 = nullptr;
};

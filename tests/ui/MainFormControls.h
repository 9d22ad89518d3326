#pragma once

// The main window's controls as the widget tests reach them: by the object
// names the program gives them (ToolButton5, FileListBox1, ...), never through
// the window's members. A control that is missing fails the test at once.

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "ElidedLabel.h"
#include "FileListBox.h"
#include "PictureBox.h"
#include "TMainForm.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <cstdio>

namespace MainFormControls {

template<typename Control>
Control *control(const TMainForm &form, const char *name)
{
    auto *found = form.findChild<Control *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "The main window has no control %s\n", name);
        std::abort();
    }
    return found;
}

} // namespace MainFormControls

#define KELVARIN_MAIN_FORM_CONTROL(Type, Name) \
    inline Type *Name(const TMainForm &form) { return MainFormControls::control<Type>(form, #Name); }

KELVARIN_MAIN_FORM_CONTROL(QMenu, File1)
KELVARIN_MAIN_FORM_CONTROL(QAction, N26)
KELVARIN_MAIN_FORM_CONTROL(QAction, N5)
KELVARIN_MAIN_FORM_CONTROL(QAction, ExportMeasurements)
KELVARIN_MAIN_FORM_CONTROL(QAction, Exit1)
KELVARIN_MAIN_FORM_CONTROL(QAction, N6)
KELVARIN_MAIN_FORM_CONTROL(QMenu, N1)
KELVARIN_MAIN_FORM_CONTROL(QAction, N4)
KELVARIN_MAIN_FORM_CONTROL(QAction, N3)
KELVARIN_MAIN_FORM_CONTROL(QMenu, N2)
KELVARIN_MAIN_FORM_CONTROL(QAction, N20)
KELVARIN_MAIN_FORM_CONTROL(QAction, N21)
KELVARIN_MAIN_FORM_CONTROL(QMenu, ScalePopupMenu1)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton10)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton9)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton2)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton4)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton5)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton1)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton3)
KELVARIN_MAIN_FORM_CONTROL(QToolButton, ToolButton6)
KELVARIN_MAIN_FORM_CONTROL(QScrollArea, ScrollBox3)
KELVARIN_MAIN_FORM_CONTROL(PictureBox, Image1)
KELVARIN_MAIN_FORM_CONTROL(PictureBox, CrossImage1)
KELVARIN_MAIN_FORM_CONTROL(PictureBox, PreviewImage)
KELVARIN_MAIN_FORM_CONTROL(QWidget, Panel3)
KELVARIN_MAIN_FORM_CONTROL(DriveComboBox, DriveComboBox1)
KELVARIN_MAIN_FORM_CONTROL(DirectoryListBox, DirectoryListBox1)
KELVARIN_MAIN_FORM_CONTROL(FileListBox, FileListBox1)
KELVARIN_MAIN_FORM_CONTROL(ElidedLabel, StatusPanel0)
KELVARIN_MAIN_FORM_CONTROL(QLabel, StatusPanel1)
KELVARIN_MAIN_FORM_CONTROL(QLabel, JournalPanel)
KELVARIN_MAIN_FORM_CONTROL(QTimer, PreviewImageTimer)

#undef KELVARIN_MAIN_FORM_CONTROL

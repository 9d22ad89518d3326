#pragma once

// The main window's controls as the widget tests reach them, by the object
// names the program gives them (ToolButton5, FileListBox1, ...), never through
// the window's members (see ControlLookup.h).

#include "ControlLookup.h"
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

KELVARIN_CONTROL(TMainForm, QMenu, File1)
KELVARIN_CONTROL(TMainForm, QAction, N26)
KELVARIN_CONTROL(TMainForm, QAction, N5)
KELVARIN_CONTROL(TMainForm, QAction, ExportMeasurements)
KELVARIN_CONTROL(TMainForm, QAction, Exit1)
KELVARIN_CONTROL(TMainForm, QAction, N6)
KELVARIN_CONTROL(TMainForm, QMenu, N1)
KELVARIN_CONTROL(TMainForm, QAction, N4)
KELVARIN_CONTROL(TMainForm, QAction, N3)
KELVARIN_CONTROL(TMainForm, QMenu, N2)
KELVARIN_CONTROL(TMainForm, QAction, N20)
KELVARIN_CONTROL(TMainForm, QAction, N21)
KELVARIN_CONTROL(TMainForm, QMenu, ScalePopupMenu1)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton10)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton9)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton2)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton4)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton5)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton1)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton3)
KELVARIN_CONTROL(TMainForm, QToolButton, ToolButton6)
KELVARIN_CONTROL(TMainForm, QScrollArea, ScrollBox3)
KELVARIN_CONTROL(TMainForm, PictureBox, Image1)
KELVARIN_CONTROL(TMainForm, PictureBox, CrossImage1)
KELVARIN_CONTROL(TMainForm, PictureBox, PreviewImage)
KELVARIN_CONTROL(TMainForm, QWidget, Panel3)
KELVARIN_CONTROL(TMainForm, DriveComboBox, DriveComboBox1)
KELVARIN_CONTROL(TMainForm, DirectoryListBox, DirectoryListBox1)
KELVARIN_CONTROL(TMainForm, FileListBox, FileListBox1)
KELVARIN_CONTROL(TMainForm, ElidedLabel, StatusPanel0)
KELVARIN_CONTROL(TMainForm, QLabel, StatusPanel1)
KELVARIN_CONTROL(TMainForm, QLabel, JournalPanel)
KELVARIN_CONTROL(TMainForm, QTimer, PreviewImageTimer)

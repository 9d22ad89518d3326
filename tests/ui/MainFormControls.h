#pragma once

// The main window's controls as the widget tests reach them, by the object
// names the program gives them (buttonStop, listFiles, ...), never through
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

KELVARIN_CONTROL(TMainForm, QMenu, menuFile)
KELVARIN_CONTROL(TMainForm, QAction, actionSaveCoordinates)
KELVARIN_CONTROL(TMainForm, QAction, actionRefineZones)
KELVARIN_CONTROL(TMainForm, QAction, actionExportMeasurements)
KELVARIN_CONTROL(TMainForm, QAction, actionExit)
KELVARIN_CONTROL(TMainForm, QAction, actionSettings)
KELVARIN_CONTROL(TMainForm, QMenu, menuActions)
KELVARIN_CONTROL(TMainForm, QAction, actionProcess)
KELVARIN_CONTROL(TMainForm, QAction, actionCalibrate)
KELVARIN_CONTROL(TMainForm, QMenu, menuHelp)
KELVARIN_CONTROL(TMainForm, QAction, actionHelp)
KELVARIN_CONTROL(TMainForm, QAction, actionAbout)
KELVARIN_CONTROL(TMainForm, QMenu, menuZoom)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonExit)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonSaveCoordinates)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonManualMeasurement)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonProcess)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonStop)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonCalibrate)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonRefineZones)
KELVARIN_CONTROL(TMainForm, QToolButton, buttonCalibrateThreshold)
KELVARIN_CONTROL(TMainForm, QScrollArea, scrollImage)
KELVARIN_CONTROL(TMainForm, PictureBox, pictureImage)
KELVARIN_CONTROL(TMainForm, PictureBox, overlayImage)
KELVARIN_CONTROL(TMainForm, PictureBox, splashImage)
KELVARIN_CONTROL(TMainForm, QWidget, browserPanel)
KELVARIN_CONTROL(TMainForm, DriveComboBox, comboDrive)
KELVARIN_CONTROL(TMainForm, DirectoryListBox, listDirectories)
KELVARIN_CONTROL(TMainForm, FileListBox, listFiles)
KELVARIN_CONTROL(TMainForm, ElidedLabel, labelStatus)
KELVARIN_CONTROL(TMainForm, QLabel, labelPosition)
KELVARIN_CONTROL(TMainForm, QLabel, labelJournal)
KELVARIN_CONTROL(TMainForm, QTimer, splashTimer)

#pragma once

// The settings dialog's controls as the widget tests reach them, by the object
// names the program gives them (Button1, ZonesEdit, ...), never through the
// dialog's members (see ControlLookup.h).

#include "ControlLookup.h"
#include "TMonitoringPage.h"
#include "TPropertysForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>

KELVARIN_CONTROL(TPropertysForm, QTabWidget, PageControl1)
KELVARIN_CONTROL(TPropertysForm, QPushButton, Button1)
KELVARIN_CONTROL(TPropertysForm, QPushButton, Button2)
KELVARIN_CONTROL(TPropertysForm, QGroupBox, ModeGroupBox)
KELVARIN_CONTROL(TPropertysForm, QRadioButton, AllRadioButton)
KELVARIN_CONTROL(TPropertysForm, QRadioButton, StepsRadioButton)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, VisCheckBox)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, AutoSaveCheckBox)
KELVARIN_CONTROL(TPropertysForm, QGroupBox, PorogGroupBox)
KELVARIN_CONTROL(TPropertysForm, QLabel, FormulaLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, BEdit)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, CEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, WorkDirLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, WorkDirEdit)
KELVARIN_CONTROL(TPropertysForm, QPushButton, Button3)
KELVARIN_CONTROL(TPropertysForm, QLabel, ZonesLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, ZonesEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, JournalFileLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, JournalFileEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, JournalUrlLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, JournalUrlEdit)
KELVARIN_CONTROL(TPropertysForm, QPushButton, ZoneButton)
KELVARIN_CONTROL(TPropertysForm, QGroupBox, StartGroupBox)
KELVARIN_CONTROL(TPropertysForm, QRadioButton, TimerRadioButton)
KELVARIN_CONTROL(TPropertysForm, QDateEdit, DatePicker)
KELVARIN_CONTROL(TPropertysForm, QTimeEdit, TimePicker)
KELVARIN_CONTROL(TPropertysForm, QRadioButton, FilesRadioButton)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, BufferDirEdit)
KELVARIN_CONTROL(TPropertysForm, QPushButton, Button6)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, SaveToOneZipCheckBox)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, SaveToManyZipCheckBox)
KELVARIN_CONTROL(TPropertysForm, QRadioButton, ManualRadioButton)
KELVARIN_CONTROL(TPropertysForm, QLabel, MinSLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, MinSEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, MaxSLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, MaxSEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, PercentLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, AverageYPorogPercentEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, PorogLabel)
KELVARIN_CONTROL(TPropertysForm, QLineEdit, AverageYPorogEdit)
KELVARIN_CONTROL(TPropertysForm, QLabel, CentroidLabel)
KELVARIN_CONTROL(TPropertysForm, QComboBox, CentroidComboBox)
KELVARIN_CONTROL(TPropertysForm, QGroupBox, SpotCentreGroup)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, SpotBackgroundCheckBox)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, ConnectedSpotCheckBox)
KELVARIN_CONTROL(TPropertysForm, QCheckBox, CentroidWindowCheckBox)
KELVARIN_CONTROL(TPropertysForm, TMonitoringPage, MonitoringPage)

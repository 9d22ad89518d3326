#pragma once

// The settings dialog's controls as the widget tests reach them: by the object
// names the program gives them (Button1, ZonesEdit, ...), never through the
// dialog's members. A control that is missing fails the test at once.

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

#include <cstdio>
#include <cstdlib>

namespace PropertysControls {

template<typename Control>
Control *control(const TPropertysForm &form, const char *name)
{
    auto *found = form.findChild<Control *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "The settings dialog has no control %s\n", name);
        std::abort();
    }
    return found;
}

} // namespace PropertysControls

#define KELVARIN_PROPERTYS_CONTROL(Type, Name) \
    inline Type *Name(const TPropertysForm &form) { return PropertysControls::control<Type>(form, #Name); }

KELVARIN_PROPERTYS_CONTROL(QTabWidget, PageControl1)
KELVARIN_PROPERTYS_CONTROL(QPushButton, Button1)
KELVARIN_PROPERTYS_CONTROL(QPushButton, Button2)
KELVARIN_PROPERTYS_CONTROL(QGroupBox, ModeGroupBox)
KELVARIN_PROPERTYS_CONTROL(QRadioButton, AllRadioButton)
KELVARIN_PROPERTYS_CONTROL(QRadioButton, StepsRadioButton)
KELVARIN_PROPERTYS_CONTROL(QCheckBox, VisCheckBox)
KELVARIN_PROPERTYS_CONTROL(QCheckBox, AutoSaveCheckBox)
KELVARIN_PROPERTYS_CONTROL(QGroupBox, PorogGroupBox)
KELVARIN_PROPERTYS_CONTROL(QLabel, FormulaLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, BEdit)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, CEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, WorkDirLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, WorkDirEdit)
KELVARIN_PROPERTYS_CONTROL(QPushButton, Button3)
KELVARIN_PROPERTYS_CONTROL(QLabel, ZonesLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, ZonesEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, JournalFileLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, JournalFileEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, JournalUrlLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, JournalUrlEdit)
KELVARIN_PROPERTYS_CONTROL(QPushButton, ZoneButton)
KELVARIN_PROPERTYS_CONTROL(QGroupBox, StartGroupBox)
KELVARIN_PROPERTYS_CONTROL(QRadioButton, TimerRadioButton)
KELVARIN_PROPERTYS_CONTROL(QDateEdit, DatePicker)
KELVARIN_PROPERTYS_CONTROL(QTimeEdit, TimePicker)
KELVARIN_PROPERTYS_CONTROL(QRadioButton, FilesRadioButton)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, BufferDirEdit)
KELVARIN_PROPERTYS_CONTROL(QPushButton, Button6)
KELVARIN_PROPERTYS_CONTROL(QCheckBox, SaveToOneZipCheckBox)
KELVARIN_PROPERTYS_CONTROL(QCheckBox, SaveToManyZipCheckBox)
KELVARIN_PROPERTYS_CONTROL(QRadioButton, ManualRadioButton)
KELVARIN_PROPERTYS_CONTROL(QLabel, MinSLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, MinSEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, MaxSLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, MaxSEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, PercentLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, AverageYPorogPercentEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, PorogLabel)
KELVARIN_PROPERTYS_CONTROL(QLineEdit, AverageYPorogEdit)
KELVARIN_PROPERTYS_CONTROL(QLabel, CentroidLabel)
KELVARIN_PROPERTYS_CONTROL(QComboBox, CentroidComboBox)
KELVARIN_PROPERTYS_CONTROL(TMonitoringPage, MonitoringPage)

#undef KELVARIN_PROPERTYS_CONTROL

#pragma once

// The chart window's controls as the widget tests reach them, by the object
// names the window gives them (see ControlLookup.h).

#include "../ui/ControlLookup.h"
#include "TDisplacementChartForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

KELVARIN_CONTROL(TDisplacementChartForm, QComboBox, RunBox)
KELVARIN_CONTROL(TDisplacementChartForm, QComboBox, ComponentBox)
KELVARIN_CONTROL(TDisplacementChartForm, QComboBox, AxisBox)
KELVARIN_CONTROL(TDisplacementChartForm, QCheckBox, CorrectedBox)
KELVARIN_CONTROL(TDisplacementChartForm, QCheckBox, ErrorBandBox)
KELVARIN_CONTROL(TDisplacementChartForm, QListWidget, ZoneList)
KELVARIN_CONTROL(TDisplacementChartForm, QPushButton, ResetButton)
KELVARIN_CONTROL(TDisplacementChartForm, QPushButton, SavePictureButton)
KELVARIN_CONTROL(TDisplacementChartForm, QPushButton, SaveCsvButton)
KELVARIN_CONTROL(TDisplacementChartForm, QLabel, InfoLabel)

#pragma once

#include "PropertysValues.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;

// The settings dialog's "Центр пятна" group: the centre's weighting (whose
// label and box the dialog owns) and the three further options of the spot's
// centre, each a settings key that is off by default.
class SpotCentreGroup : public QGroupBox
{
    Q_OBJECT

public:
    SpotCentreGroup(QLabel *weightingLabel, QComboBox *weighting, QWidget *parent = nullptr);

    using Options = PropertysValues::SpotCentre;
    void setOptions(const Options &options);
    Options options() const;

private:
    QCheckBox *SpotBackgroundCheckBox = nullptr;
    QCheckBox *ConnectedSpotCheckBox = nullptr;
    QCheckBox *CentroidWindowCheckBox = nullptr;
};

#pragma once

#include "DisplacementSeries.h"

#include <QDateTime>
#include <QString>

// What the chart's tool tip says of one image of one zone: the zone, the
// image's number, name and time, and its dx, dy and magnitude in the zone's
// unit, in the user's locale.
class ChartToolTip final
{
public:
    static QString text(const DisplacementSeries &series, int zone, int image, bool corrected);
    // An image's or a run's time as the chart shows it: local date and time.
    static QString timeText(const QDateTime &time);
};

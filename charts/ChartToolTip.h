#pragma once

#include "DisplacementSeries.h"

#include <QDateTime>
#include <QString>

// What the chart's tool tip says of one image of one zone: the zone, the
// image's number, name and time, its dx, dy and magnitude and the centre's
// uncertainty sx, sy in the zone's unit, in the user's locale, and a mark
// where the zone held more than one spot.
class ChartToolTip final
{
public:
    static QString text(const DisplacementSeries &series, int zone, int image, bool corrected);
    // An image's or a run's time as the chart shows it: local date and time.
    static QString timeText(const QDateTime &time);
    // An uncertainty with two significant digits, never fewer than four decimals.
    static QString uncertaintyText(double value);
};

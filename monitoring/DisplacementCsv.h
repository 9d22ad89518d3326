#pragma once

#include "DisplacementSeries.h"

#include <QByteArray>
#include <QList>

// The chart window's data as CSV: number, image, time and one column per zone
// (named zone<N>_<dx|dy|magnitude>[_corrected]_<mm|px>), one line per image
// in the order given. "." and four decimals whatever the locale, an empty
// field where an image has no value, times in ISO 8601 with their UTC offset
// as the journal's export writes them, CR LF line ends.
class DisplacementCsv final
{
public:
    static QByteArray table(const DisplacementSeries &series, const QList<int> &images, const QList<int> &zones,
                            DisplacementComponent component, bool corrected);
    // "dx", "dy" or "magnitude", as the column names have it.
    static QString componentName(DisplacementComponent component);
};

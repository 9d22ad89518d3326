#pragma once

#include <QString>

// Where an axis puts its ticks and how it labels them, as plain arithmetic:
// round steps (1, 2 or 5 times a power of ten) for values, whole steps for
// image numbers, and a time format fine enough that no two labels read the
// same and long enough to show the date when the range passes midnight.
namespace ChartTicks {

// The smallest round step that divides `span` into at most `maxTicks` parts.
double niceStep(double span, int maxTicks);
// The same for image numbers: a whole number, at least 1.
double wholeStep(double span, int maxTicks);
// The decimals a label needs to show values `step` apart ("%.Nf").
int decimalsFor(double step);
// The label format of a time axis whose ticks are `tickMs` apart over a
// range that begins and ends on the days given (local time).
QString timeFormat(double tickMs, bool severalDays);

} // namespace ChartTicks

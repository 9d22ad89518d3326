#include "ChartTicks.h"

#include <algorithm>
#include <cmath>

namespace ChartTicks {

double niceStep(double span, int maxTicks)
{
    if (!(span > 0) || maxTicks < 1)
        return 1;
    const double raw = span / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        // A little slack so that 0.3 / 3 is a step of 0.1, not 0.2.
        if (factor * power >= raw * (1 - 1e-9))
            return factor * power;
    }
    return 10 * power;
}

double wholeStep(double span, int maxTicks)
{
    return std::max(1.0, std::round(niceStep(span, maxTicks)));
}

int decimalsFor(double step)
{
    if (!(step > 0) || step >= 1)
        return 0;
    return std::min(9, int(std::ceil(-std::log10(step) - 1e-9)));
}

QString timeFormat(double tickMs, bool severalDays)
{
    // Ticks a day or more apart need the date alone.
    if (severalDays && tickMs >= 86400000)
        return QStringLiteral("dd.MM.yy");
    // Ticks less than a minute apart would repeat their minute without seconds.
    const QString clock = tickMs < 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    return severalDays ? QStringLiteral("dd.MM ") + clock : clock;
}

} // namespace ChartTicks

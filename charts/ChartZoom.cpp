#include "ChartZoom.h"

namespace ChartZoom {

Range zoomed(const Range &range, double anchor, double factor)
{
    return {anchor - (anchor - range.first) * factor, anchor + (range.second - anchor) * factor};
}

Range panned(const Range &range, double delta)
{
    return {range.first + delta, range.second + delta};
}

Range atLeast(const Range &range, double minimum)
{
    if (range.second - range.first >= minimum)
        return range;
    const double middle = (range.first + range.second) / 2;
    return {middle - minimum / 2, middle + minimum / 2};
}

} // namespace ChartZoom

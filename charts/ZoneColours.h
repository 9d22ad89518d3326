#pragma once

#include <QColor>

// One colour per zone, the same in the chart, its legend and the zone list;
// distinct for sixteen zones and kept apart from the orange and red of the limits.
namespace ZoneColours {
QColor of(int zone);
}

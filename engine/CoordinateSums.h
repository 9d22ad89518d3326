#pragma once

#include <QtGlobal>

// The sums of some pixels' coordinates relative to the zone's corner, exact
// in integers: the sweep adds each pixel's row along its column, and the
// column's figures are folded in once at its end.
struct CoordinateSums
{
    qint64 n = 0, x = 0, xx = 0, y = 0, yy = 0;
    qint64 columnN = 0, columnY = 0, columnYY = 0;

    void add(qint64 ry) { ++columnN, columnY += ry, columnYY += ry * ry; }
    void endColumn(qint64 rx)
    {
        n += columnN, x += columnN * rx, xx += columnN * rx * rx, y += columnY, yy += columnYY;
        columnN = columnY = columnYY = 0;
    }
    void put(double &outN, double &outX, double &outXX, double &outY, double &outYY) const
    {
        outN = double(n), outX = double(x), outXX = double(xx), outY = double(y), outYY = double(yy);
    }
};

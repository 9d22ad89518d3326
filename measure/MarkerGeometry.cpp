#include "MarkerGeometry.h"

#include <cmath>

int MarkerGeometry::pixel(double coordinate)
{
    // Points files may bring any value; far beyond any image the exact pixel
    // no longer matters, only that it stays off the overlay.
    constexpr double limit = 1e9;
    if (!(coordinate > -limit))
        return -int(limit);
    if (!(coordinate < limit))
        return int(limit);
    return int(std::trunc(coordinate));
}

QRect MarkerGeometry::horizontalRun(double x, double y, int crossSize)
{
    return QRect(pixel(x) - crossSize, pixel(y), 2 * crossSize, 1);
}

QRect MarkerGeometry::verticalRun(double x, double y, int crossSize)
{
    return QRect(pixel(x), pixel(y) - crossSize, 1, 2 * crossSize);
}

QRect MarkerGeometry::crossRect(double x, double y, int crossSize)
{
    return horizontalRun(x, y, crossSize) | verticalRun(x, y, crossSize);
}

QPoint MarkerGeometry::labelOrigin(double x, double y)
{
    return QPoint(pixel(x) + 3, pixel(y) + 3);
}

QRect MarkerGeometry::labelRect(double x, double y, QSize textSize)
{
    return QRect(labelOrigin(x, y), textSize);
}

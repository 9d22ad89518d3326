#pragma once

#include "VT_Point.h"

#include <QList>

// One zone: an inclusive rectangle in which one indicator point is sought, its
// origin (the reference position, -1 meaning none) and the points found in it,
// one per processed image. Nothing orders the corners: a zone with X1 > X2 or
// Y1 > Y2 covers no pixel.
struct TZoneInfo
{
    TZoneInfo() = default;
    TZoneInfo(int x1, int y1, int x2, int y2, double x0 = -1, double y0 = -1)
        : X1(x1), Y1(y1), X2(x2), Y2(y2), X0(x0), Y0(y0) {}

    // The origin counts only when both coordinates are strictly above -1.
    bool hasOrigin() const { return X0 > -1 && Y0 > -1; }

    int X1 = 0;
    int Y1 = 0;
    int X2 = 0;
    int Y2 = 0;
    double X0 = -1;
    double Y0 = -1;
    QList<VT_Point> points;
};

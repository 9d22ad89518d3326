#pragma once

#include <QRect>
#include <QSize>

// Where a point's marker lies on the overlay, in screen pixels (one per image
// pixel). A marker is a cross of half-length S around the point's pixel and a
// number label below and to the right of it.
class MarkerGeometry
{
public:
    // The pixel of a coordinate: truncated toward zero (10.9 gives 10, -0.5
    // gives 0), held within a range where arithmetic on it cannot overflow.
    static int pixel(double coordinate);

    // Row by, columns bx - S .. bx + S - 1: 2S pixels, so the left arm is one
    // pixel longer than the right.
    static QRect horizontalRun(double x, double y, int crossSize);
    // Column bx, rows by - S .. by + S - 1.
    static QRect verticalRun(double x, double y, int crossSize);
    // Both runs together.
    static QRect crossRect(double x, double y, int crossSize);

    // The label's top-left corner (bx + 3, by + 3).
    static QPoint labelOrigin(double x, double y);
    static QRect labelRect(double x, double y, QSize textSize);
};

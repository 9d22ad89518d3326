#pragma once

#include "TZoneInfo.h"

#include <QLine>
#include <QPoint>
#include <QRect>

#include <array>

// The geometry the main window draws over an image, in image pixels: zone
// outlines, crosses, the rubber band of a zone being drawn, and the mapping of
// mouse positions on the zoomed view back to image pixels.
class OverlayGeometry
{
public:
    // Thin lines at 100 % and above; below, a 1-pixel line would vanish when shrunk.
    static int penWidth(int zoomPercent) { return zoomPercent >= 100 ? 1 : 2; }

    // (X1,Y1) -> (X1,Y2) -> (X2,Y2) -> (X2,Y1) -> back to (X1,Y1).
    static std::array<QPoint, 5> zoneOutline(const TZoneInfo &zone);

    // A cross of two lines 10 pixels each way from (x, y).
    static std::array<QLine, 2> cross(int x, int y);

    // Mouse position on the view to image pixel: truncated, never rounded.
    static QPoint viewToImage(QPoint view, int zoomPercent);

    // View size of an image at a zoom (integer division).
    static QSize viewSize(QSize image, int zoomPercent);

    // The rectangle symmetric about `centre` through `corner`, as drawn while
    // dragging: (2cx - x, 2cy - y) -> (2cx - x, y) -> (x, y) -> (x, 2cy - y) -> back.
    static std::array<QPoint, 5> rubberBand(QPoint centre, QPoint corner);

    // The zone a finished drag makes: the band's normalised rectangle, or an
    // empty optional-like invalid QRect when it is under 3 pixels either way.
    static QRect zoneFromDrag(QPoint centre, QPoint release);
};

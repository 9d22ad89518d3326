#include "OverlayGeometry.h"

#include <QSize>

#include <algorithm>

std::array<QPoint, 5> OverlayGeometry::zoneOutline(const TZoneInfo &zone)
{
    return {QPoint(zone.X1, zone.Y1), QPoint(zone.X1, zone.Y2), QPoint(zone.X2, zone.Y2),
            QPoint(zone.X2, zone.Y1), QPoint(zone.X1, zone.Y1)};
}

std::array<QLine, 2> OverlayGeometry::cross(int x, int y)
{
    return {QLine(x - 10, y, x + 10, y), QLine(x, y + 10, x, y - 10)};
}

QPoint OverlayGeometry::viewToImage(QPoint view, int zoomPercent)
{
    // Integer division truncates toward zero, as every real-to-integer
    // conversion of the program does.
    return {view.x() * 100 / zoomPercent, view.y() * 100 / zoomPercent};
}

QSize OverlayGeometry::viewSize(QSize image, int zoomPercent)
{
    return {image.width() * zoomPercent / 100, image.height() * zoomPercent / 100};
}

std::array<QPoint, 5> OverlayGeometry::rubberBand(QPoint c, QPoint p)
{
    const int ox = 2 * c.x() - p.x();
    const int oy = 2 * c.y() - p.y();
    return {QPoint(ox, oy), QPoint(ox, p.y()), p, QPoint(p.x(), oy), QPoint(ox, oy)};
}

QRect OverlayGeometry::zoneFromDrag(QPoint c, QPoint p)
{
    const int ox = 2 * c.x() - p.x();
    const int oy = 2 * c.y() - p.y();
    const int left = std::min(p.x(), ox), right = std::max(p.x(), ox);
    const int top = std::min(p.y(), oy), bottom = std::max(p.y(), oy);
    if (right - left < 3 || bottom - top < 3)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

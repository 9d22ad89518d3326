#include "LupaGeometry.h"

#include <algorithm>

bool LupaGeometry::setZoom(int zoom)
{
    if (zoom < MinZoom || zoom > MaxZoom || zoom == m_zoom)
        return false;
    // Integer division truncates toward zero, as the rescale requires.
    m_offsetX = m_offsetX * zoom / m_zoom;
    m_offsetY = m_offsetY * zoom / m_zoom;
    m_zoom = zoom;
    return true;
}

bool LupaGeometry::setArea(int area)
{
    if (area < MinArea || area > MaxArea || area == m_area)
        return false;
    m_area = area;
    const int bound = m_zoom * m_area;
    m_offsetX = std::clamp(m_offsetX, -bound, bound);
    m_offsetY = std::clamp(m_offsetY, -bound, bound);
    return true;
}

bool LupaGeometry::moveCrosshair(int dx, int dy)
{
    const int nx = m_offsetX + dx;
    const int ny = m_offsetY + dy;
    const int bound = m_zoom * m_area;
    if (nx < -bound || nx > bound || ny < -bound || ny > bound)
        return false;
    if (nx == m_offsetX && ny == m_offsetY)
        return false;
    m_offsetX = nx;
    m_offsetY = ny;
    return true;
}

bool LupaGeometry::resetCrosshair()
{
    if (m_offsetX == 0 && m_offsetY == 0)
        return false;
    m_offsetX = 0;
    m_offsetY = 0;
    return true;
}

QPoint LupaGeometry::placeOnScreen(const QRect &window, const QRect &screen)
{
    int x = window.x();
    int y = window.y();
    if (x + window.width() > screen.x() + screen.width())
        x = screen.x() + screen.width() - window.width();
    if (y + window.height() > screen.y() + screen.height())
        y = screen.y() + screen.height() - window.height();
    return QPoint(qMax(x, screen.x()), qMax(y, screen.y()));
}

QPoint LupaGeometry::placeClear(const QRect &current, const QRect &owner, const QRect &cursorArea,
                                const QRect &screen)
{
    const QSize size = current.size();
    const QPoint candidates[] = {
        current.topLeft(),
        QPoint(owner.right() + 1, owner.top()),
        QPoint(owner.left() - size.width(), owner.top()),
        QPoint(screen.right() + 1 - size.width(), screen.top()),
        QPoint(screen.left(), screen.top()),
        QPoint(screen.left(), screen.bottom() + 1 - size.height()),
        QPoint(screen.right() + 1 - size.width(), screen.bottom() + 1 - size.height()),
    };
    for (const QPoint &candidate : candidates) {
        const QPoint placed = placeOnScreen(QRect(candidate, size), screen);
        if (!QRect(placed, size).intersects(cursorArea))
            return placed;
    }
    // The area covers every corner of the screen: nothing is clear of it.
    return placeOnScreen(current, screen);
}

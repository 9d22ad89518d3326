#pragma once

#include <QPoint>
#include <QRect>

// The magnifier's arithmetic: half side a of the source square (15 to 40 image
// pixels), zoom z (2 to 8), and the crosshair offsets from the centre in
// magnified pixels, each within -z*a to z*a. An offset step is 1/z of an image
// pixel; offset / z is the shift added to every measured position.
class LupaGeometry final
{
public:
    static constexpr int MinZoom = 2;
    static constexpr int MaxZoom = 8;
    static constexpr int MinArea = 15;
    static constexpr int MaxArea = 40;

    int area() const { return m_area; }
    int zoom() const { return m_zoom; }
    int fineOffsetX() const { return m_offsetX; }
    int fineOffsetY() const { return m_offsetY; }

    // Position of the crosshair lines at zero offsets: a*z + (z + 1)/2.
    int centre() const { return m_area * m_zoom + (m_zoom + 1) / 2; }
    // Side of the magnified picture: 2*a*z screen pixels.
    int side() const { return 2 * m_area * m_zoom; }
    int crosshairColumn() const { return centre() + m_offsetX; }
    int crosshairRow() const { return centre() + m_offsetY; }

    // The shift in image pixels (real division).
    double shiftX() const { return double(m_offsetX) / m_zoom; }
    double shiftY() const { return double(m_offsetY) / m_zoom; }

    // Columns X - a .. X + a - 1 and rows Y - a .. Y + a - 1 of the photograph.
    QRect sourceRect(int x, int y) const { return QRect(x - m_area, y - m_area, 2 * m_area, 2 * m_area); }

    // The zoom label ("5x"): top-left at (s/8, 2), z + 8 points.
    QPoint labelPosition() const { return QPoint(side() / 8, 2); }
    int labelPointSize() const { return m_zoom + 8; }

    // Where a window of this size goes so that it lies wholly on `screen`:
    // `window` moved by as little as needed (to the screen's top-left
    // corner where it is larger than the screen).
    static QPoint placeOnScreen(const QRect &window, const QRect &screen);

    // Where a magnifier of size `lupa` goes so that it never hides the area
    // it magnifies (`cursorArea`, empty when none): where it is (`current`)
    // when that is clear, else beside the measurement window (`owner`), right
    // then left, else in a corner of `screen`; always wholly on the screen.
    static QPoint placeClear(const QRect &current, const QRect &owner, const QRect &cursorArea,
                             const QRect &screen);

    // Each returns whether anything changed. An out-of-range or unchanged
    // value, or a step beyond the bounds, is ignored.
    // A zoom change rescales the offsets (truncated toward zero) so that the
    // crosshair keeps its place in the image.
    bool setZoom(int zoom);
    // An area change keeps the offsets, and so every later measurement, and
    // only brings an offset beyond the new bound back onto it.
    bool setArea(int area);
    bool moveCrosshair(int dx, int dy);
    bool resetCrosshair();

private:
    int m_area = 30;
    int m_zoom = 5;
    int m_offsetX = 0;
    int m_offsetY = 0;
};

#pragma once

#include "MarkerCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QRect>
#include <QWidget>

#include <array>

class PointMarkers;

// The transparent layer over the photograph that shows the point markers: for
// every point a cross and its number in the active or passive colour. It
// paints from the point list, and the list's erase and draw calls only mark
// the rectangles that change, so an edit repaints those and nothing else.
class MarkerOverlay : public QWidget, public MarkerCanvas
{
    Q_OBJECT

public:
    MarkerOverlay(PointMarkers &markers, QWidget *parent = nullptr);

    const QFont &indexFont() const { return m_font; }
    // The caller erases the labels before and draws them after (see
    // PointMarkers::EraseLabels), so that the old and new extents repaint.
    void setIndexFont(const QFont &font);

    QRect crossRect(int index) const;
    // The label box with any ink beyond it (italic overhang).
    QRect labelRect(int index) const;

    void DrawCross(int index, bool active) override;
    void EraseCross(int index) override;
    void DrawLabel(int index, bool active) override;
    void EraseLabel(int index) override;

    // Hands the marked rectangles to the window system now instead of at the
    // next turn of the event loop.
    void flush();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void mark(const QRect &rect);

    PointMarkers &m_markers;
    QFont m_font;
    QFontMetrics m_metrics;
    // Label extent by number of digits: every digit string of that length
    // fits in it, so a label is erased wholly whatever its digits.
    std::array<QRect, 11> m_labelExtent;
    QList<QRect> m_pending;
    bool m_flushQueued = false;
};

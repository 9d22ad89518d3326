#include "MarkerOverlay.h"

#include "MarkerColors.h"
#include "MarkerGeometry.h"
#include "PointMarkers.h"

#include <QPaintEvent>
#include <QPainter>

// Beyond this many rectangles one bounding rectangle is cheaper for the window
// system than a region of many small ones.
static constexpr int maxSeparateRects = 64;

static int digitCount(int number)
{
    int digits = 1;
    for (; number >= 10 && digits < 10; number /= 10)
        ++digits;
    return digits;
}

MarkerOverlay::MarkerOverlay(PointMarkers &markers, QWidget *parent)
    : QWidget(parent), m_markers(markers), m_metrics(QFont())
{
    setObjectName(QStringLiteral("CrossImage"));
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    QFont font(QStringLiteral("Tahoma"), 12);
    font.setBold(true);
    setIndexFont(font);
}

void MarkerOverlay::setIndexFont(const QFont &font)
{
    m_font = font;
    m_metrics = QFontMetrics(m_font, this);
    const QRect box(0, 0, 0, m_metrics.height());
    for (int digits = 1; digits <= 10; ++digits) {
        QRect extent = box;
        for (char c = '0'; c <= '9'; ++c) {
            const QString text(digits, QLatin1Char(c));
            extent |= QRect(0, 0, m_metrics.horizontalAdvance(text), m_metrics.height());
            extent |= m_metrics.boundingRect(text).translated(0, m_metrics.ascent());
        }
        m_labelExtent[size_t(digits)] = extent;
    }
}

QRect MarkerOverlay::crossRect(int index) const
{
    const TPoint2 &p = m_markers.point(index);
    return MarkerGeometry::crossRect(p.x, p.y, m_markers.crossSize());
}

QRect MarkerOverlay::labelRect(int index) const
{
    const TPoint2 &p = m_markers.point(index);
    return m_labelExtent[size_t(digitCount(index + 1))].translated(MarkerGeometry::labelOrigin(p.x, p.y));
}

void MarkerOverlay::DrawCross(int index, bool)
{
    mark(crossRect(index));
}

void MarkerOverlay::EraseCross(int index)
{
    mark(crossRect(index));
}

void MarkerOverlay::DrawLabel(int index, bool)
{
    mark(labelRect(index));
}

void MarkerOverlay::EraseLabel(int index)
{
    mark(labelRect(index));
}

void MarkerOverlay::mark(const QRect &rect)
{
    const QRect visible = rect & this->rect();
    if (visible.isEmpty())
        return;
    m_pending << visible;
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &MarkerOverlay::flush, Qt::QueuedConnection);
    }
}

void MarkerOverlay::flush()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    const QRect shown = visibleRegion().boundingRect();
    QRect bounds;
    QList<QRect> rects;
    for (const QRect &rect : std::as_const(m_pending)) {
        const QRect part = rect & shown;
        if (!part.isEmpty()) {
            rects << part;
            bounds |= part;
        }
    }
    m_pending.clear();
    if (rects.size() > maxSeparateRects) {
        update(bounds);
        return;
    }
    for (const QRect &rect : std::as_const(rects))
        update(rect);
}

void MarkerOverlay::paintEvent(QPaintEvent *event)
{
    const QRegion &region = event->region();
    const QRect bounds = region.boundingRect();
    QPainter painter(this);
    painter.setFont(m_font);
    const int count = m_markers.Count();
    const int size = m_markers.crossSize();
    for (int i = 0; i < count; ++i) {
        const TPoint2 &p = m_markers.point(i);
        // A point the detection did not find comes as (-1, -1): it keeps its
        // number in the list but has no place on the image.
        if (p.x == -1 && p.y == -1)
            continue;
        const QRect cross = MarkerGeometry::crossRect(p.x, p.y, size);
        const QRect label = labelRect(i);
        const bool drawCross = bounds.intersects(cross) && region.intersects(cross);
        const bool drawLabel = bounds.intersects(label) && region.intersects(label);
        if (!drawCross && !drawLabel)
            continue;
        const QColor colour = MarkerColors::toQColor(m_markers.colorOf(i));
        if (drawCross) {
            painter.fillRect(MarkerGeometry::horizontalRun(p.x, p.y, size), colour);
            painter.fillRect(MarkerGeometry::verticalRun(p.x, p.y, size), colour);
        }
        if (drawLabel) {
            const QPoint at = MarkerGeometry::labelOrigin(p.x, p.y);
            painter.setPen(colour);
            painter.drawText(at.x(), at.y() + m_metrics.ascent(), QString::number(i + 1));
        }
    }
}

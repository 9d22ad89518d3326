#include "DisplacementChartView.h"

#include "ChartZoom.h"

#include <QAbstractAxis>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>

namespace {

// Both axis kinds of the chart as plain numbers (a time axis in milliseconds).
ChartZoom::Range rangeOf(QAbstractAxis *axis)
{
    if (auto *time = qobject_cast<QDateTimeAxis *>(axis))
        return {double(time->min().toMSecsSinceEpoch()), double(time->max().toMSecsSinceEpoch())};
    auto *value = static_cast<QValueAxis *>(axis);
    return {value->min(), value->max()};
}

void setRangeOf(QAbstractAxis *axis, const ChartZoom::Range &range)
{
    if (auto *time = qobject_cast<QDateTimeAxis *>(axis)) {
        const ChartZoom::Range wide = ChartZoom::atLeast(range, 1000);
        time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(wide.first)),
                       QDateTime::fromMSecsSinceEpoch(qint64(wide.second)));
        return;
    }
    const ChartZoom::Range wide = ChartZoom::atLeast(range, 1e-9);
    static_cast<QValueAxis *>(axis)->setRange(wide.first, wide.second);
}

// The axis of an orientation in use: the chart keeps a hidden one beside it.
QAbstractAxis *axisOf(QChart *chart, Qt::Orientation orientation)
{
    for (QAbstractAxis *axis : chart->axes(orientation)) {
        if (axis->isVisible())
            return axis;
    }
    return nullptr;
}

} // namespace

DisplacementChartView::DisplacementChartView(QChart *chart, QWidget *parent)
    : QChartView(chart, parent)
{
    setObjectName(QStringLiteral("DisplacementChartView"));
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void DisplacementChartView::zoomX(double anchor, double factor)
{
    if (QAbstractAxis *axis = axisOf(chart(), Qt::Horizontal)) {
        setRangeOf(axis, ChartZoom::zoomed(rangeOf(axis), anchor, factor));
        Q_EMIT rangeChanged();
    }
}

void DisplacementChartView::zoomY(double anchor, double factor)
{
    if (QAbstractAxis *axis = axisOf(chart(), Qt::Vertical)) {
        setRangeOf(axis, ChartZoom::zoomed(rangeOf(axis), anchor, factor));
        Q_EMIT rangeChanged();
    }
}

void DisplacementChartView::pan(double dx, double dy)
{
    QAbstractAxis *x = axisOf(chart(), Qt::Horizontal);
    QAbstractAxis *y = axisOf(chart(), Qt::Vertical);
    if (!x || !y)
        return;
    setRangeOf(x, ChartZoom::panned(rangeOf(x), dx));
    setRangeOf(y, ChartZoom::panned(rangeOf(y), dy));
    Q_EMIT rangeChanged();
}

void DisplacementChartView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || chart()->series().isEmpty())
        return;
    const QPointF value = chart()->mapToValue(event->position());
    const double factor = std::pow(0.8, steps);
    if (event->modifiers() & Qt::ShiftModifier)
        zoomY(value.y(), factor);
    else
        zoomX(value.x(), factor);
    event->accept();
}

void DisplacementChartView::mousePressEvent(QMouseEvent *event)
{
    const bool panButton = event->button() == Qt::MiddleButton
        || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier));
    if (panButton) {
        m_panning = true;
        m_lastPan = event->position().toPoint();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        Q_EMIT resetRequested();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void DisplacementChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panning && !chart()->series().isEmpty()) {
        const QPoint now = event->position().toPoint();
        const QPointF from = chart()->mapToValue(m_lastPan);
        const QPointF to = chart()->mapToValue(now);
        m_lastPan = now;
        pan(from.x() - to.x(), from.y() - to.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
    if (!chart()->series().isEmpty() && chart()->plotArea().contains(event->position()))
        Q_EMIT hovered(chart()->mapToValue(event->position()), event->globalPosition().toPoint());
}

void DisplacementChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_panning) {
        m_panning = false;
        unsetCursor();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    const bool banding = event->button() == Qt::LeftButton;
    QChartView::mouseReleaseEvent(event);
    // The rubber band has zoomed the chart by now.
    if (banding)
        Q_EMIT rangeChanged();
}

void DisplacementChartView::keyPressEvent(QKeyEvent *event)
{
    QAbstractAxis *x = axisOf(chart(), Qt::Horizontal);
    QAbstractAxis *y = axisOf(chart(), Qt::Vertical);
    if (!x || !y) {
        QChartView::keyPressEvent(event);
        return;
    }
    const ChartZoom::Range rx = rangeOf(x);
    const ChartZoom::Range ry = rangeOf(y);
    const double sx = (rx.second - rx.first) / 10;
    const double sy = (ry.second - ry.first) / 10;
    switch (event->key()) {
    case Qt::Key_Left: pan(-sx, 0); break;
    case Qt::Key_Right: pan(sx, 0); break;
    case Qt::Key_Up: pan(0, sy); break;
    case Qt::Key_Down: pan(0, -sy); break;
    case Qt::Key_Plus: zoomX((rx.first + rx.second) / 2, 0.8); break;
    case Qt::Key_Minus: zoomX((rx.first + rx.second) / 2, 1.25); break;
    case Qt::Key_Backspace:
    case Qt::Key_Home: Q_EMIT resetRequested(); break;
    default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
}

#include "DisplacementChartView.h"

#include "ChartTicks.h"
#include "ChartZoom.h"

#include <QAbstractAxis>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
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

// Ticks fewer than this across or up: labels need room.
constexpr int MaxTicks = 8;

// The ticks and labels of an axis for a range, set before the range itself:
// a value axis with the interval of a wider range would make thousands of
// ticks on its way there.
void ticksFor(QAbstractAxis *axis, const ChartZoom::Range &range)
{
    const double span = range.second - range.first;
    if (auto *time = qobject_cast<QDateTimeAxis *>(axis)) {
        const QDateTime from = QDateTime::fromMSecsSinceEpoch(qint64(range.first)).toLocalTime();
        const QDateTime to = QDateTime::fromMSecsSinceEpoch(qint64(range.second)).toLocalTime();
        time->setTickCount(MaxTicks);
        time->setFormat(ChartTicks::timeFormat(span / (MaxTicks - 1), from.date() != to.date()));
        return;
    }
    auto *value = static_cast<QValueAxis *>(axis);
    if (value->tickType() != QValueAxis::TicksDynamic)
        return;
    // Across: image numbers, whole steps; up: round values with their decimals.
    if (axis->orientation() == Qt::Horizontal) {
        value->setTickInterval(ChartTicks::wholeStep(span, MaxTicks));
        return;
    }
    const double step = ChartTicks::niceStep(span, MaxTicks);
    value->setTickInterval(step);
    value->setLabelFormat(QStringLiteral("%.%1f").arg(ChartTicks::decimalsFor(step)));
}

void setRangeOf(QAbstractAxis *axis, const ChartZoom::Range &range)
{
    if (auto *time = qobject_cast<QDateTimeAxis *>(axis)) {
        const ChartZoom::Range wide = ChartZoom::atLeast(range, 1000);
        ticksFor(axis, wide);
        time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(wide.first)),
                       QDateTime::fromMSecsSinceEpoch(qint64(wide.second)));
        return;
    }
    const ChartZoom::Range wide = ChartZoom::atLeast(range, 1e-9);
    ticksFor(axis, wide);
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
        rangeMoved();
    }
}

void DisplacementChartView::zoomY(double anchor, double factor)
{
    if (QAbstractAxis *axis = axisOf(chart(), Qt::Vertical)) {
        setRangeOf(axis, ChartZoom::zoomed(rangeOf(axis), anchor, factor));
        rangeMoved();
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
    rangeMoved();
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
        rangeMoved();
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

// ---- axes and limits ---------------------------------------------------------

void DisplacementChartView::useAxis(DisplacementSeries::XAxis kind, const QString &yTitle)
{
    if (!m_axisY) {
        auto *time = new QDateTimeAxis;
        time->setTitleText(QStringLiteral("Время снимка"));
        auto *number = new QValueAxis;
        number->setTitleText(QStringLiteral("Номер снимка"));
        // Ticks on whole image numbers: a point sits on its label.
        number->setTickType(QValueAxis::TicksDynamic);
        number->setTickAnchor(0);
        number->setTickInterval(1);
        number->setLabelFormat(QStringLiteral("%.0f"));
        auto *y = new QValueAxis;
        y->setTickType(QValueAxis::TicksDynamic);
        y->setTickAnchor(0);
        y->setTickInterval(1);
        m_timeAxis = time;
        m_numberAxis = number;
        m_axisY = y;
        chart()->addAxis(m_timeAxis, Qt::AlignBottom);
        chart()->addAxis(m_numberAxis, Qt::AlignBottom);
        chart()->addAxis(m_axisY, Qt::AlignLeft);
    }
    m_axisX = kind == DisplacementSeries::XAxis::Time ? m_timeAxis : m_numberAxis;
    for (QAbstractAxis *axis : {m_timeAxis, m_numberAxis}) {
        const bool used = axis == m_axisX;
        axis->setVisible(used);
        axis->setLabelsVisible(used);
        axis->setGridLineVisible(used);
    }
    m_axisY->setTitleText(yTitle);
}

void DisplacementChartView::attach(QAbstractSeries *series)
{
    series->attachAxis(m_axisX);
    series->attachAxis(m_axisY);
}

void DisplacementChartView::setRanges(double x0, double x1, double y0, double y1)
{
    // A single image still gets a usable width: a minute, or one image number.
    const double least = qobject_cast<QDateTimeAxis *>(m_axisX) ? 60000 : 1;
    if (x1 - x0 < least) {
        x0 -= least / 2;
        x1 += least / 2;
    }
    setRangeOf(m_axisX, {x0, x1});
    // The value range is widened to whole steps, so the end ticks are round too.
    const double step = ChartTicks::niceStep(y1 - y0, MaxTicks);
    setRangeOf(m_axisY, {std::floor(y0 / step) * step, std::ceil(y1 / step) * step});
}

QPair<double, double> DisplacementChartView::xRange() const
{
    return rangeOf(m_axisX);
}

void DisplacementChartView::rangeMoved()
{
    updateTicks();
    Q_EMIT rangeChanged();
}

void DisplacementChartView::updateTicks()
{
    for (QAbstractAxis *axis : {m_axisX, m_axisY}) {
        if (axis)
            ticksFor(axis, rangeOf(axis));
    }
}

void DisplacementChartView::showInLegend(QChart *chart, QAbstractSeries *series, bool shown)
{
    series->setProperty("inLegend", shown);
    for (QLegendMarker *marker : chart->legend()->markers(series))
        marker->setVisible(shown);
}

void DisplacementChartView::drawLimits(const QList<Limit> &limits, bool bothSides)
{
    const auto [from, to] = xRange();
    int used = 0;
    for (const Limit &limit : limits) {
        for (int side : {1, -1}) {
            if (side < 0 && !bothSides)
                continue;
            if (used == m_limitLines.size()) {
                auto *line = new QLineSeries;
                chart()->addSeries(line);
                attach(line);
                m_limitLines << line;
            }
            QLineSeries *line = m_limitLines.at(used++);
            line->setName(limit.name);
            line->setPen(QPen(limit.colour, 1.5, limit.style));
            line->replace({QPointF(from, side * limit.value), QPointF(to, side * limit.value)});
            showInLegend(chart(), line, !limit.name.isEmpty() && side > 0);
        }
    }
    for (int i = used; i < m_limitLines.size(); ++i)
        m_limitLines.at(i)->clear();
}

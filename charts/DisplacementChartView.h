#pragma once

#include "DisplacementSeries.h"

#include <QChartView>
#include <QColor>
#include <QList>
#include <QPair>
#include <QPoint>

class QLineSeries;

// The chart's view with the interaction of a measuring plot: a rubber band
// (left button) zooms into a rectangle, the wheel zooms about the mouse
// (Shift+wheel the values, else the time), the middle button or Ctrl with the
// left button pans, the right button or Backspace goes back to the whole
// series. The form redraws the series of the new range on `rangeChanged`.
// The view owns the axes (image time or number across, the value up, ticks
// on round values and whole image numbers, time labels as fine as the ticks
// need) and the horizontal limit lines.
class DisplacementChartView : public QChartView
{
    Q_OBJECT

public:
    // A horizontal limit line; one without a name stays out of the legend.
    struct Limit
    {
        double value = 0;
        QColor colour;
        Qt::PenStyle style = Qt::DashLine;
        QString name;
    };

    explicit DisplacementChartView(QChart *chart, QWidget *parent = nullptr);

    // Puts the axis of the kind in use across (both stay in the chart, the
    // other hidden: a chart whose axes are removed keeps drawing their labels).
    void useAxis(DisplacementSeries::XAxis kind, const QString &yTitle);
    QAbstractAxis *xAxis() const { return m_axisX; }
    QAbstractAxis *yAxis() const { return m_axisY; }
    // Sets both ranges (a single image still gets a usable width) and the ticks.
    void setRanges(double x0, double x1, double y0, double y1);
    QPair<double, double> xRange() const;
    // Lines across the shown x range; `bothSides` draws each at -value too.
    void drawLimits(const QList<Limit> &limits, bool bothSides);
    // The chart's series were all removed: the limit lines with them.
    void seriesRemoved() { m_limitLines.clear(); }
    // Attaches a series of the chart to the axes in use.
    void attach(QAbstractSeries *series);
    // Every series is added with its legend marker; the chart marks those it
    // keeps out of the legend (property "inLegend").
    static void showInLegend(QChart *chart, QAbstractSeries *series, bool shown);

    // Zooms the x axis about a value by a factor (below 1 zooms in).
    void zoomX(double anchor, double factor);
    void zoomY(double anchor, double factor);
    void pan(double dx, double dy);

Q_SIGNALS:
    void rangeChanged();
    void resetRequested();
    // The mouse rests over the plot at a position in chart coordinates.
    void hovered(const QPointF &value, const QPoint &globalPos);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The ticks and labels for the ranges now shown; then tells the form.
    void updateTicks();
    void rangeMoved();

    bool m_panning = false;
    QPoint m_lastPan;
    QAbstractAxis *m_axisX = nullptr; // the one of the two below in use
    QAbstractAxis *m_timeAxis = nullptr;
    QAbstractAxis *m_numberAxis = nullptr;
    QAbstractAxis *m_axisY = nullptr;
    QList<QLineSeries *> m_limitLines;
};

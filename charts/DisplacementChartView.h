#pragma once

#include <QChartView>
#include <QPoint>

// The chart's view with the interaction of a measuring plot: a rubber band
// (left button) zooms into a rectangle, the wheel zooms about the mouse
// (Shift+wheel the values, else the time), the middle button or Ctrl with the
// left button pans, the right button or Backspace goes back to the whole
// series. The form redraws the series of the new range on `rangeChanged`.
class DisplacementChartView : public QChartView
{
    Q_OBJECT

public:
    explicit DisplacementChartView(QChart *chart, QWidget *parent = nullptr);

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
    bool m_panning = false;
    QPoint m_lastPan;
};

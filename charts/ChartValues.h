#pragma once

#include "DisplacementSeries.h"

#include <QHash>
#include <QList>
#include <QPointF>

#include <functional>

// The full-resolution values the chart draws from: the x value of every image
// in axis order (time in milliseconds or image number), the image index of
// each, and every shown zone's values in that order (NaN where an image has
// none). A watch's next image is appended without computing the rest again.
class ChartValues final
{
public:
    struct View
    {
        DisplacementSeries::XAxis axis = DisplacementSeries::XAxis::Time;
        QList<int> zones;
        DisplacementComponent component = DisplacementComponent::Magnitude;
        bool corrected = false;
        bool band = false; // the error band's edges too (value ± its uncertainty)
    };

    void compute(const DisplacementSeries &series, const View &view);
    // Appends the images added since the last computation, when nothing held
    // changed and they come after the others on the x axis; false when
    // everything must be computed anew.
    bool append(const DisplacementSeries &series, const View &view);
    // The range of all values (the band's edges included); a magnitude's starts at 0.
    void fullRange(bool magnitude, double *x0, double *x1, double *y0, double *y1) const;

    const QList<double> &xs() const { return m_xs; }
    const QList<int> &order() const { return m_order; }
    QList<double> ys(int zone) const { return m_ys.value(zone); }
    const QHash<int, QList<double>> &allYs() const { return m_ys; }
    // The error band's lower and upper edges of a zone in axis order (NaN
    // where a value has no uncertainty); empty without the band.
    QList<double> bandLow(int zone) const { return m_low.value(zone); }
    QList<double> bandHigh(int zone) const { return m_high.value(zone); }
    // The position (in axis order) of the value nearest to `value` on the
    // screen, within `maxPixels`, and its zone; -1 when none is that near.
    // Only the images around the value's x are looked at: a steep line may
    // pass closer a little further away.
    int nearest(const QPointF &value, double maxPixels, const std::function<QPointF(const QPointF &)> &toScreen,
                int *zone) const;
    // The image indices whose x lies in [from, to], in axis order.
    QList<int> imagesWithin(double from, double to) const;

private:
    void appendBand(const DisplacementSeries &series, const View &view, int zone, const QList<int> &images);

    QList<double> m_xs;
    QList<int> m_order;
    QHash<int, QList<double>> m_ys;
    QHash<int, QList<double>> m_low;
    QHash<int, QList<double>> m_high;
    quint64 m_revision = 0; // of the series the values were computed from
};

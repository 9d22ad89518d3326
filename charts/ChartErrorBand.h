#pragma once

#include <QList>
#include <QPair>
#include <QPointF>

class DisplacementChartView;
class QCheckBox;
class QAreaSeries;
class QChart;

// The error band of a zone's line: its values ± their uncertainty, sampled
// for the shown range as the line is, one shaded area per unbroken stretch
// in the zone's colour, kept out of the legend. A stretch of one image has
// no band.
class ChartErrorBand final
{
public:
    using Edges = QPair<QList<QPointF>, QList<QPointF>>; // lower, upper

    struct Values
    {
        const QList<double> &xs;   // axis order
        const QList<double> &low;  // empty: no band
        const QList<double> &high;
    };

    // Draws a zone's band within [from, to] in `buckets` slices, making the
    // areas it needs in `bands` and emptying those left over.
    static void draw(DisplacementChartView *view, QList<QAreaSeries *> &bands, int zone, const Values &values,
                     QPair<double, double> range, int buckets);
    // The window's check box that shows the band ("ErrorBandBox", off).
    static QCheckBox *checkBox();
    // The stretches drawn.
    static QList<Edges> drawn(const QList<QAreaSeries *> &bands);
};

#include "ChartErrorBand.h"

#include "DisplacementChartView.h"
#include "Downsampling.h"
#include "ZoneColours.h"

#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QLineSeries>

#include <algorithm>

namespace {

// A new area under the lines drawn after it, translucent, without an outline.
QAreaSeries *newBand(DisplacementChartView *view, int zone)
{
    auto *upper = new QLineSeries;
    auto *lower = new QLineSeries;
    auto *band = new QAreaSeries(upper, lower);
    // The edges go with the band when the chart deletes it.
    upper->setParent(band);
    lower->setParent(band);
    QColor colour = ZoneColours::of(zone);
    colour.setAlpha(60);
    band->setName(QStringLiteral("Зона %1: погрешность").arg(zone));
    band->setPen(Qt::NoPen);
    band->setBrush(colour);
    view->chart()->addSeries(band);
    view->attach(band);
    DisplacementChartView::showInLegend(view->chart(), band, false);
    return band;
}

} // namespace

void ChartErrorBand::draw(DisplacementChartView *view, QList<QAreaSeries *> &bands, int zone, const Values &values,
                          QPair<double, double> range, int buckets)
{
    const auto sample = [&](const QList<double> &edge) {
        return edge.isEmpty() ? QList<QList<QPointF>>()
                              : Downsampling::segments(values.xs, edge, range.first, range.second, buckets);
    };
    // Both edges are NaN at the same images, so their stretches pair up.
    const QList<QList<QPointF>> lows = sample(values.low);
    const QList<QList<QPointF>> highs = sample(values.high);
    qsizetype used = 0;
    for (qsizetype i = 0; i < std::min(lows.size(), highs.size()); ++i) {
        if (lows.at(i).size() < 2)
            continue;
        if (used == bands.size())
            bands << newBand(view, zone);
        bands.at(used)->lowerSeries()->replace(lows.at(i));
        bands.at(used++)->upperSeries()->replace(highs.at(i));
    }
    for (qsizetype i = used; i < bands.size(); ++i) {
        bands.at(i)->lowerSeries()->clear();
        bands.at(i)->upperSeries()->clear();
    }
}

QList<ChartErrorBand::Edges> ChartErrorBand::drawn(const QList<QAreaSeries *> &bands)
{
    QList<Edges> edges;
    for (const QAreaSeries *band : bands) {
        if (band->upperSeries()->count() > 0)
            edges.append({band->lowerSeries()->points(), band->upperSeries()->points()});
    }
    return edges;
}

QCheckBox *ChartErrorBand::checkBox()
{
    auto *box = new QCheckBox(QStringLiteral("Полоса погрешности"));
    box->setObjectName(QStringLiteral("ErrorBandBox"));
    box->setToolTip(QStringLiteral("Полоса ± sx, sy вокруг линии каждой зоны (для модуля — их доля в модуле).\n"
                                   "sx, sy — погрешность центра от шума пикселей, оценка снизу: срезанную\n"
                                   "цель, неровный фон или второе пятно она не видит."));
    return box;
}

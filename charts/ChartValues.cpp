#include "ChartValues.h"

#include "Downsampling.h"

#include <cmath>
#include <limits>

void ChartValues::compute(const DisplacementSeries &series, const View &view)
{
    series.axis(view.axis, &m_xs, &m_order);
    m_ys.clear();
    m_low.clear();
    m_high.clear();
    for (int zone : view.zones) {
        m_ys.insert(zone, series.values(zone, view.component, view.corrected, m_order));
        if (view.band)
            appendBand(series, view, zone, m_order);
    }
    m_revision = series.revision();
}

// The band's edges of the images, appended in their order: the zone's values
// for them are the last ones of m_ys.
void ChartValues::appendBand(const DisplacementSeries &series, const View &view, int zone, const QList<int> &images)
{
    const QList<double> sigmas = series.uncertainties(zone, view.component, view.corrected, images);
    const QList<double> &ys = m_ys[zone];
    QList<double> &low = m_low[zone];
    QList<double> &high = m_high[zone];
    const qsizetype first = ys.size() - images.size();
    const bool magnitude = view.component == DisplacementComponent::Magnitude;
    for (qsizetype i = 0; i < sigmas.size(); ++i) {
        const double y = ys.at(first + i);
        // A magnitude is never below zero, nor is its band.
        const double bottom = y - sigmas.at(i);
        low << (magnitude && bottom < 0 ? 0.0 : bottom);
        high << y + sigmas.at(i);
    }
}

bool ChartValues::append(const DisplacementSeries &series, const View &view)
{
    const int known = int(m_order.size());
    if (series.revision() != m_revision || known > series.imageCount())
        return false;
    double last = m_xs.isEmpty() ? -std::numeric_limits<double>::infinity() : m_xs.last();
    for (int image = known; image < series.imageCount(); ++image) {
        const double x = series.axisValue(view.axis, image);
        if (x < last)
            return false;
        last = x;
    }
    QList<int> added;
    for (int image = known; image < series.imageCount(); ++image) {
        added << image;
        m_xs << series.axisValue(view.axis, image);
    }
    m_order << added;
    for (int zone : view.zones) {
        m_ys[zone] << series.values(zone, view.component, view.corrected, added);
        if (view.band)
            appendBand(series, view, zone, added);
    }
    return true;
}

void ChartValues::fullRange(bool magnitude, double *x0, double *x1, double *y0, double *y1) const
{
    *x0 = m_xs.isEmpty() ? 0 : m_xs.first();
    *x1 = m_xs.isEmpty() ? 1 : m_xs.last();
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const QHash<int, QList<double>> *all : {&m_ys, &m_low, &m_high}) {
        for (const QList<double> &ys : *all) {
            for (double y : ys) {
                if (!std::isnan(y)) {
                    low = std::min(low, y);
                    high = std::max(high, y);
                }
            }
        }
    }
    if (low > high)
        low = high = 0;
    const double span = high > low ? high - low : std::max(1e-3, std::abs(high));
    // A magnitude is never below zero: its axis starts there.
    *y0 = magnitude && low >= 0 ? 0 : low - span * 0.05;
    *y1 = high + span * 0.05;
}

QList<int> ChartValues::imagesWithin(double from, double to) const
{
    QList<int> images;
    for (qsizetype i = Downsampling::lowerBound(m_xs, from); i < m_xs.size() && m_xs.at(i) <= to; ++i)
        images << m_order.at(i);
    return images;
}

int ChartValues::nearest(const QPointF &value, double maxPixels,
                         const std::function<QPointF(const QPointF &)> &toScreen, int *zone) const
{
    const QPointF mouse = toScreen(value);
    double best = maxPixels;
    int bestIndex = -1;
    const qsizetype at = Downsampling::lowerBound(m_xs, value.x());
    for (auto it = m_ys.cbegin(); it != m_ys.cend(); ++it) {
        for (qsizetype i = std::max<qsizetype>(0, at - 3); i < std::min(m_xs.size(), at + 3); ++i) {
            const double y = it->value(i, std::nan(""));
            if (std::isnan(y))
                continue;
            const QPointF p = toScreen(QPointF(m_xs.at(i), y));
            const double distance = std::hypot(p.x() - mouse.x(), p.y() - mouse.y());
            if (distance < best) {
                best = distance;
                *zone = it.key();
                bestIndex = int(i);
            }
        }
    }
    return bestIndex;
}

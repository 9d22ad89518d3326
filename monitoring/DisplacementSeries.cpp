#include "DisplacementSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>

void DisplacementSeries::setSettings(const MonitoringSettings &settings)
{
    m_settings = settings;
    store(rawRows());
}

// The raw values as rows again, for correcting them anew.
QList<TJournalRow> DisplacementSeries::rawRows() const
{
    QList<TJournalRow> rows;
    for (auto zone = m_zones.cbegin(); zone != m_zones.cend(); ++zone) {
        for (qsizetype i = 0; i < zone->values.size(); ++i) {
            TJournalRow row;
            row.number = m_images.at(i).number;
            row.zone = zone.key();
            row.found = row.hasOrigin = zone->values.at(i).valid;
            row.dx = zone->values.at(i).dx;
            row.dy = zone->values.at(i).dy;
            rows << row;
        }
    }
    return rows;
}

void DisplacementSeries::clear()
{
    m_images.clear();
    m_imageOfNumber.clear();
    m_zones.clear();
}

int DisplacementSeries::imageIndex(const TJournalRow &row)
{
    const auto found = m_imageOfNumber.constFind(row.number);
    if (found != m_imageOfNumber.cend())
        return found.value();
    Image image;
    image.number = row.number;
    image.name = row.image;
    image.time = row.imageTime.isValid() ? row.imageTime : row.processedAt;
    image.timeMs = double(image.time.toMSecsSinceEpoch());
    m_images << image;
    const int index = int(m_images.size()) - 1;
    m_imageOfNumber.insert(row.number, index);
    return index;
}

void DisplacementSeries::addRows(const QList<TJournalRow> &rows)
{
    for (const TJournalRow &row : rows)
        imageIndex(row);
    store(rows);
}

void DisplacementSeries::store(const QList<TJournalRow> &rows)
{
    const QList<DisplacementPoint> points = Displacement::evaluate(rows, m_settings);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int index = m_imageOfNumber.value(rows.at(i).number);
        QList<Value> &zone = m_zones[rows.at(i).zone].values;
        if (zone.size() < m_images.size())
            zone.resize(m_images.size());
        const DisplacementPoint &p = points.at(i);
        zone[index] = {p.dx, p.dy, p.dxCorrected, p.dyCorrected, p.valid, p.hasCorrected};
    }
}

QList<int> DisplacementSeries::zones() const
{
    QList<int> result = m_zones.keys();
    std::sort(result.begin(), result.end());
    return result;
}

void DisplacementSeries::axis(XAxis kind, QList<double> *xs, QList<int> *order) const
{
    order->resize(m_images.size());
    for (int i = 0; i < int(m_images.size()); ++i)
        (*order)[i] = i;
    const auto key = [&](int i) { return kind == XAxis::Time ? m_images.at(i).timeMs : double(m_images.at(i).number); };
    std::stable_sort(order->begin(), order->end(), [&](int a, int b) { return key(a) < key(b); });
    xs->resize(order->size());
    for (qsizetype i = 0; i < order->size(); ++i)
        (*xs)[i] = key(order->at(i));
}

bool DisplacementSeries::value(int zone, int image, DisplacementComponent component, bool corrected,
                               double *result) const
{
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend() || image >= found->values.size())
        return false;
    const Value &v = found->values.at(image);
    DisplacementPoint p;
    p.valid = v.valid;
    p.hasCorrected = v.hasCorrected;
    p.dx = v.dx;
    p.dy = v.dy;
    p.dxCorrected = v.dxCorrected;
    p.dyCorrected = v.dyCorrected;
    p.pixelSize = m_settings.pixelSizeOf(zone);
    return p.value(component, corrected, result);
}

QList<double> DisplacementSeries::values(int zone, DisplacementComponent component, bool corrected,
                                         const QList<int> &order) const
{
    QList<double> ys(order.size(), std::numeric_limits<double>::quiet_NaN());
    for (qsizetype i = 0; i < order.size(); ++i) {
        double v = 0;
        if (value(zone, order.at(i), component, corrected, &v))
            ys[i] = v;
    }
    return ys;
}

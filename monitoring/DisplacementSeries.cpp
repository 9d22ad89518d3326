#include "DisplacementSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>

void DisplacementSeries::setSettings(const MonitoringSettings &settings)
{
    m_settings = settings;
    const QList<TJournalRow> rows = rawRows();
    m_zones.clear();
    store(rows);
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
    store(rows);
}

// The correction of each image is the mean of its usable reference zones, as
// Displacement::evaluate() makes it; done here over arrays indexed by image,
// since a run of 100,000 images of 16 zones is 1.6 million rows.
void DisplacementSeries::store(const QList<TJournalRow> &rows)
{
    QList<int> imageOfRow(rows.size());
    int lastNumber = -1;
    int lastIndex = -1;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        // The rows of an image come together: one look-up per image.
        if (rows.at(i).number != lastNumber) {
            lastNumber = rows.at(i).number;
            lastIndex = imageIndex(rows.at(i));
        }
        imageOfRow[i] = lastIndex;
    }
    const bool correcting = !m_settings.referenceZones.isEmpty();
    QList<ImageShift> shifts(correcting ? m_images.size() : 0);
    if (correcting) {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const TJournalRow &row = rows.at(i);
            if (Displacement::isReference(row, m_settings)) {
                ImageShift &shift = shifts[imageOfRow.at(i)];
                shift.dx += row.dx;
                shift.dy += row.dy;
                ++shift.count;
            }
        }
    }
    QList<Value> *zone = nullptr;
    int zoneNumber = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TJournalRow &row = rows.at(i);
        if (!zone || row.zone != zoneNumber) {
            zoneNumber = row.zone;
            zone = &m_zones[zoneNumber].values;
        }
        if (zone->size() < m_images.size())
            zone->resize(m_images.size());
        Value v;
        v.valid = row.found && row.hasOrigin;
        v.dx = row.dx;
        v.dy = row.dy;
        if (v.valid && !correcting) {
            v.hasCorrected = true;
            v.dxCorrected = v.dx;
            v.dyCorrected = v.dy;
        } else if (v.valid && shifts.at(imageOfRow.at(i)).count > 0) {
            const ImageShift &shift = shifts.at(imageOfRow.at(i));
            v.hasCorrected = true;
            v.dxCorrected = v.dx - shift.dx / shift.count;
            v.dyCorrected = v.dy - shift.dy / shift.count;
        }
        (*zone)[imageOfRow.at(i)] = v;
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
    return valueOf(found->values.at(image), m_settings.pixelSizeOf(zone), component, corrected, result);
}

bool DisplacementSeries::valueOf(const Value &v, double pixelSize, DisplacementComponent component, bool corrected,
                                 double *result)
{
    DisplacementPoint p;
    p.valid = v.valid;
    p.hasCorrected = v.hasCorrected;
    p.dx = v.dx;
    p.dy = v.dy;
    p.dxCorrected = v.dxCorrected;
    p.dyCorrected = v.dyCorrected;
    p.pixelSize = pixelSize;
    return p.value(component, corrected, result);
}

QList<double> DisplacementSeries::values(int zone, DisplacementComponent component, bool corrected,
                                         const QList<int> &order) const
{
    QList<double> ys(order.size(), std::numeric_limits<double>::quiet_NaN());
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend())
        return ys;
    const QList<Value> &values = found->values;
    const double pixelSize = m_settings.pixelSizeOf(zone);
    double *out = ys.data();
    for (qsizetype i = 0; i < order.size(); ++i) {
        const int image = order.at(i);
        if (image < values.size())
            valueOf(values.at(image), pixelSize, component, corrected, out + i);
    }
    return ys;
}

#include "DisplacementSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double None = std::numeric_limits<double>::quiet_NaN();

constexpr float NoUncertainty = std::numeric_limits<float>::quiet_NaN();

void resizeWithNone(QList<double> &values, qsizetype size)
{
    values.resize(size, None);
}

// Every array of a zone as long as the images.
void sizeValues(QList<double> &dx, QList<double> &dy, QList<float> &sx, QList<float> &sy, QList<qint16> &spots,
                qsizetype size)
{
    resizeWithNone(dx, size);
    resizeWithNone(dy, size);
    sx.resize(size, NoUncertainty);
    sy.resize(size, NoUncertainty);
    spots.resize(size, qint16(-1));
}

} // namespace

void DisplacementSeries::setSettings(const MonitoringSettings &settings)
{
    m_settings = settings;
    ++m_revision;
    correct(0);
}

void DisplacementSeries::clear()
{
    m_images.clear();
    m_imageOfNumber.clear();
    m_zones.clear();
    m_shiftX.clear();
    m_shiftY.clear();
    ++m_revision;
}

int DisplacementSeries::imageIndex(TJournalDisplacements::Image &&image)
{
    const auto found = m_imageOfNumber.constFind(image.number);
    if (found != m_imageOfNumber.cend())
        return found.value();
    const double timeMs = double(image.time.toMSecsSinceEpoch());
    m_images << Image{image.number, std::move(image.name), std::move(image.time), timeMs};
    const int index = int(m_images.size()) - 1;
    m_imageOfNumber.insert(image.number, index);
    return index;
}

void DisplacementSeries::addImage(const TRecordedImage &image)
{
    TJournalDisplacements one;
    one.images << TJournalDisplacements::Image{image.number, image.name(), image.imageTime()};
    for (qsizetype k = 0; k < image.zones.size(); ++k) {
        const TZoneMeasurement &zone = image.zones.at(k);
        const bool valid = zone.found && zone.hasOrigin;
        TJournalDisplacements::Zone &values = one.zone(int(k) + 1);
        values.dx = {valid ? zone.dx : None};
        values.dy = {valid ? zone.dy : None};
        values.sx = {valid ? float(zone.sx) : float(None)};
        values.sy = {valid ? float(zone.sy) : float(None)};
        // 0 spots: they were not counted.
        values.spots = {zone.spots > 0 ? TJournalDisplacements::spotCount(zone.spots) : qint16(-1)};
    }
    addDisplacements(std::move(one));
}

void DisplacementSeries::addDisplacements(TJournalDisplacements displacements)
{
    const int before = imageCount();
    int firstReplaced = before;
    QList<int> indexOf(displacements.images.size());
    if (before == 0) {
        // A whole run at once; a watch's images one by one grow the lists as lists grow.
        m_images.reserve(displacements.images.size());
        m_imageOfNumber.reserve(displacements.images.size());
    }
    for (qsizetype i = 0; i < displacements.images.size(); ++i) {
        indexOf[i] = imageIndex(std::move(displacements.images[i]));
        if (indexOf.at(i) < before)
            firstReplaced = std::min(firstReplaced, indexOf.at(i));
    }
    // A run read whole into an empty series: its arrays are taken as they are.
    const bool whole = before == 0 && m_zones.isEmpty() && imageCount() == displacements.images.size();
    for (TJournalDisplacements::Zone &zone : displacements.zones) {
        ZoneValues &values = m_zones[zone.zone];
        // Arrays a caller made shorter than the images get their slots first.
        sizeValues(zone.dx, zone.dy, zone.sx, zone.sy, zone.spots, displacements.images.size());
        if (whole) {
            values.dx = std::move(zone.dx);
            values.dy = std::move(zone.dy);
            values.sx = std::move(zone.sx);
            values.sy = std::move(zone.sy);
            values.spots = std::move(zone.spots);
            continue;
        }
        sizeValues(values.dx, values.dy, values.sx, values.sy, values.spots, imageCount());
        for (qsizetype i = 0; i < indexOf.size(); ++i) {
            const int at = indexOf.at(i);
            values.dx[at] = zone.dx.at(i);
            values.dy[at] = zone.dy.at(i);
            values.sx[at] = zone.sx.at(i);
            values.sy[at] = zone.sy.at(i);
            values.spots[at] = zone.spots.at(i);
        }
    }
    sizeZones();
    if (firstReplaced < before)
        ++m_revision;
    correct(firstReplaced);
}

// Every zone holds a slot for every image.
void DisplacementSeries::sizeZones()
{
    for (ZoneValues &values : m_zones)
        sizeValues(values.dx, values.dy, values.sx, values.sy, values.spots, imageCount());
}

// The shift of the images from `from` on, by Displacement::imageShift().
void DisplacementSeries::correct(int from)
{
    if (!correcting()) {
        m_shiftX.clear();
        m_shiftY.clear();
        return;
    }
    // The reference zones' arrays, in the order their values are summed.
    QList<const ZoneValues *> references;
    for (int reference : Displacement::referenceOrder(m_settings)) {
        const auto found = m_zones.constFind(reference);
        if (found != m_zones.cend())
            references << &found.value();
    }
    const int count = imageCount();
    from = std::clamp(from, 0, int(m_shiftX.size()));
    m_shiftX.resize(count, None);
    m_shiftY.resize(count, None);
    for (int i = from; i < count; ++i) {
        const auto valueOf = [&](qsizetype k, double *dx, double *dy) {
            *dx = references.at(k)->dx.at(i);
            *dy = references.at(k)->dy.at(i);
            return !std::isnan(*dx);
        };
        if (!Displacement::imageShift(references.size(), valueOf, &m_shiftX[i], &m_shiftY[i])) {
            m_shiftX[i] = None;
            m_shiftY[i] = None;
        }
    }
}

QList<int> DisplacementSeries::zones() const
{
    QList<int> result = m_zones.keys();
    std::sort(result.begin(), result.end());
    return result;
}

double DisplacementSeries::axisValue(XAxis kind, int image) const
{
    return kind == XAxis::Time ? m_images.at(image).timeMs : double(m_images.at(image).number);
}

void DisplacementSeries::axis(XAxis kind, QList<double> *xs, QList<int> *order) const
{
    order->resize(m_images.size());
    for (int i = 0; i < int(m_images.size()); ++i)
        (*order)[i] = i;
    std::stable_sort(order->begin(), order->end(),
                     [&](int a, int b) { return axisValue(kind, a) < axisValue(kind, b); });
    xs->resize(order->size());
    for (qsizetype i = 0; i < order->size(); ++i)
        (*xs)[i] = axisValue(kind, order->at(i));
}

namespace {

// A component in the zone's unit; NaN where the image has no value.
inline double component(double x, double y, double scale, DisplacementComponent component)
{
    switch (component) {
    case DisplacementComponent::Dx: return x * scale;
    case DisplacementComponent::Dy: return y * scale;
    // Displacements are far from overflow: the square root of the sum is
    // exact enough and cheaper than std::hypot over millions of values.
    case DisplacementComponent::Magnitude: return std::sqrt(x * x + y * y) * scale;
    }
    return None;
}

} // namespace

bool DisplacementSeries::value(int zone, int image, DisplacementComponent part, bool corrected, double *result) const
{
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend() || image < 0 || image >= found->dx.size())
        return false;
    const bool useCorrected = corrected && correcting();
    const double x = found->dx.at(image) - (useCorrected ? m_shiftX.at(image) : 0.0);
    const double y = found->dy.at(image) - (useCorrected ? m_shiftY.at(image) : 0.0);
    if (std::isnan(x) || std::isnan(y))
        return false;
    const double pixelSize = m_settings.pixelSizeOf(zone);
    *result = component(x, y, pixelSize > 0 ? pixelSize : 1.0, part);
    return true;
}

QList<double> DisplacementSeries::values(int zone, DisplacementComponent part, bool corrected,
                                         const QList<int> &order) const
{
    QList<double> ys(order.size(), None);
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend())
        return ys;
    const QList<double> &xs = found->dx;
    const QList<double> &yv = found->dy;
    const double pixelSize = m_settings.pixelSizeOf(zone);
    const double scale = pixelSize > 0 ? pixelSize : 1.0;
    double *out = ys.data();
    if (corrected && correcting()) {
        for (qsizetype i = 0; i < order.size(); ++i) {
            const int image = order.at(i);
            if (image < xs.size())
                out[i] = component(xs.at(image) - m_shiftX.at(image), yv.at(image) - m_shiftY.at(image), scale, part);
        }
        return ys;
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        const int image = order.at(i);
        if (image < xs.size())
            out[i] = component(xs.at(image), yv.at(image), scale, part);
    }
    return ys;
}

namespace {

// A component's uncertainty from the point's (x, y) and its sx, sy, all in
// one unit. The magnitude's is sx, sy carried through sqrt(x² + y²); at the
// origin, where that has no slope, the larger of the two.
inline double componentUncertainty(double x, double y, double sx, double sy, DisplacementComponent component)
{
    switch (component) {
    case DisplacementComponent::Dx: return sx;
    case DisplacementComponent::Dy: return sy;
    case DisplacementComponent::Magnitude: {
        const double m = std::sqrt(x * x + y * y);
        return m > 0 ? std::sqrt(x * x * sx * sx + y * y * sy * sy) / m : std::max(sx, sy);
    }
    }
    return None;
}

} // namespace

bool DisplacementSeries::uncertainty(int zone, int image, DisplacementComponent part, bool corrected,
                                     double *result) const
{
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend() || image < 0 || image >= found->sx.size())
        return false;
    const bool useCorrected = corrected && correcting();
    const double x = found->dx.at(image) - (useCorrected ? m_shiftX.at(image) : 0.0);
    const double y = found->dy.at(image) - (useCorrected ? m_shiftY.at(image) : 0.0);
    const double sx = found->sx.at(image);
    const double sy = found->sy.at(image);
    if (std::isnan(x) || std::isnan(y) || std::isnan(sx) || std::isnan(sy))
        return false;
    const double pixelSize = m_settings.pixelSizeOf(zone);
    const double scale = pixelSize > 0 ? pixelSize : 1.0;
    *result = componentUncertainty(x * scale, y * scale, sx * scale, sy * scale, part);
    return true;
}

QList<double> DisplacementSeries::uncertainties(int zone, DisplacementComponent part, bool corrected,
                                                const QList<int> &order) const
{
    QList<double> sigmas(order.size(), None);
    for (qsizetype i = 0; i < order.size(); ++i) {
        double sigma = 0;
        if (uncertainty(zone, order.at(i), part, corrected, &sigma))
            sigmas[i] = sigma;
    }
    return sigmas;
}

int DisplacementSeries::spots(int zone, int image) const
{
    const auto found = m_zones.constFind(zone);
    if (found == m_zones.cend() || image < 0 || image >= found->spots.size())
        return -1;
    return found->spots.at(image);
}

#include "TPointFinder.h"

#include "AtomicFile.h"
#include "CoordinateSums.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "RegularFile.h"
#include "SpotThreshold.h"
#include "TFinderHost.h"
#include "TIssue.h"
#include "TParameters.h"
#include "ZoneFile.h"


#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>


// Without a view (the headless tool may pass none) the hooks do nothing.
TFinderHost &TPointFinder::host() const
{
    static TFinderHost none;
    return m_host ? *m_host : none;
}

TPointFinder::TPointFinder(const TParameters &params, TFinderHost *host, TIssueSink *reporter)
    : m_params(params), m_host(host), m_reporter(reporter)
{
}

void TPointFinder::LoadImage(const QString &fileName, bool show)
{
    if (fileName.isEmpty())
        return;
    // Open into a fresh object so a failure leaves the previous image in place.
    BitmapFile image;
    if (m_opener)
        m_opener(image, fileName);
    else
        image.open(fileName);
    m_image = std::move(image);
    m_width = m_image.width();
    m_height = m_image.height();
    TFinderHost &host = this->host();
    host.ShowImage(show);
    m_mask = SpotMask();
    m_maskToMake.reset();
    host.DrawZoneOverlay();
    m_imagePath = fileName;
}

void TPointFinder::setImage(BitmapFile image, const QString &path)
{
    m_image = std::move(image);
    m_width = m_image.width();
    m_height = m_image.height();
    m_mask = SpotMask();
    m_maskToMake.reset();
    m_imagePath = path;
}

QRect TPointFinder::clippedRect(const TZoneInfo &zone) const
{
    const int left = std::max(zone.X1, 0);
    const int right = std::min(zone.X2, m_width - 1);
    const int top = std::max(zone.Y1, 0);
    const int bottom = std::min(zone.Y2, m_height - 1);
    if (left > right || top > bottom)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

void TPointFinder::AllocateRaster()
{
    m_rasters.assign(size_t(m_zones.size()), ZoneRaster());
    m_mask = SpotMask();
    m_maskToMake.reset();
}

void TPointFinder::FillBrightness()
{
    // Everything is read before any zone receives a point, so a file that
    // fails half way leaves every zone's series the same length. All zones go
    // in one batch, which reads the rows they share once.
    qint64 total = 0;
    QRect around;
    for (qsizetype i = 0; i < m_zones.size(); ++i) {
        ZoneRaster &raster = m_rasters[size_t(i)];
        raster.rect = clippedRect(m_zones.at(i));
        if (raster.rect.isEmpty())
            continue;
        total += qint64(raster.rect.width()) * raster.rect.height();
        around |= raster.rect;
    }
    // Each zone has its own rectangle of brightness, unless the zones overlap
    // so much that they cover more than the rectangle around them all: then
    // they share that one, and no zone file can make the raster larger than
    // the image.
    const qint64 aroundArea = qint64(around.width()) * around.height();
    const bool shared = total > aroundArea;
    const size_t needed = size_t(shared ? aroundArea : total);
    quint16 *const keys = m_keys.reserve(needed);
    size_t sides = 0;
    for (const ZoneRaster &raster : m_rasters)
        sides += size_t(raster.rect.width() + raster.rect.height());
    if (!shared)
        m_maxima.resize(std::max(m_maxima.size(), sides));
    quint16 *maxima = m_maxima.data();
    std::vector<BitmapFile::KeyRequest> requests;
    if (shared)
        requests.push_back({around.left(), around.top(), around.right(), around.bottom(), keys, around.width()});
    quint16 *next = keys;
    for (ZoneRaster &raster : m_rasters) {
        const QRect &r = raster.rect;
        if (r.isEmpty())
            continue;
        if (shared) {
            raster.keys = keys + qsizetype(r.top() - around.top()) * around.width() + (r.left() - around.left());
            raster.rowStride = around.width();
        } else {
            raster.keys = next;
            raster.rowStride = r.width();
            quint16 *rowMax = maxima;
            quint16 *columnMax = maxima + r.height();
            maxima += r.height() + r.width();
            raster.rowMax = rowMax;
            raster.columnMax = columnMax;
            requests.push_back({r.left(), r.top(), r.right(), r.bottom(), next, r.width(), rowMax, columnMax});
            next += qsizetype(r.width()) * r.height();
        }
    }
    m_table = m_image.keyTable();
    m_topBrightness = m_table.size > 0 ? *std::max_element(m_table.brightness, m_table.brightness + m_table.size) : 0;
    if (!requests.empty())
        m_image.readKeys(requests);
}

void TPointFinder::PaintMask()
{
    host().ShowMask();
}

bool TPointFinder::ReadZoneFile(const QString &fileName)
{
    m_zones.clear();
    m_zoneFileError.clear();
    if (fileName.isEmpty())
        return false;
    const ZoneFile::ParseResult parsed = ZoneFile::read(fileName, &m_zoneFileError);
    m_zones = parsed.zones;
    // An origin that could not be read leaves its zone without one: results
    // relative to -1 are no use, so the user hears of it.
    if (m_reporter && !parsed.warnings.isEmpty()) {
        m_reporter->report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Settings, fileName,
                                        QStringLiteral("Начало координат зоны не прочитано: %1, %2")
                                            .arg(fileName, parsed.warnings.join(QStringLiteral("; ")))));
    }
    // The message names the file (the reader's texts all do), so a user who
    // never chose one learns which file the settings point at.
    if (!parsed.ok && m_reporter)
        m_reporter->report(TIssue::settingsError(QStringLiteral("Ошибка!"),
                                                 QStringLiteral("Ошибка чтения файла координат зон!\n") + m_zoneFileError));
    return parsed.ok;
}

void TPointFinder::WriteZoneFile(const QString &fileName) const
{
    if (fileName.isEmpty() || !AtomicFile::write(fileName, ZoneFile::format(m_zones)))
        throw KelvarinError(QStringLiteral("Ошибка сохранения файла зон!"));
}

void TPointFinder::ProcessImage(const QString &path)
{
    // The first image after start is always shown.
    LoadImage(path, m_width == 0 ? true : m_params.NeedVisualization);
    AllocateRaster();
    FillBrightness();
    TFinderHost &host = this->host();
    if (!m_params.Steps)
        host.HideOverlay();
    m_measurements.clear();
    for (qsizetype i = 0; i < m_zones.size() && i < qsizetype(m_rasters.size()); ++i) {
        bool stopped = false;
        // Only the last zone's mask outlives the image, unless every zone is shown.
        const bool keepMask = m_params.Steps || i + 1 == m_zones.size();
        detectZone(m_zones[i], m_rasters[size_t(i)], keepMask, &stopped);
        if (stopped)
            return;
    }
    if (m_params.NeedVisualization)
        host.EndImage();
}

void TPointFinder::adoptImage(const QString &path, const QList<TZoneMeasurement> &measured)
{
    for (qsizetype i = 0; i < m_zones.size() && i < measured.size(); ++i) {
        const TZoneMeasurement &m = measured.at(i);
        m_zones[i].points.append(VT_Point(m.x, m.y));
        SpotMeanSum += m.mean;
    }
    m_measurements = measured;
    m_imagePath = path;
}

QString TPointFinder::stepText(double threshold, double maximum, int area)
{
    return QStringLiteral("Порог бинаризации: ") + LocaleFormat::formatFixed(threshold, 4)
        + QStringLiteral("       Максимальная яркость: ") + LocaleFormat::formatFixed(maximum, 4)
        + QStringLiteral("       Площадь: ") + QString::number(area);
}

// The brightest pixel of a zone, 0 for a zone without pixels.
double TPointFinder::maximumOf(const ZoneRaster &raster) const
{
    const QRect &r = raster.rect;
    if (r.isEmpty())
        return 0;
    const int w = r.width();
    if (m_table.increasing) {
        // The largest key has the largest brightness: a plain integer maximum.
        quint16 top = 0;
        if (raster.rowMax) {
            for (int row = 0; row < r.height(); ++row)
                top = std::max(top, raster.rowMax[row]);
            return std::max(0.0, m_table.brightness[top]);
        }
        for (int row = 0; row < r.height(); ++row) {
            const quint16 *k = raster.keys + qsizetype(row) * raster.rowStride;
            for (int i = 0; i < w; ++i)
                top = std::max(top, k[i]);
        }
        return std::max(0.0, m_table.brightness[top]);
    }
    double maximum = 0;
    for (int row = 0; row < r.height(); ++row) {
        const quint16 *k = raster.keys + qsizetype(row) * raster.rowStride;
        for (int i = 0; i < w; ++i)
            maximum = std::max(maximum, m_table.brightness[k[i]]);
    }
    return maximum;
}

namespace {

// The window subtracts the background's plane; the threshold and the test of
// a lone pixel need its level only; the uncertainty, the noise.
ZoneBorder::Reading borderReading(const TParameters &p)
{
    using Reading = ZoneBorder::Reading;
    if (p.CentroidWindow)
        return Reading::LevelAndTilt;
    return p.SpotBackground || p.ConnectedSpot ? Reading::Level : Reading::Noise;
}

} // namespace

// Which key is what to the sweep: a spot pixel is strictly above the
// threshold (a pixel exactly at it is background); a band pixel within one
// noise deviation of it; a top pixel within two of the brightest; a
// saturated pixel at the image's largest brightness, which has no noise; a
// near-spot pixel above the level the spots are told apart at.
void TPointFinder::classify(KeyClasses &classes, double threshold, double maximum, double noise,
                            double spotsLevel) const
{
    // 766 keys for 8-bit pictures, 65536 for 16-bit ones.
    classes.assign(size_t(m_table.size), 0);
    for (int k = 0; k < m_table.size; ++k) {
        const double b = m_table.brightness[k];
        classes[size_t(k)] = quint8((b > threshold ? SpotKey : 0) | (std::abs(b - threshold) < noise ? BandKey : 0)
                                    | (b >= maximum - 2 * noise ? TopKey : 0) | (b >= m_topBrightness ? SaturatedKey : 0)
                                    | (b > spotsLevel ? NearSpotKey : 0));
    }
}

// Noise lifts the brightest pixel, and the threshold with it, which can leave
// a second target's brightest pixel under the threshold; and it breaks a
// target whose top lies near the threshold into pieces above it. Spots are
// told apart three noise deviations below the threshold (never nearer the
// background than three), where neither happens but by rare chance.
double TPointFinder::spotsLevelFor(double threshold) const
{
    const double noise = m_border.noise;
    return std::min(threshold, std::max(threshold - 3 * noise, m_border.level + 3 * noise));
}

// The rectangle holding every pixel of a class in `mask`: with keys in order
// of brightness those are the keys from the first such one up, found from the
// rows' and columns' maxima; otherwise the whole zone.
QRect TPointFinder::sweepArea(const ZoneRaster &raster, const KeyClasses &classes, quint8 mask)
{
    if (!m_table.increasing)
        return raster.rect;
    return areaFrom(raster, firstKeyOf(classes, mask));
}

// With keys in order of brightness, the rectangle holding every pixel whose
// key is at least `firstKey` (-1: no key is).
QRect TPointFinder::areaFrom(const ZoneRaster &raster, int firstKey)
{
    if (raster.rect.isEmpty())
        return raster.rect;
    return firstKey < 0 ? QRect() : spotBounds(raster, quint16(firstKey));
}

// With keys in order of brightness, the first key of a class in `mask`, -1
// when no key is of them. The classes a sweep or the labels ask for (above
// the threshold, near or above it, near the brightest) each hold every key
// from their first up, so the first is found by halving.
int TPointFinder::firstKeyOf(const KeyClasses &classes, quint8 mask) const
{
    const auto end = classes.begin() + m_table.size;
    const auto first = std::partition_point(classes.begin(), end, [mask](quint8 c) { return !(c & mask); });
    return first == end ? -1 : int(first - classes.begin());
}

// One sweep over a zone: the spot's area, its brightness and the centre's
// sums with weights b - offset, and the moments of its uncertainty. With
// `connected` only the labelled spot's pixels count.
// The sweep runs x outer, y inner, both upwards, so every sum accumulates in
// one fixed order whatever the machine; skipping pixels outside the area
// leaves every sum as it was.
TPointFinder::SpotSums TPointFinder::sweepSpot(const ZoneRaster &raster, const KeyClasses &classes, double offset,
                                               bool connected)
{
    SpotSums s;
    const QRect r = sweepArea(raster, classes, SpotKey | BandKey | TopKey);
    if (r.isEmpty())
        return s;
    const qsizetype stride = raster.rowStride;
    const QRect &zone = raster.rect;
    CoordinateSums spot, band, saturated;
    qint64 top = 0;
    for (int x = r.left(); x <= r.right(); ++x) {
        const quint16 *column = raster.keys + (x - zone.left()) + qsizetype(r.top() - zone.top()) * stride;
        for (int j = 0; j < r.height(); ++j) {
            const quint16 key = column[j * stride];
            const quint8 c = classes[key];
            if (!c)
                continue;
            // Only the labelled spot's pixels, and no band pixel of another spot.
            if (connected && ((c & SpotKey) ? !m_labels.isMain(x, r.top() + j) : m_labels.isOther(x, r.top() + j)))
                continue;
            const qint64 ry = r.top() + j - zone.top();
            if (c & BandKey)
                band.add(ry);
            if (!(c & SpotKey))
                continue;
            const double b = m_table.brightness[key];
            ++s.area;
            s.sum += b;
            const double w = b - offset; // b - 0 is b exactly
            s.sumX += x * w;
            s.sumY += (r.top() + j) * w;
            s.weight += w;
            spot.add(ry);
            top += (c & TopKey) ? 1 : 0;
            if (c & SaturatedKey)
                saturated.add(ry);
        }
        const qint64 rx = x - zone.left();
        spot.endColumn(rx), band.endColumn(rx), saturated.endColumn(rx);
    }
    CentreUncertainty::Moments &mo = s.moments;
    spot.put(mo.n, mo.x, mo.xx, mo.y, mo.yy);
    band.put(mo.bandN, mo.bandX, mo.bandXX, mo.bandY, mo.bandYY);
    saturated.put(mo.saturated, mo.saturatedX, mo.saturatedXX, mo.saturatedY, mo.saturatedYY);
    mo.top = double(top);
    return s;
}

// Labels the zone's spots above `spotsLevel` (see spotsLevelFor), the
// target's being the one with the most light above it; returns how many
// there are. Another spot counts when its brightest pixel comes within two
// noise deviations of the threshold, and stands more than five above the
// background: over the pixels of a zone, noise alone reaches four and a half
// now and then, and lifts a pixel of the target's own slope two above the
// level seldom.
int TPointFinder::labelSpots(const ZoneRaster &raster, const KeyClasses &classes, double threshold,
                             double spotsLevel)
{
    // With keys in order of brightness the first key above the level gives
    // both the area and the test of a pixel.
    const int firstKey = m_table.increasing ? firstKeyOf(classes, NearSpotKey) : -1;
    const QRect area = m_table.increasing ? areaFrom(raster, firstKey) : raster.rect;
    const double significantPeak = std::max(m_border.level + 5 * m_border.noise, threshold - 2 * m_border.noise);
    return m_labels.label(keysOf(raster), area, {classes.data(), NearSpotKey, firstKey, raster.rowMax}, spotsLevel, significantPeak);
}

ZoneKeys TPointFinder::keysOf(const ZoneRaster &raster) const
{
    return ZoneKeys{raster.rect, raster.keys, raster.rowStride, m_table.brightness, m_table.increasing};
}

// The rectangle around the pixels whose key is at least firstSpotKey; empty
// when there are none. Row by row, in loops the compiler can vectorise.
QRect TPointFinder::spotBounds(const ZoneRaster &raster, quint16 firstSpotKey)
{
    if (raster.rowMax && raster.columnMax)
        return spotBoundsByMaxima(raster, firstSpotKey);
    const QRect &r = raster.rect;
    const int w = r.width();
    m_columnHasSpot.assign(size_t(w), 0);
    quint8 *columns = m_columnHasSpot.data();
    int top = -1, bottom = -1;
    for (int row = 0; row < r.height(); ++row) {
        const quint16 *k = raster.keys + qsizetype(row) * raster.rowStride;
        quint8 any = 0;
        for (int i = 0; i < w; ++i) {
            const quint8 in = k[i] >= firstSpotKey;
            columns[i] |= in;
            any |= in;
        }
        if (any) {
            if (top < 0)
                top = row;
            bottom = row;
        }
    }
    if (top < 0)
        return {};
    int left = 0, right = w - 1;
    while (!columns[left])
        ++left;
    while (!columns[right])
        --right;
    return QRect(QPoint(r.left() + left, r.top() + top), QPoint(r.left() + right, r.top() + bottom));
}

// The same from the maxima the reader found: a row or column holds a spot
// pixel exactly when its largest key is a spot key.
QRect TPointFinder::spotBoundsByMaxima(const ZoneRaster &raster, quint16 firstSpotKey)
{
    const QRect &r = raster.rect;
    auto first = [&](const quint16 *maxima, int n) {
        int i = 0;
        while (i < n && maxima[i] < firstSpotKey)
            ++i;
        return i;
    };
    auto last = [&](const quint16 *maxima, int n) {
        int i = n - 1;
        while (i >= 0 && maxima[i] < firstSpotKey)
            --i;
        return i;
    };
    const int top = first(raster.rowMax, r.height());
    if (top == r.height())
        return {};
    const int bottom = last(raster.rowMax, r.height());
    const int left = first(raster.columnMax, r.width());
    const int right = last(raster.columnMax, r.width());
    return QRect(QPoint(r.left() + left, r.top() + top), QPoint(r.left() + right, r.top() + bottom));
}

void TPointFinder::keepMaskOf(const ZoneRaster &raster, double threshold)
{
    m_mask = SpotMask();
    m_maskToMake = std::make_pair(raster, threshold);
}

const TPointFinder::SpotMask &TPointFinder::mask() const
{
    if (!m_maskToMake)
        return m_mask;
    const auto [raster, threshold] = *m_maskToMake;
    m_maskToMake.reset();
    const QRect &r = raster.rect;
    m_mask.rect = r;
    m_mask.bits.resize(size_t(r.width()) * size_t(r.height()));
    size_t i = 0;
    for (int x = r.left(); x <= r.right(); ++x) {
        const quint16 *column = raster.keys + (x - r.left());
        for (int j = 0; j < r.height(); ++j, ++i)
            m_mask.bits[i] = m_table.brightness[column[j * raster.rowStride]] > threshold;
    }
    return m_mask;
}

void TPointFinder::detectZone(TZoneInfo &zone, const ZoneRaster &raster, bool keepMask, bool *stopped)
{
    const TParameters &p = m_params;
    TFinderHost &host = this->host();

    const double maximum = maximumOf(raster);
    m_border = ZoneBorder::measure(keysOf(raster), m_borderScratch, borderReading(p));
    const double threshold = SpotThreshold::of(m_params, maximum, m_border.level);
    KeyClasses &classes = m_classes;
    const double spotsLevel = p.ConnectedSpot ? spotsLevelFor(threshold) : threshold;
    classify(classes, threshold, maximum, m_border.noise, spotsLevel);

    TZoneMeasurement measured;
    if (p.ConnectedSpot)
        measured.spots = labelSpots(raster, classes, threshold, spotsLevel);
    // The same spot pixels for either weighting; only the centre's weights
    // differ: the brightness itself, or the part of it above the threshold,
    // which leaves out the level every spot pixel shares and so the pull of
    // the edge pixels that pass the threshold in one image and not the next.
    const double offset = p.CentroidWeighting == TParameters::WeightAboveThreshold ? threshold : 0.0;
    const SpotSums s = sweepSpot(raster, classes, offset, p.ConnectedSpot && !m_labels.allMain());
    if (keepMask)
        keepMaskOf(raster, threshold);
    const double mean = s.area > 0 ? s.sum / s.area : 0.0;
    SpotMeanSum += mean;

    if (p.Steps) {
        PaintMask();
        if (!host.ConfirmStep(stepText(threshold, maximum, s.area))) {
            StopRequested = true;
            *stopped = true;
            return;
        }
    }

    measured.maximum = maximum;
    measured.threshold = threshold;
    measured.area = s.area;
    measured.mean = mean;
    measured.rejection = rejectionOf(p, mean, s.area);

    const VT_Point point = centreOf(raster, s, measured);
    zone.points.append(point);
    measured.found = measured.rejection == TZoneMeasurement::Rejection::None;
    measured.x = point.x;
    measured.y = point.y;
    m_measurements.append(measured);

    if (p.Steps) {
        host.ShowNotice(QStringLiteral("Координаты центра тяжести: ") + LocaleFormat::formatFixed(point.x, 4)
                        + QStringLiteral("   -   ") + LocaleFormat::formatFixed(point.y, 4));
    }
}

// The spot's centre, refined as the options ask, or "not found" (-1, -1)
// with the reason in `measured`.
VT_Point TPointFinder::centreOf(const ZoneRaster &raster, const SpotSums &s, TZoneMeasurement &measured)
{
    if (measured.rejection != TZoneMeasurement::Rejection::None)
        return VT_Point(-1, -1);
    // Settings that admit an empty or black spot leave no centre of gravity;
    // such a zone records "not found" rather than a division by zero.
    if (s.weight == 0) {
        measured.rejection = TZoneMeasurement::Rejection::NoWeight;
        return VT_Point(-1, -1);
    }
    VT_Point point(s.sumX / s.weight, s.sumY / s.weight);
    refineCentre(raster, s, point, measured);
    host().MarkPoint(int(point.x), int(point.y));
    return point;
}

// The windowed centre when asked for and it converges; the uncertainty of
// whichever centre the point keeps.
void TPointFinder::refineCentre(const ZoneRaster &raster, const SpotSums &s, VT_Point &point,
                                TZoneMeasurement &measured)
{
    const TParameters &p = m_params;
    if (p.CentroidWindow) {
        m_window.setZone(keysOf(raster), m_border, p.ConnectedSpot && m_labels.hasOthers() ? &m_labels : nullptr);
        // The light is summed out to four radii of the thresholded spot: far
        // enough for a Gaussian's wings, near enough that a faint spot's light
        // is not lost in the noise of a large zone.
        const double reach = 4 * std::sqrt(s.area / std::numbers::pi) + 3;
        const WindowedCentre::Result w = m_window.refine(point.x, point.y, reach);
        if (w.ok) {
            // The window's pixels, not the thresholded spot's, bound it.
            const double floor = CentreUncertainty::floorFor(2 * std::numbers::pi * w.window * w.window);
            point = VT_Point(w.x, w.y);
            measured.sx = std::max(floor, w.sx);
            measured.sy = std::max(floor, w.sy);
            return;
        }
    }
    CentreUncertainty::Input in;
    in.m = s.moments;
    in.cx = point.x - raster.rect.left();
    in.cy = point.y - raster.rect.top();
    in.weight = s.weight;
    in.threshold = measured.threshold;
    in.thresholdSlope = SpotThreshold::slope(p, measured.maximum, m_border.level);
    in.noise = m_border.noise;
    in.aboveThreshold = p.CentroidWeighting == TParameters::WeightAboveThreshold;
    in.saturated = measured.maximum >= m_topBrightness;
    const CentreUncertainty::Result r = CentreUncertainty::of(in);
    measured.sx = r.sx;
    measured.sy = r.sy;
}

// All three limits are strict: a spot exactly at a limit is rejected. The mean
// is judged first, then the smallest and the largest area.
TZoneMeasurement::Rejection TPointFinder::rejectionOf(const TParameters &p, double mean, int area)
{
    if (!(p.AverageYPorog < mean))
        return TZoneMeasurement::Rejection::Mean;
    if (!(p.MinSCount < area))
        return TZoneMeasurement::Rejection::MinArea;
    if (!(area < p.MaxSCount))
        return TZoneMeasurement::Rejection::MaxArea;
    return TZoneMeasurement::Rejection::None;
}

int TPointFinder::RecommendThreshold() const
{
    if (m_zones.isEmpty())
        throw KelvarinError(QStringLiteral("Нет ни одной зоны: рекомендуемый порог яркости не определен."));
    // The zone count is far below 2^53, so it converts exactly.
    const double value = std::trunc(SpotMeanSum / double(m_zones.size()) * m_params.GlobalAverageYPercent);
    // A percentage edited by hand into the settings file may give a value no threshold can hold.
    if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()))
        throw KelvarinError(QStringLiteral("Рекомендуемый порог яркости %1 вне допустимых пределов.")
                                .arg(LocaleFormat::formatGeneral(value)));
    return int(value);
}

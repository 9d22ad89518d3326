#include "TPointFinder.h"

#include "AtomicFile.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "RegularFile.h"
#include "TFinderHost.h"
#include "TMessageReporter.h"
#include "TParameters.h"
#include "ZoneFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

// Without a view (the headless tool may pass none) the hooks do nothing.
TFinderHost &TPointFinder::host() const
{
    static TFinderHost none;
    return m_host ? *m_host : none;
}

TPointFinder::TPointFinder(const TParameters &params, TFinderHost *host, TMessageReporter *reporter)
    : m_params(params), m_host(host), m_reporter(reporter)
{
}

void TPointFinder::LoadImage(const QString &fileName, bool show)
{
    if (fileName.isEmpty())
        return;
    // Open into a fresh object so a failure leaves the previous image in place.
    BitmapFile image;
    image.open(fileName);
    m_image = std::move(image);
    m_width = m_image.width();
    m_height = m_image.height();
    TFinderHost &host = this->host();
    host.ShowImage(show);
    m_mask = SpotMask();
    host.DrawZoneOverlay();
    m_imagePath = fileName;
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
    m_brightness.resize(size_t(shared ? aroundArea : total));
    std::vector<BitmapFile::BrightnessRequest> requests;
    if (shared)
        requests.push_back({around.left(), around.top(), around.right(), around.bottom(), m_brightness.data()});
    double *next = m_brightness.data();
    for (ZoneRaster &raster : m_rasters) {
        const QRect &r = raster.rect;
        if (r.isEmpty())
            continue;
        if (shared) {
            raster.brightness = m_brightness.data() + qsizetype(r.left() - around.left()) * around.height()
                                + (r.top() - around.top());
            raster.columnStride = around.height();
        } else {
            raster.brightness = next;
            raster.columnStride = r.height();
            requests.push_back({r.left(), r.top(), r.right(), r.bottom(), next});
            next += qsizetype(r.width()) * r.height();
        }
    }
    if (!requests.empty())
        m_image.readBrightness(requests);
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
    ZoneFile::ParseResult parsed;
    // Only a regular file of bounded size: opening a named pipe would block,
    // and reading a device such as /dev/zero would never end.
    QByteArray bytes;
    if (RegularFile::read(fileName, &bytes, &m_zoneFileError) == RegularFile::Status::Ok)
        parsed = ZoneFile::parse(bytes);
    else
        parsed.ok = false;
    m_zones = parsed.zones;
    if (!parsed.ok && m_reporter)
        m_reporter->ReportMessage(QStringLiteral("Ошибка!"), QStringLiteral("Ошибка чтения файла координат зон!"));
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
        detectZone(m_zones[i], m_rasters[size_t(i)], &stopped);
        if (stopped)
            return;
    }
    if (m_params.NeedVisualization)
        host.EndImage();
}

QString TPointFinder::stepText(double threshold, double maximum, int area)
{
    return QStringLiteral("Порог бинаризации: ") + LocaleFormat::formatFixed(threshold, 4)
        + QStringLiteral("       Максимальная яркость: ") + LocaleFormat::formatFixed(maximum, 4)
        + QStringLiteral("       Площадь: ") + QString::number(area);
}

void TPointFinder::detectZone(TZoneInfo &zone, const ZoneRaster &raster, bool *stopped)
{
    const TParameters &p = m_params;
    TFinderHost &host = this->host();
    const QRect &r = raster.rect;
    const int columnHeight = r.height();
    auto column = [&raster](int x) {
        return raster.brightness + qsizetype(x - raster.rect.left()) * raster.columnStride;
    };

    // Every scan runs x outer, y inner, both upwards (the raster is stored
    // column by column), so sums accumulate in one fixed order.
    double maximum = 0;
    for (int x = r.left(); x <= r.right(); ++x) {
        const double *b = column(x);
        for (int j = 0; j < columnHeight; ++j) {
            if (b[j] > maximum)
                maximum = b[j];
        }
    }
    const double threshold = maximum == 0
        ? p.Koeff_C
        : p.Koeff_A * std::pow(maximum, p.Koeff_n) + p.Koeff_B * maximum + p.Koeff_C;

    // Strictly above: a pixel exactly at the threshold is background.
    m_mask.rect = r;
    m_mask.bits.assign(size_t(r.width()) * size_t(columnHeight), 0);
    int area = 0;
    double sum = 0;
    size_t i = 0;
    for (int x = r.left(); x <= r.right(); ++x) {
        const double *b = column(x);
        for (int j = 0; j < columnHeight; ++j, ++i) {
            if (b[j] > threshold) {
                m_mask.bits[i] = 1;
                ++area;
                sum += b[j];
            }
        }
    }
    const double mean = area > 0 ? sum / area : 0.0;
    SpotMeanSum += mean;

    if (p.Steps) {
        PaintMask();
        if (!host.ConfirmStep(stepText(threshold, maximum, area))) {
            StopRequested = true;
            *stopped = true;
            return;
        }
    }

    TZoneMeasurement measured;
    measured.maximum = maximum;
    measured.threshold = threshold;
    measured.area = area;
    measured.mean = mean;
    measured.rejection = rejectionOf(p, mean, area);

    VT_Point point(-1, -1);
    if (measured.rejection == TZoneMeasurement::Rejection::None) {
        double sumX = 0, sumY = 0, weight = 0;
        i = 0;
        for (int x = r.left(); x <= r.right(); ++x) {
            const double *b = column(x);
            for (int j = 0; j < columnHeight; ++j, ++i) {
                if (!m_mask.bits[i])
                    continue;
                const int y = r.top() + j;
                sumX += x * b[j];
                sumY += y * b[j];
                weight += b[j];
            }
        }
        // Settings that admit an empty or black spot leave no centre of
        // gravity; such a zone records "not found" rather than a division by zero.
        if (weight != 0) {
            point = VT_Point(sumX / weight, sumY / weight);
            host.MarkPoint(int(point.x), int(point.y));
        } else {
            measured.rejection = TZoneMeasurement::Rejection::NoWeight;
        }
    }
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
    const double value = std::trunc(SpotMeanSum / m_zones.size() * m_params.GlobalAverageYPercent);
    // A percentage edited by hand into the settings file may give a value no threshold can hold.
    if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()))
        throw KelvarinError(QStringLiteral("Рекомендуемый порог яркости %1 вне допустимых пределов.")
                                .arg(LocaleFormat::formatGeneral(value)));
    return int(value);
}

#pragma once

#include "BitmapFile.h"
#include "CentreUncertainty.h"
#include "KeyBuffer.h"
#include "SpotLabels.h"
#include "WindowedCentre.h"
#include "ZoneBorder.h"
#include "ZoneKeys.h"
#include "TZoneInfo.h"
#include "TZoneMeasurement.h"

#include <QList>
#include <QRect>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct TParameters;
class TFinderHost;
class TIssueSink;

// The measurement engine: the current image, its brightness raster, the zone
// list, and the detection of the bright indicator spot in every zone.
//
// The raster covers only what detection looks at: the rectangle of every zone
// clipped to the image, read from the file when the image is processed (zones
// that overlap heavily share the rectangle around them all). So a large image
// with a few small zones costs a small part of reading the file.
class TPointFinder
{
public:
    // The mask of the last zone binarised: a rectangle of the image (empty when
    // the zone covers no pixel) and its bits column by column.
    struct SpotMask
    {
        QRect rect;
        std::vector<quint8> bits; // bits[(x - left) * height + (y - top)]
    };

    TPointFinder(const TParameters &params, TFinderHost *host, TIssueSink *reporter);

    // Loads an image for viewing or processing; an empty name does nothing.
    // Throws KelvarinError when the file is no readable bitmap, leaving the
    // previous image, size and path as they were.
    void LoadImage(const QString &fileName, bool show);
    // Prepares the raster of the current image: brightness of every zone's
    // clipped rectangle, read before any zone is touched.
    void AllocateRaster();
    void FillBrightness();
    // Has the view show the current mask (step-by-step mode).
    void PaintMask();

    // Replaces the zone list from a zone file; reports "Ошибка чтения файла
    // координат зон!" and keeps the zones before a bad line. An empty name
    // gives an empty list and false without a message.
    bool ReadZoneFile(const QString &fileName);
    // Why the last ReadZoneFile failed, naming the file; empty when it did not.
    const QString &zoneFileError() const { return m_zoneFileError; }
    // Writes the zone list (first points as origins); throws KelvarinError
    // "Ошибка сохранения файла зон!" when the file cannot be written.
    void WriteZoneFile(const QString &fileName) const;

    // Detection on one image: one point per zone, (-1, -1) when none passed.
    void ProcessImage(const QString &path);

    // Makes an image opened (and shown) elsewhere the current one, as LoadImage
    // does but without the view's hooks: the window shows the images of a run
    // measured by several jobs itself.
    void setImage(BitmapFile image, const QString &path);

    // Takes over what another finder measured on one image (runs with several
    // jobs): each zone's point, the image's measurements as the last ones and
    // its spot means, added in zone order as detection adds them.
    void adoptImage(const QString &path, const QList<TZoneMeasurement> &measured);

    // How images are opened: by default BitmapFile::open on the path. A run
    // over archives installs one that also opens "archive.zip:entry" names.
    using ImageOpener = std::function<void(BitmapFile &, const QString &)>;
    void setImageOpener(ImageOpener opener) { m_opener = std::move(opener); }
    const ImageOpener &imageOpener() const { return m_opener; }

    // trunc(SpotMeanSum / number of zones x GlobalAverageYPercent); throws
    // KelvarinError when there are no zones.
    int RecommendThreshold() const;

    QList<TZoneInfo> &zones() { return m_zones; }
    const QList<TZoneInfo> &zones() const { return m_zones; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    const QString &currentImagePath() const { return m_imagePath; }
    // The loaded image file, for the view to decode and show.
    BitmapFile &image() { return m_image; }
    const SpotMask &mask() const;
    // The details of the last processed image, one per zone in zone order.
    const QList<TZoneMeasurement> &lastMeasurements() const { return m_measurements; }

    bool StopRequested = false;
    double SpotMeanSum = 0;

private:
    TFinderHost &host() const;
    // A zone's pixels as keys of the image (see BitmapFile::KeyTable), row by
    // row: the key of (x, y) is keys[(y - top) * rowStride + (x - left)].
    struct ZoneRaster
    {
        QRect rect; // clipped to the image; empty when the zone covers no pixel
        const quint16 *keys = nullptr;
        qsizetype rowStride = 0;
        // The largest key of every row and column, when the reader found them.
        const quint16 *rowMax = nullptr;
        const quint16 *columnMax = nullptr;
    };
    // What one sweep over a zone's spot sums, in the one fixed order.
    struct SpotSums
    {
        int area = 0;
        double sum = 0;                  // brightness of the spot pixels
        double sumX = 0, sumY = 0, weight = 0; // the centre's weighted sums
        CentreUncertainty::Moments moments;    // what the centre's uncertainty needs
    };
    // What each key is to a zone's sweep (see classify).
    enum KeyClass : quint8 { SpotKey = 1, BandKey = 2, TopKey = 4, SaturatedKey = 8, NearSpotKey = 16 };
    // The class of every key (see KeyTable: 766 keys, or 65536 for 16-bit pictures).
    using KeyClasses = std::vector<quint8>;

    QRect clippedRect(const TZoneInfo &zone) const;
    void detectZone(TZoneInfo &zone, const ZoneRaster &raster, bool keepMask, bool *stop);
    double maximumOf(const ZoneRaster &raster) const;
    ZoneKeys keysOf(const ZoneRaster &raster) const;
    void classify(KeyClasses &classes, double threshold, double maximum, double noise, double spotsLevel) const;
    double spotsLevelFor(double threshold) const;
    QRect sweepArea(const ZoneRaster &raster, const KeyClasses &classes, quint8 mask);
    int firstKeyOf(const KeyClasses &classes, quint8 mask) const;
    QRect areaFrom(const ZoneRaster &raster, int firstKey);
    int labelSpots(const ZoneRaster &raster, const KeyClasses &classes, double threshold, double spotsLevel);
    SpotSums sweepSpot(const ZoneRaster &raster, const KeyClasses &classes, double offset, bool connected);
    VT_Point centreOf(const ZoneRaster &raster, const SpotSums &s, TZoneMeasurement &measured);
    void refineCentre(const ZoneRaster &raster, const SpotSums &s, VT_Point &point, TZoneMeasurement &measured);
    QRect spotBounds(const ZoneRaster &raster, quint16 firstSpotKey);
    static QRect spotBoundsByMaxima(const ZoneRaster &raster, quint16 firstSpotKey);
    void keepMaskOf(const ZoneRaster &raster, double threshold);
    static QString stepText(double threshold, double maximum, int area);
    static TZoneMeasurement::Rejection rejectionOf(const TParameters &p, double mean, int area);

    const TParameters &m_params;
    TFinderHost *m_host;
    TIssueSink *m_reporter;

    BitmapFile m_image;
    QString m_imagePath;
    int m_width = 0;
    int m_height = 0;

    std::vector<ZoneRaster> m_rasters;
    KeyBuffer m_keys; // what the zone rasters point into
    std::vector<quint16> m_maxima;     // the rasters' row and column maxima
    BitmapFile::KeyTable m_table;
    std::vector<quint8> m_columnHasSpot; // scratch of spotBounds
    double m_topBrightness = 0;          // the image's largest brightness: a saturated pixel
    // The refinements' scratch, kept between zones.
    ZoneBorder::Scratch m_borderScratch;
    KeyClasses m_classes;
    ZoneBorder m_border;
    SpotLabels m_labels;
    WindowedCentre m_window;
    // The mask is made when asked for, from the raster it was kept for (only
    // the window looks at it, and it would cost a pass over every last zone).
    mutable SpotMask m_mask;
    mutable std::optional<std::pair<ZoneRaster, double>> m_maskToMake; // raster, threshold
    QList<TZoneInfo> m_zones;
    QString m_zoneFileError;
    QList<TZoneMeasurement> m_measurements;
    ImageOpener m_opener;
};

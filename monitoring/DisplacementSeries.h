#pragma once

#include "Displacement.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// The displacement of a run's zones laid out for drawing: the images in the
// order they were measured, and for every zone its raw and corrected values
// per image (NaN where the image has none). Rows can be added image by image
// while a watch runs; each image is corrected by its own reference zones.
class DisplacementSeries
{
public:
    enum class XAxis { Time, Number };

    struct Image
    {
        int number = 0;
        QString name;
        QDateTime time;
        double timeMs = 0; // milliseconds since the epoch, what a time axis plots
    };

    void setSettings(const MonitoringSettings &settings);
    const MonitoringSettings &settings() const { return m_settings; }
    void clear();
    // Rows of whole images, in any order of zones; an image already held is replaced.
    void addRows(const QList<TJournalRow> &rows);

    int imageCount() const { return int(m_images.size()); }
    const Image &image(int index) const { return m_images.at(index); }
    QList<int> zones() const;   // ascending
    bool inMillimetres(int zone) const { return m_settings.inMillimetres(zone); }

    // The x values of every image for the axis (image time or number), ascending,
    // with the image index of each; images are sorted by time for the time axis.
    void axis(XAxis kind, QList<double> *xs, QList<int> *order) const;
    // A zone's values in the order of `order`, NaN where there is none.
    QList<double> values(int zone, DisplacementComponent component, bool corrected, const QList<int> &order) const;
    // One value, false when the image has none.
    bool value(int zone, int image, DisplacementComponent component, bool corrected, double *result) const;

private:
    // What a zone keeps per image: a series of 100,000 images of 16 zones
    // stays within some tens of megabytes.
    struct Value
    {
        double dx = 0;
        double dy = 0;
        double dxCorrected = 0;
        double dyCorrected = 0;
        bool valid = false;
        bool hasCorrected = false;
    };
    struct ImageShift
    {
        double dx = 0;
        double dy = 0;
        int count = 0;
    };
    struct ZoneValues
    {
        QList<Value> values; // by image index
    };
    int imageIndex(const TJournalRow &row);
    static bool valueOf(const Value &v, double pixelSize, DisplacementComponent component, bool corrected,
                        double *result);
    void store(const QList<TJournalRow> &rows);
    QList<TJournalRow> rawRows() const;

    MonitoringSettings m_settings;
    QList<Image> m_images;
    QHash<int, int> m_imageOfNumber;
    QHash<int, ZoneValues> m_zones;
};

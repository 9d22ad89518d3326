#pragma once

#include "Displacement.h"
#include "MonitoringSettings.h"
#include "TJournalDisplacements.h"
#include "TRecordedImage.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// The displacement of a run's zones laid out for drawing: the images in the
// order they were measured, and for every zone its raw and corrected values
// per image (NaN where the image has none), in contiguous arrays. Images can be
// added one by one while a watch runs; each image is corrected by its own
// reference zones, so adding one leaves the values of the others as they are.
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
    // An image just measured; an image already held is replaced.
    void addImage(const TRecordedImage &image);
    // A run read from the journal, or images to add; an image already held is replaced.
    void addDisplacements(TJournalDisplacements displacements);

    int imageCount() const { return int(m_images.size()); }
    const Image &image(int index) const { return m_images.at(index); }
    QList<int> zones() const;   // ascending
    bool inMillimetres(int zone) const { return m_settings.inMillimetres(zone); }
    // Changes whenever a value held may have changed (an image replaced, other
    // settings, cleared); adding new images alone leaves it.
    quint64 revision() const { return m_revision; }

    // The x values of every image for the axis (image time or number), ascending,
    // with the image index of each; images are sorted by time for the time axis.
    void axis(XAxis kind, QList<double> *xs, QList<int> *order) const;
    // The x value of one image for the axis.
    double axisValue(XAxis kind, int image) const;
    // A zone's values in the order of `order`, NaN where there is none.
    QList<double> values(int zone, DisplacementComponent component, bool corrected, const QList<int> &order) const;
    // One value, false when the image has none.
    bool value(int zone, int image, DisplacementComponent component, bool corrected, double *result) const;
    // The standard uncertainty of a value in the zone's unit: the point's sx,
    // sy scaled as its displacement is, carried through the magnitude's
    // formula for the magnitude (the reference zones' own share is not
    // added: it is a lower bound, as sx, sy are). False where there is none.
    bool uncertainty(int zone, int image, DisplacementComponent component, bool corrected, double *result) const;
    // A zone's uncertainties in the order of `order`, NaN where there is none.
    QList<double> uncertainties(int zone, DisplacementComponent component, bool corrected,
                                const QList<int> &order) const;
    // The spots above the threshold the zone held in the image; -1 where not known.
    int spots(int zone, int image) const;

private:
    // A zone's values by image index, NaN where the image has none, as the
    // journal has them; a corrected value is the raw one minus its image's shift.
    struct ZoneValues
    {
        QList<double> dx;
        QList<double> dy;
        QList<float> sx; // pixels, NaN where none
        QList<float> sy;
        QList<qint16> spots;
    };
    bool correcting() const { return !m_settings.referenceZones.isEmpty(); }
    int imageIndex(TJournalDisplacements::Image &&image);
    void correct(int from);
    void sizeZones();

    MonitoringSettings m_settings;
    QList<Image> m_images;
    QHash<int, int> m_imageOfNumber;
    QHash<int, ZoneValues> m_zones;
    // Per image, while reference zones are set: the mean displacement of its
    // usable reference zones, NaN where none was usable.
    QList<double> m_shiftX;
    QList<double> m_shiftY;
    quint64 m_revision = 0;
};

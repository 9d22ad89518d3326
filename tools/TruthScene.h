#pragma once

#include "BmpWriter.h"
#include "TZoneInfo.h"

#include <QList>
#include <QPointF>
#include <QString>

// A scene of light targets whose true centres are known to the sub-pixel, for
// measuring the accuracy of detection: soft-edged discs of several radii and
// brightnesses on a noisy, slightly uneven background, each moving by a known
// sub-pixel step from image to image. Images are grey (B = G = R), so a pixel's
// brightness is exactly its grey level.
class TruthScene
{
public:
    struct Target
    {
        QPointF centre; // true centre in the first image
        QPointF step;   // true movement per image
        double radius;  // where the edge is half way between background and peak
        double peak;
    };

    TruthScene(int width, int height, int targetCount, quint32 seed);

    BmpWriter::Image image(int index) const;
    // The true centre of a target in an image.
    QPointF centre(int index, int target) const;
    // One zone per target, large enough for its whole travel over `images`.
    QList<TZoneInfo> zones(int images) const;
    // The truth file: a line "image<TAB>zone<TAB>x<TAB>y" (zone 1-based, six
    // decimals, always ".") per target of every image, names as given.
    QByteArray truthFile(const QStringList &imageNames) const;

    const QList<Target> &targets() const { return m_targets; }

    // Width of a target's soft edge in pixels.
    static constexpr double EdgeWidth = 4.0;

private:
    double background(double x, double y) const;

    int m_width;
    int m_height;
    quint32 m_seed;
    QList<Target> m_targets;
};

#pragma once

#include "BmpWriter.h"
#include "TZoneInfo.h"

#include <QList>
#include <QPointF>
#include <QString>

// A synthetic camera scene: light targets on a noisy, unevenly lit background,
// drifting slowly from image to image as targets on a structure do. Used for
// the bundled sample data and for benchmarks.
class SampleScene
{
public:
    struct Target
    {
        QPointF centre; // in the first image
        QPointF drift;  // per image
        double radius;  // where brightness falls to 3/4 of the peak
        double peak;
    };

    SampleScene(int width, int height, int targetCount, quint32 seed);

    // The image of the series at `index`; 8-bit images get a grey palette.
    BmpWriter::Image image(int index, int bitsPerPixel) const;

    // One zone per target, `margin` pixels around it; origins at the first
    // image's centres when `withOrigins`.
    QList<TZoneInfo> zones(int margin, bool withOrigins) const;

    // Dims one target in one image so that its spot fails the brightness filter.
    void dimTarget(int image, int target) { m_dimmed << qMakePair(image, target); }

    const QList<Target> &targets() const { return m_targets; }

private:
    double brightness(int index, double x, double y, quint32 noise) const;

    int m_width;
    int m_height;
    quint32 m_seed;
    QList<Target> m_targets;
    QList<QPair<int, int>> m_dimmed;
};

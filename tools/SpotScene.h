#pragma once

#include "BmpWriter.h"
#include "TZoneInfo.h"

#include <QPointF>
#include <QString>

// A small grey image of one light target at a known sub-pixel centre, for
// measuring how exactly detection finds it: a Gaussian or a flat disc, each
// pixel holding the profile's mean over its area (as a sensor integrates),
// on a background with an optional slope, with Gaussian noise, clipped at 255
// (a saturated core), and optionally a second, fainter target beside it.
class SpotScene
{
public:
    enum class Shape { Gaussian, Disc };
    struct Setup
    {
        QString name;
        Shape shape = Shape::Gaussian;
        double size = 2;        // the Gaussian's deviation or the disc's radius, pixels
        double amplitude = 200; // above the background
        double background = 20;
        double slope = 0;       // background levels per pixel, along x and y
        double snr = 0;         // amplitude over the noise's deviation; 0 = no noise
        bool second = false;    // a second target of 0.8 the amplitude 18 px away
    };

    static constexpr int ImageSize = 96;
    static constexpr double SecondBrightness = 0.8;
    static constexpr double SecondDistance = 18;

    explicit SpotScene(const Setup &setup) : m_setup(setup) {}

    // The target at `centre`, noise drawn from `seed`.
    BmpWriter::Image image(QPointF centre, quint32 seed) const;
    // The zone: the image less a margin of 4 pixels.
    static TZoneInfo zone();
    const Setup &setup() const { return m_setup; }

private:
    double target(double x, double y, QPointF centre) const;
    double gaussian(double x, double y, QPointF centre) const;
    double disc(double x, double y, QPointF centre) const;

    Setup m_setup;
};

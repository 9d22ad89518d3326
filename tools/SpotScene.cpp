#include "SpotScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

// The Gaussian of peak 1 averaged over the pixel: separable, each factor the
// difference of two error functions.
double SpotScene::gaussian(double x, double y, QPointF centre) const
{
    const double s = m_setup.size * std::numbers::sqrt2;
    auto mean = [&](double p, double c) {
        return (std::erf((p + 0.5 - c) / s) - std::erf((p - 0.5 - c) / s)) * s * std::sqrt(std::numbers::pi) / 2;
    };
    return mean(x, centre.x()) * mean(y, centre.y());
}

// The disc's share of the pixel: 1 or 0 away from its edge, counted on a
// 16 x 16 grid of the pixel near it.
double SpotScene::disc(double x, double y, QPointF centre) const
{
    const double r = std::hypot(x - centre.x(), y - centre.y()), radius = m_setup.size;
    if (r < radius - 0.75)
        return 1;
    if (r > radius + 0.75)
        return 0;
    int inside = 0;
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            const double sx = x - 0.5 + (i + 0.5) / 16, sy = y - 0.5 + (j + 0.5) / 16;
            inside += std::hypot(sx - centre.x(), sy - centre.y()) < radius;
        }
    }
    return inside / 256.0;
}

double SpotScene::target(double x, double y, QPointF centre) const
{
    return m_setup.shape == Shape::Gaussian ? gaussian(x, y, centre) : disc(x, y, centre);
}

BmpWriter::Image SpotScene::image(QPointF centre, quint32 seed) const
{
    BmpWriter::Image image;
    image.width = image.height = ImageSize;
    image.bitsPerPixel = 8;
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    // The second target 18 px away at 30 degrees from the x axis.
    const QPointF second = centre + QPointF(SecondDistance * std::cos(std::numbers::pi / 6),
                                            SecondDistance * std::sin(std::numbers::pi / 6));
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, m_setup.snr > 0 ? m_setup.amplitude / m_setup.snr : 1.0);
    const double middle = ImageSize / 2.0;
    for (int y = 0; y < ImageSize; ++y) {
        for (int x = 0; x < ImageSize; ++x) {
            double level = m_setup.background + m_setup.slope * (x - middle + y - middle);
            level += m_setup.amplitude * target(x, y, centre);
            if (m_setup.second)
                level += SecondBrightness * m_setup.amplitude * target(x, y, second);
            if (m_setup.snr > 0)
                level += noise(random);
            image.pixels << quint32(std::clamp(std::lround(level), 0L, 255L));
        }
    }
    return image;
}

TZoneInfo SpotScene::zone()
{
    return TZoneInfo(4, 4, ImageSize - 5, ImageSize - 5);
}

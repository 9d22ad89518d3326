#include "SampleScene.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

static double uniform(QRandomGenerator &random, double low, double high)
{
    return low + random.bounded(high - low);
}

SampleScene::SampleScene(int width, int height, int targetCount, quint32 seed)
    : m_width(width), m_height(height), m_seed(seed)
{
    QRandomGenerator random(seed);
    // Targets on a regular grid, as they sit along a bridge or a dam crest.
    const int columns = int(std::ceil(std::sqrt(targetCount * double(width) / height)));
    const int rows = (targetCount + columns - 1) / columns;
    for (int i = 0; i < targetCount; ++i) {
        const double cx = (i % columns + 0.5) * width / columns + uniform(random, -8.0, 8.0);
        const double cy = (i / columns + 0.5) * height / rows + uniform(random, -8.0, 8.0);
        m_targets << Target{QPointF(cx, cy), QPointF(uniform(random, -0.4, 0.4), uniform(random, -0.3, 0.5)),
                            22.0 + random.bounded(6.0), 235.0 + random.bounded(15.0)};
    }
}

double SampleScene::brightness(int index, double x, double y, quint32 noise) const
{
    // Uneven daylight and sensor noise.
    double value = 28.0 + 18.0 * x / m_width + 10.0 * std::sin(y / m_height * 3.1) + (noise % 9) - 4.0;
    for (int t = 0; t < m_targets.size(); ++t) {
        const Target &target = m_targets.at(t);
        const QPointF c = target.centre + target.drift * index;
        const double dx = x - c.x(), dy = y - c.y();
        const double r2 = dx * dx + dy * dy;
        if (r2 > 9.0 * target.radius * target.radius)
            continue;
        // exp(-(r/R)^2 ln 4/3) is 3/4 of the peak at r = R: the spot's edge.
        double peak = target.peak;
        if (m_dimmed.contains(qMakePair(index, t)))
            peak = 170.0;
        value = std::max(value, peak * std::exp(-r2 / (target.radius * target.radius) * std::log(4.0 / 3.0)));
    }
    return std::clamp(value, 0.0, 255.0);
}

BmpWriter::Image SampleScene::image(int index, int bitsPerPixel) const
{
    BmpWriter::Image image;
    image.width = m_width;
    image.height = m_height;
    image.bitsPerPixel = bitsPerPixel;
    image.pixels.resize(qsizetype(m_width) * m_height);
    QRandomGenerator noise(m_seed * 7919u + quint32(index));
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int grey = int(brightness(index, x, y, noise.generate()));
            // A slightly warm tint in colour images; grey levels in 8-bit ones.
            image.pixels[qsizetype(y) * m_width + x] = bitsPerPixel == 8
                ? quint32(grey)
                : quint32(std::min(255, grey + 4)) << 16 | quint32(grey) << 8 | quint32(std::max(0, grey - 4));
        }
    }
    if (bitsPerPixel == 8) {
        for (quint32 g = 0; g < 256; ++g)
            image.palette << (g << 16 | g << 8 | g);
    }
    return image;
}

QList<TZoneInfo> SampleScene::zones(int margin, bool withOrigins) const
{
    QList<TZoneInfo> zones;
    for (const Target &t : m_targets) {
        const int x = int(t.centre.x()), y = int(t.centre.y());
        zones << TZoneInfo(x - margin, y - margin, x + margin, y + margin,
                           withOrigins ? t.centre.x() : -1, withOrigins ? t.centre.y() : -1);
    }
    return zones;
}

#include "TruthScene.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <numbers>

static double uniform(QRandomGenerator &random, double low, double high)
{
    return low + random.bounded(high - low);
}

TruthScene::TruthScene(int width, int height, int targetCount, quint32 seed)
    : m_width(width), m_height(height), m_seed(seed)
{
    QRandomGenerator random(seed);
    const int columns = int(std::ceil(std::sqrt(targetCount * double(width) / height)));
    const int rows = (targetCount + columns - 1) / columns;
    for (int i = 0; i < targetCount; ++i) {
        const double cx = (i % columns + 0.5) * width / columns + uniform(random, -20.0, 20.0);
        const double cy = (i / columns + 0.5) * height / rows + uniform(random, -20.0, 20.0);
        // Steps that are no simple fraction of a pixel, so the sub-pixel phase
        // of every target walks through its whole range over a series.
        const QPointF step(uniform(random, -0.35, 0.35), uniform(random, -0.35, 0.35));
        m_targets << Target{QPointF(cx, cy), step, uniform(random, 21.0, 25.0), uniform(random, 170.0, 245.0)};
    }
}

double TruthScene::background(double x, double y) const
{
    return 30.0 + 20.0 * x / m_width + 8.0 * std::sin(y / m_height * 2.7);
}

QPointF TruthScene::centre(int index, int target) const
{
    const Target &t = m_targets.at(target);
    return t.centre + t.step * index;
}

BmpWriter::Image TruthScene::image(int index) const
{
    BmpWriter::Image image;
    image.width = m_width;
    image.height = m_height;
    image.bitsPerPixel = 24;
    std::vector<double> level(size_t(m_width) * size_t(m_height));
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            level[size_t(y) * size_t(m_width) + size_t(x)] = background(x, y);
    // Each disc: its peak inside, a raised-cosine edge EdgeWidth wide centred on
    // the radius, over the background. Pixels are sampled at their centres.
    for (int t = 0; t < m_targets.size(); ++t) {
        const Target &target = m_targets.at(t);
        const QPointF c = centre(index, t);
        const double outer = target.radius + EdgeWidth / 2;
        const int x1 = std::max(0, int(std::floor(c.x() - outer))), x2 = std::min(m_width - 1, int(std::ceil(c.x() + outer)));
        const int y1 = std::max(0, int(std::floor(c.y() - outer))), y2 = std::min(m_height - 1, int(std::ceil(c.y() + outer)));
        for (int y = y1; y <= y2; ++y) {
            for (int x = x1; x <= x2; ++x) {
                const double r = std::hypot(x - c.x(), y - c.y());
                const double u = std::clamp((r - target.radius) / EdgeWidth, -0.5, 0.5);
                const double cover = 0.5 - 0.5 * std::sin(std::numbers::pi * u);
                double &v = level[size_t(y) * size_t(m_width) + size_t(x)];
                v = v + (target.peak - v) * cover;
            }
        }
    }
    QRandomGenerator noise(m_seed * 7919u + quint32(index));
    image.pixels.resize(qsizetype(level.size()));
    for (size_t i = 0; i < level.size(); ++i) {
        // Sensor noise of about 2 levels (sum of two uniforms) and rounding.
        const double n = noise.bounded(4.0) + noise.bounded(4.0) - 4.0;
        const quint32 grey = quint32(std::clamp(std::lround(level[i] + n), 0L, 255L));
        image.pixels[qsizetype(i)] = grey << 16 | grey << 8 | grey;
    }
    return image;
}

QList<TZoneInfo> TruthScene::zones(int images) const
{
    QList<TZoneInfo> zones;
    for (int t = 0; t < m_targets.size(); ++t) {
        const QPointF first = centre(0, t), last = centre(std::max(0, images - 1), t);
        const double margin = m_targets.at(t).radius + EdgeWidth + 8;
        zones << TZoneInfo(int(std::floor(std::min(first.x(), last.x()) - margin)),
                           int(std::floor(std::min(first.y(), last.y()) - margin)),
                           int(std::ceil(std::max(first.x(), last.x()) + margin)),
                           int(std::ceil(std::max(first.y(), last.y()) + margin)), first.x(), first.y());
    }
    return zones;
}

QByteArray TruthScene::truthFile(const QStringList &imageNames) const
{
    QByteArray text;
    for (int i = 0; i < imageNames.size(); ++i) {
        for (int t = 0; t < m_targets.size(); ++t) {
            const QPointF c = centre(i, t);
            text += imageNames.at(i).toUtf8() + '\t' + QByteArray::number(t + 1) + '\t'
                + QByteArray::number(c.x(), 'f', 6) + '\t' + QByteArray::number(c.y(), 'f', 6) + '\n';
        }
    }
    return text;
}

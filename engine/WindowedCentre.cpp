#include "WindowedCentre.h"

#include "SpotLabels.h"
#include "ZoneBorder.h"

#include <algorithm>
#include <cmath>

void WindowedCentre::setZone(const ZoneKeys &zone, const ZoneBorder &background, const SpotLabels *labels)
{
    m_zone = zone;
    m_background = background;
    m_labels = labels;
}


// Only the pixels the window can reach are taken; row by row, the plane's
// level stepping along each row.
void WindowedCentre::loadPatch(const QRect &rect)
{
    m_rect = rect & m_zone.rect;
    const int width = m_rect.width();
    m_values.resize(size_t(width) * size_t(m_rect.height()));
    float *out = m_values.data();
    for (int y = m_rect.top(); y <= m_rect.bottom(); ++y, out += width) {
        const quint16 *keys = &m_zone.keys[qsizetype(y - m_zone.rect.top()) * m_zone.rowStride + (m_rect.left() - m_zone.rect.left())];
        const double first = m_background.at(m_rect.left(), y), tilt = m_background.tiltX;
        for (int i = 0; i < width; ++i)
            out[i] = float(m_zone.brightness[keys[i]] - (first + tilt * i));
        if (!m_labels)
            continue;
        for (int i = 0; i < width; ++i)
            if (m_labels->isOther(m_rect.left() + i, y))
                out[i] = 0;
    }
}

// Light summed in rings a quarter pixel wide, each pixel counted at its
// centre's distance; the radius where the running sum reaches half the total
// is interpolated within its ring. A large spot is sampled on a coarser grid
// (a sixteenth of the reach apart): the window's width need not be exact,
// only near the spot's.
double WindowedCentre::halfLightRadius(double cx, double cy, double limit) const
{
    const QRect &zone = m_rect;
    if (zone.isEmpty())
        return 0;
    const double reach =
        std::min({limit, cx - zone.left() + 0.5, zone.right() - cx + 0.5, cy - zone.top() + 0.5, zone.bottom() - cy + 0.5});
    if (reach < 1)
        return 0;
    constexpr double ring = 0.25;
    const int stride = std::max(1, int(reach / 16));
    std::vector<double> rings(size_t(reach / ring) + 1, 0.0);
    // The grid goes through the pixel nearest the centre.
    const int nx = int(std::lround(cx)), ny = int(std::lround(cy)), span = int(reach) / stride * stride;
    double total = 0;
    for (int y = std::max(zone.top(), ny - span); y <= std::min(zone.bottom(), ny + span); y += stride) {
        if ((y - ny) % stride != 0)
            continue;
        const double dy2 = (y - cy) * (y - cy);
        for (int x = nx - span; x <= std::min(zone.right(), nx + span); x += stride) {
            if (x < zone.left())
                continue;
            const double r = std::sqrt((x - cx) * (x - cx) + dy2);
            if (r < reach) {
                const double v = value(x, y);
                rings[size_t(r / ring)] += v;
                total += v;
            }
        }
    }
    if (!(total > 0))
        return 0;
    double sum = 0;
    for (size_t i = 0; i < rings.size(); ++i) {
        if (sum + rings[i] >= total / 2)
            return (double(i) + (total / 2 - sum) / rings[i]) * ring;
        sum += rings[i];
    }
    return reach;
}

QRect WindowedCentre::around(double x, double y, int margin)
{
    return QRect(QPoint(int(x) - margin, int(y) - margin), QPoint(int(x) + margin, int(y) + margin));
}

// Four deviations of the window each way hold all but 3e-4 of its weight.
QRect WindowedCentre::windowRect(double x, double y, double sigma) const
{
    const QRect around(QPoint(int(std::floor(x - 4 * sigma)), int(std::floor(y - 4 * sigma))),
                       QPoint(int(std::ceil(x + 4 * sigma)), int(std::ceil(y + 4 * sigma))));
    return around & m_rect;
}

// The window is separable, so a row's sums take the x weights and the rows
// are combined with the y weights: one exponential per column and per row.
WindowedCentre::Moments WindowedCentre::moments(double x, double y, double sigma)
{
    Moments m;
    const QRect w = windowRect(x, y, sigma);
    if (w.isEmpty())
        return m;
    const double scale = -1 / (2 * sigma * sigma);
    m_gx.resize(size_t(w.width()));
    for (int i = 0; i < w.width(); ++i)
        m_gx[size_t(i)] = std::exp(scale * (w.left() + i - x) * (w.left() + i - x));
    for (int row = w.top(); row <= w.bottom(); ++row) {
        const float *v = &m_values[size_t(row - m_rect.top()) * size_t(m_rect.width()) + size_t(w.left() - m_rect.left())];
        double r0 = 0, r1 = 0, r2 = 0;
        for (int i = 0; i < w.width(); ++i) {
            const double dx = w.left() + i - x;
            const double g = m_gx[size_t(i)] * double(v[i]);
            r0 += g;
            r1 += g * dx;
            r2 += g * dx * dx;
        }
        const double dy = row - y;
        const double gy = std::exp(scale * dy * dy);
        m.s += gy * r0;
        m.sx += gy * r1;
        m.sxx += gy * r2;
        m.sy += gy * r0 * dy;
        m.syy += gy * r0 * dy * dy;
    }
    return m;
}

// Newton's method on the window-weighted first moment F(x) = Σ w v (x_i − x),
// whose slope is −Σ w v (1 − (x_i − x)²/σ²). Where that slope is unclear (a
// flat top filling the window) the step of a matched Gaussian, 2F/Σ w v.
WindowedCentre::Result WindowedCentre::refine(double x0, double y0, double reach)
{
    Result result;
    const int reachMargin = int(std::ceil(reach)) + 1;
    loadPatch(around(x0, y0, reachMargin));
    const double halfLight = halfLightRadius(x0, y0, reach);
    if (!(halfLight > 0))
        return result;
    // A Gaussian spot's half-light radius is 1.1774 of its deviation.
    const double sigma = std::max(0.5, halfLight / 1.1774);
    result.window = sigma;
    // The window reaches four deviations around a centre at most two from the start.
    const int margin = int(std::ceil(6 * sigma)) + 1;
    if (margin > reachMargin)
        loadPatch(around(x0, y0, margin));
    double x = x0, y = y0;
    Moments m;
    for (int it = 1; it <= MaxIterations; ++it) {
        m = moments(x, y, sigma);
        if (!(m.s > 0))
            return result;
        const double slopeX = m.s - m.sxx / (sigma * sigma), slopeY = m.s - m.syy / (sigma * sigma);
        const double stepX = slopeX > 0.2 * m.s ? m.sx / slopeX : 2 * m.sx / m.s;
        const double stepY = slopeY > 0.2 * m.s ? m.sy / slopeY : 2 * m.sy / m.s;
        x += stepX;
        y += stepY;
        result.iterations = it;
        if (std::hypot(x - x0, y - y0) > 2 * sigma)
            return result;
        if (std::abs(stepX) < Convergence && std::abs(stepY) < Convergence)
            break;
    }
    result.ok = true;
    result.x = x;
    result.y = y;
    errors(result, m); // the last step was below 0.0005 px: its moments hold
    return result;
}

// Each pixel's noise moves F by w (x_i − x) times it; the centre moves by that
// over F's slope. The window is separable, so Σ w² (x_i − x)² is a product.
// A tilt taken from the border moves F by Σ w (x_i − x)² times its error.
void WindowedCentre::errors(Result &result, const Moments &m) const
{
    const double sigma = result.window;
    const QRect w = windowRect(result.x, result.y, sigma);
    const double scale = -1 / (2 * sigma * sigma);
    double gx = 0, gxx = 0, g2x = 0, g2xx = 0;
    for (int x = w.left(); x <= w.right(); ++x) {
        const double dx = x - result.x, g = std::exp(scale * dx * dx);
        gx += g, gxx += g * dx * dx, g2x += g * g, g2xx += g * g * dx * dx;
    }
    double gy = 0, gyy = 0, g2y = 0, g2yy = 0;
    for (int y = w.top(); y <= w.bottom(); ++y) {
        const double dy = y - result.y, g = std::exp(scale * dy * dy);
        gy += g, gyy += g * dy * dy, g2y += g * g, g2yy += g * g * dy * dy;
    }
    double slopeX = m.s - m.sxx / (sigma * sigma), slopeY = m.s - m.syy / (sigma * sigma);
    if (!(slopeX > 0.2 * m.s))
        slopeX = m.s / 2;
    if (!(slopeY > 0.2 * m.s))
        slopeY = m.s / 2;
    const double noise = m_background.noise;
    const double tiltX = m_background.tiltNoiseX * gxx * gy, tiltY = m_background.tiltNoiseY * gyy * gx;
    result.sx = m.s > 0 ? std::sqrt(noise * noise * g2xx * g2y + tiltX * tiltX) / slopeX : 0;
    result.sy = m.s > 0 ? std::sqrt(noise * noise * g2yy * g2x + tiltY * tiltY) / slopeY : 0;
}

#include "WindowedCentre.h"

#include "SpotLabels.h"
#include "ZoneBorder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void WindowedCentre::setZone(const ZoneKeys &zone, const ZoneBorder &background, const SpotLabels *labels)
{
    m_zone = zone;
    m_background = background;
    m_labels = labels;
    m_rect = QRect(); // the patch is the zone's
}


// Only the pixels the window can reach are taken, less the background's
// level; its tilt is taken off in the window's sums (see moments), which
// leaves one subtraction per pixel here. A pixel in another spot's reach
// (see SpotLabels::inOthersReach) is set to the background's plane.
void WindowedCentre::loadPatch(const QRect &rect)
{
    m_rect = rect & m_zone.rect;
    const int width = m_rect.width();
    m_values.resize(size_t(width) * size_t(m_rect.height()));
    float *out = m_values.data();
    const double level = m_background.level;
    for (int y = m_rect.top(); y <= m_rect.bottom(); ++y, out += width) {
        const quint16 *keys = &m_zone.keys[qsizetype(y - m_zone.rect.top()) * m_zone.rowStride + (m_rect.left() - m_zone.rect.left())];
        for (int i = 0; i < width; ++i)
            out[i] = float(m_zone.brightness[keys[i]] - level);
        if (!m_labels)
            continue;
        for (int i = 0; i < width; ++i) {
            const int x = m_rect.left() + i;
            if (m_labels->inOthersReach(x, y))
                out[i] = float(m_background.at(x, y) - level);
            else if (!m_slopeSources.empty() && !m_labels->isMain(x, y))
                out[i] -= float(othersSlope(x, y));
        }
    }
}

// Another spot's light below the level it was told apart at, on the
// target's side: read off its far side, where the target's light has ended,
// at the point mirrored through its centre (between pixels, interpolated);
// only where that stands clear of the noise.
double WindowedCentre::othersSlope(int x, int y) const
{
    const double reach = OtherReach * m_sigma;
    for (const SpotLabels::Footprint &other : m_slopeSources) {
        const double dx = x - other.x, dy = y - other.y;
        if (dx * dx + dy * dy >= reach * reach)
            continue;
        const double mx = other.x - dx, my = other.y - dy;
        const int left = int(std::floor(mx)), top = int(std::floor(my));
        if (!m_zone.rect.contains(left, top) || !m_zone.rect.contains(left + 1, top + 1))
            return 0;
        const double fx = mx - left, fy = my - top;
        auto excess = [&](int px, int py) { return m_zone.at(px, py) - m_background.at(px, py); };
        const double v = (1 - fy) * ((1 - fx) * excess(left, top) + fx * excess(left + 1, top))
                         + fy * ((1 - fx) * excess(left, top + 1) + fx * excess(left + 1, top + 1));
        return v > 2 * m_background.noise ? v : 0;
    }
    return 0;
}

// The other spots lying beyond their slope's reach from the start: a spot on
// the target's own slope (noise, mostly) has the target's light on its far
// side too, and is left be.
void WindowedCentre::findSlopeSources(double x0, double y0)
{
    m_slopeSources.clear();
    if (!m_labels)
        return;
    const double reach = OtherReach * m_sigma;
    for (const SpotLabels::Footprint &other : m_labels->others())
        if (std::hypot(other.x - x0, other.y - y0) > reach)
            m_slopeSources.push_back(other);
}

// Light summed in rings a quarter pixel wide, each pixel counted at its
// centre's distance; the radii where the running sum reaches half and 99 %
// of the total are interpolated within their rings (with noise the sum may
// cross 99 % more than once: the last crossing counts). The window's width
// need not be exact, only near the spot's: beyond a reach of eight pixels
// the light is sampled at every other pixel, the white squares of a
// chessboard (which keeps the rings round, as a grid of every second row and
// column would not), and beyond sixteen on a coarser grid (an eighth of the
// reach apart).
WindowedCentre::LightRadii WindowedCentre::lightRadii(double cx, double cy, double limit)
{
    const QRect &zone = m_zone.rect;
    if (zone.isEmpty())
        return {};
    const double reach =
        std::min({limit, cx - zone.left() + 0.5, zone.right() - cx + 0.5, cy - zone.top() + 0.5, zone.bottom() - cy + 0.5});
    if (reach < 1)
        return {};
    RingGrid grid{cx, cy, reach, std::max(1, int(reach / 8)), 0, 0, false, 0};
    // One ring more, where the samples beyond the reach go (see addRowLight).
    m_rings.assign(size_t(reach / RingWidth) + 2, 0.0);
    // The grid goes through the pixel nearest the centre.
    const int stride = grid.stride;
    const int nx = int(std::lround(cx)), ny = int(std::lround(cy)), span = int(reach) / stride * stride;
    grid.firstX = nx - (nx - std::max(zone.left(), nx - span)) / stride * stride;
    const int firstY = ny - (ny - std::max(zone.top(), ny - span)) / stride * stride;
    const int lastX = std::min(zone.right(), nx + span), lastY = std::min(zone.bottom(), ny + span);
    grid.columns = (lastX - grid.firstX) / stride + 1;
    grid.quincunx = stride == 1 && reach >= QuincunxReach;
    grid.white = nx + ny;
    m_rowRings.resize(size_t(std::max(0, grid.columns)));
    // The plane's level and tilt along x at each column: a row adds its own.
    m_columnPlane.resize(size_t(std::max(0, grid.columns)));
    for (int i = 0; i < grid.columns; ++i)
        m_columnPlane[size_t(i)] = m_background.level + m_background.tiltX * (grid.firstX + i * stride - m_background.middleX);
    for (int y = firstY; y <= lastY; y += stride)
        addRowLight(y, grid);
    m_rings.pop_back();
    // The total as the rings' sum, in the order radiiOfRings adds them up.
    double total = 0;
    for (const double ring : m_rings)
        total += ring;
    return total > 0 ? radiiOfRings(total, reach) : LightRadii{};
}

// One row of the grid's light into the rings. A row's distances (in single
// precision: they only choose a ring), rings and background come first,
// which the processor computes several at a time; a sample beyond the reach
// goes to the ring past the last, which saves a branch per sample.
void WindowedCentre::addRowLight(int y, const RingGrid &grid)
{
    // Only the columns near the circle of the reach (a pixel to spare).
    const double cx = grid.cx, dy = y - grid.cy, reach = grid.reach, rowReach = reach * reach - dy * dy;
    if (rowReach < -2 * reach - 1)
        return;
    const int stride = grid.stride, firstX = grid.firstX;
    const double half = std::sqrt(std::max(0.0, rowReach)) + 1;
    const int from = int(cx - half) - 1 - firstX, to = int(cx + half) + 1 - firstX;
    const int begin = from <= 0 ? 0 : (from + stride - 1) / stride;
    const int end = to < 0 ? 0 : std::min(grid.columns, to / stride + 1);
    // Locals, which the sums into the rings cannot change.
    int *ringOf = m_rowRings.data();
    const float dy2 = float(dy * dy);
    const int beyond = int(m_rings.size()) - 1;
    for (int i = begin; i < end; ++i) {
        const float dx = float(firstX + i * stride - cx);
        const float distance = std::sqrt(dx * dx + dy2);
        ringOf[i] = distance < reach ? int(distance * float(1 / RingWidth)) : beyond;
    }
    // The plane as its own sum has it, level + tilts, left to right: the
    // results do not depend on the way here.
    const double rowTilt = m_background.tiltY * (y - m_background.middleY);
    const double *brightness = m_zone.brightness, *plane = m_columnPlane.data();
    double *rings = m_rings.data();
    const quint16 *keys = &m_zone.keys[qsizetype(y - m_zone.rect.top()) * m_zone.rowStride + (firstX - m_zone.rect.left())];
    if (m_labels && m_labels->hasOthers()) {
        for (int i = begin; i < end; ++i) {
            if (grid.quincunx && ((firstX + i + y - grid.white) & 1))
                continue;
            if (!m_labels->inOthersReach(firstX + i * stride, y))
                rings[ringOf[i]] += brightness[keys[i * stride]] - (plane[i] + rowTilt);
        }
        return;
    }
    if (grid.quincunx) {
        for (int i = begin + ((firstX + begin + y - grid.white) & 1); i < end; i += 2)
            rings[ringOf[i]] += brightness[keys[i]] - (plane[i] + rowTilt);
        return;
    }
    for (int i = begin; i < end; ++i)
        rings[ringOf[i]] += brightness[keys[i * stride]] - (plane[i] + rowTilt);
}

// The radii where the rings' running sum reaches half and 99 % of `total`.
WindowedCentre::LightRadii WindowedCentre::radiiOfRings(double total, double reach) const
{
    LightRadii radii{reach, reach};
    bool half = false;
    double sum = 0;
    for (size_t i = 0; i < m_rings.size(); ++i) {
        const double before = sum;
        sum += m_rings[i];
        auto crossing = [&](double part) { return (double(i) + (part - before) / m_rings[i]) * RingWidth; };
        if (!half && sum >= total / 2)
            radii.half = crossing(total / 2), half = true;
        if (before < 0.99 * total && sum >= 0.99 * total)
            radii.outer = crossing(0.99 * total);
    }
    return radii;
}

// Two and a half deviations of the window each way hold all but 2.5 % of its
// weight, and far less of what moves the centre where the spot's light has
// ended; three would cost half as much again for a thousandth of a pixel
// less pixel locking.
QRect WindowedCentre::windowRect(double x, double y) const
{
    const double e = m_extent;
    const QRect around(QPoint(int(std::floor(x - e)), int(std::floor(y - e))), QPoint(int(std::ceil(x + e)), int(std::ceil(y + e))));
    return around & m_zone.rect;
}

// The Gaussian at n points one pixel apart, from the first's distance d0
// from the centre: each value is the one before times exp(scale (2d + 1)),
// a ratio that itself grows by exp(2 scale) a step, so two exponentials serve
// the whole row.
void WindowedCentre::gaussianSteps(double d0, double scale, size_t n, double *out)
{
    if (n == 0)
        return;
    double g = std::exp(scale * d0 * d0), ratio = std::exp(scale * (2 * d0 + 1));
    const double growth = std::exp(2 * scale);
    for (size_t i = 0; i < n; ++i, ratio *= growth) {
        out[i] = g;
        g *= ratio;
    }
}

void WindowedCentre::windowWeights(const QRect &w, double x, double y, double sigma)
{
    const double scale = -1 / (2 * sigma * sigma);
    const size_t width = size_t(w.width()), height = size_t(w.height());
    m_gauss.resize(std::max(width, height));
    gaussianSteps(w.left() - x, scale, width, m_gauss.data());
    for (auto &weights : m_gxDx)
        weights.resize(width);
    m_columnSums = {};
    for (size_t i = 0; i < width; ++i) {
        const double dx = w.left() + int(i) - x;
        double g = m_gauss[i];
        for (size_t k = 0; k < m_gxDx.size(); ++k, g *= dx)
            m_gxDx[k][i] = float(g), m_columnSums[k] += g;
        m_columnSums[4] += g;
    }
    m_gy.resize(height);
    gaussianSteps(w.top() - y, scale, height, m_gy.data());
}

// The window is separable, so a row's sums take the x weights and the rows
// are combined with the y weights. A row's three sums run in lanes of four
// floats, vector arithmetic on every x86-64 processor; the order of every
// addition is fixed by this code, so every processor gives the same sums.
WindowedCentre::Moments WindowedCentre::moments(double x, double y, double sigma)
{
    Moments m;
    const QRect w = windowRect(x, y);
    if (w.isEmpty())
        return m;
    // The patch is loaded with a pixel to spare: each edge of the window
    // moves by a pixel at most while the centre moves by less than one,
    // which after the first step it nearly always does.
    if (!m_rect.contains(w))
        loadPatch(w.adjusted(-1, -1, 1, 1));
    windowWeights(w, x, y, sigma);
    const int width = w.width();
    // The patch holds b - level; the plane adds tilt (x - middle) to the
    // level, which at column dx of a row is t_row + tiltX dx, so a row's sum
    // of g dx^k loses t_row G_k + tiltX G_(k+1), with G_k the window's sum of
    // g dx^k along x.
    const double *G = m_columnSums.data(), tiltX = m_background.tiltX;
    const double rowBase = tiltX * (x - m_background.middleX);
    for (int row = w.top(); row <= w.bottom(); ++row) {
        const float *v = &m_values[size_t(row - m_rect.top()) * size_t(m_rect.width()) + size_t(w.left() - m_rect.left())];
        const RowSums r = rowSums(v, width);
        const double t = rowBase + m_background.tiltY * (row - m_background.middleY);
        double k[4];
        for (size_t order = 0; order < 4; ++order)
            k[order] = r.s[order] - t * G[order] - tiltX * G[order + 1];
        const double dy = row - y;
        const double gy = m_gy[size_t(row - w.top())], gyDy = gy * dy, gyDy2 = gyDy * dy;
        m.s += gy * k[0];
        m.sx += gy * k[1];
        m.sxx += gy * k[2];
        m.sxxx += gy * k[3];
        m.sy += gyDy * k[0];
        m.sxy += gyDy * k[1];
        m.sxxy += gyDy * k[2];
        m.syy += gyDy2 * k[0];
        m.sxyy += gyDy2 * k[1];
        m.syyy += gyDy2 * dy * k[0];
    }
    return m;
}

WindowedCentre::RowSums WindowedCentre::rowSums(const float *v, int width) const
{
    using Lanes = float __attribute__((vector_size(16)));
    auto load = [](const float *p) {
        Lanes lanes;
        std::memcpy(&lanes, p, sizeof lanes);
        return lanes;
    };
    const float *g0 = m_gxDx[0].data(), *g1 = m_gxDx[1].data(), *g2 = m_gxDx[2].data(), *g3 = m_gxDx[3].data();
    Lanes a0{}, a1{}, a2{}, a3{};
    int i = 0;
    for (; i + 4 <= width; i += 4) {
        const Lanes values = load(v + i);
        a0 += load(g0 + i) * values;
        a1 += load(g1 + i) * values;
        a2 += load(g2 + i) * values;
        a3 += load(g3 + i) * values;
    }
    for (int lane = 0; i < width; ++i, ++lane) {
        a0[lane] += g0[i] * v[i];
        a1[lane] += g1[i] * v[i];
        a2[lane] += g2[i] * v[i];
        a3[lane] += g3[i] * v[i];
    }
    auto total = [](const Lanes &a) { return double((a[0] + a[1]) + (a[2] + a[3])); };
    return {{total(a0), total(a1), total(a2), total(a3)}};
}

// The zero of the window-weighted first moment F(c) = Σ w(x_i − c) v (x_i − c)
// near c. Moving the window by δ multiplies each weight by
// exp((x_i − c)·δ/σ²) (and all of them by a constant, which leaves the zero
// where it is), so F(c + δ) follows from the moments at c up to the third
// order, to the second order in δ: the step solves that by Newton's method,
// with no further pass over the pixels. The neglected terms move the centre
// by about |δ|³/(4σ²) for a Gaussian spot (more on a coarse pixel grid);
// refine takes a step whose |δ|³/(2σ²) is below 0.0005 px as the centre's.
// Where F's slope is unclear (a flat top filling the window) the step is
// that of a matched Gaussian, 2F/Σ w v, and the passes go on.
WindowedCentre::Step WindowedCentre::stepFrom(const Moments &m, double sigma)
{
    const double s2 = sigma * sigma;
    const double slopeX = m.s - m.sxx / s2, slopeY = m.s - m.syy / s2;
    if (!(slopeX > 0.2 * m.s) || !(slopeY > 0.2 * m.s)) {
        return {slopeX > 0.2 * m.s ? m.sx / slopeX : 2 * m.sx / m.s,
                slopeY > 0.2 * m.s ? m.sy / slopeY : 2 * m.sy / m.s, false};
    }
    // u = δ/σ²; H(u) = F(c + δ) less the constant factor, to the second order.
    double ux = 0, uy = 0;
    for (int i = 0; i < 8; ++i) {
        const double base = m.s + ux * m.sx + uy * m.sy;
        const double hx = m.sx + ux * m.sxx + uy * m.sxy + (ux * ux * m.sxxx + 2 * ux * uy * m.sxxy + uy * uy * m.sxyy) / 2
                          - s2 * ux * base;
        const double hy = m.sy + ux * m.sxy + uy * m.syy + (ux * ux * m.sxxy + 2 * ux * uy * m.sxyy + uy * uy * m.syyy) / 2
                          - s2 * uy * base;
        const double cross = m.sxy + ux * m.sxxy + uy * m.sxyy;
        const double jxx = m.sxx + ux * m.sxxx + uy * m.sxxy - s2 * (base + ux * m.sx);
        const double jyy = m.syy + ux * m.sxyy + uy * m.syyy - s2 * (base + uy * m.sy);
        const double jxy = cross - s2 * ux * m.sy, jyx = cross - s2 * uy * m.sx;
        const double det = jxx * jyy - jxy * jyx;
        if (!(std::abs(det) > 0))
            break;
        const double dx = (hx * jyy - hy * jxy) / det, dy = (hy * jxx - hx * jyx) / det;
        ux -= dx, uy -= dy;
        if (std::max(std::abs(dx), std::abs(dy)) * s2 < 1e-7)
            break;
    }
    return {ux * s2, uy * s2, true};
}

// At most 10 passes over the window, each moving it by the step from its
// moments; done when a step is below 0.0005 px, when the second-order step's
// neglected terms are, or when the last two steps foretell a next one below
// it, and the window still sums the same pixels. Mostly one pass does.
WindowedCentre::Result WindowedCentre::refine(double x0, double y0, double reach)
{
    Result result;
    const LightRadii radii = lightRadii(x0, y0, reach);
    if (!(radii.half > 0))
        return result;
    // A Gaussian spot's half-light radius is 1.1774 of its deviation. A disc
    // holds its light much nearer its half-light radius (99 % within about
    // 1.4 of it, a Gaussian within 2.6): its position shows at its edge, which
    // a window of that deviation would weigh at a quarter of the middle; its
    // window is as wide as its light, nearly flat over the disc.
    double sigma = std::max(0.5, radii.half / 1.1774);
    if (radii.outer < FlatSpot * radii.half)
        sigma = std::max(sigma, radii.outer);
    result.window = sigma;
    // Where the spot's light has ended (a disc's edge) the window sees only
    // the background's noise and what is left of its slope: it ends two
    // pixels beyond the radius holding 99 % of the light, never nearer than
    // 1.5 half-light radii and two pixels (noise can make that radius small).
    m_extent = std::min(WindowReach * sigma, std::max(radii.outer, 1.5 * radii.half) + 2);
    m_sigma = sigma;
    findSlopeSources(x0, y0);
    double x = x0, y = y0;
    double before = 0; // the step before, the larger axis's
    QRect summed, earlier; // the pixels this pass and the one before summed
    Moments m;
    for (int it = 1; it <= MaxIterations; ++it) {
        m = moments(x, y, sigma);
        if (!(m.s > 0))
            return result;
        const Step step = stepFrom(m, sigma);
        earlier = summed;
        summed = windowRect(x, y);
        x += step.x;
        y += step.y;
        result.iterations = it;
        if (std::hypot(x - x0, y - y0) > 2 * sigma)
            return result;
        const double size = std::max(std::abs(step.x), std::abs(step.y));
        // Each of these holds for the pixels summed: a window that has taken
        // in or left out a row or column needs another pass, unless it is
        // back at the pixels of the pass before (the centre lies between two
        // windows, each of which moves it towards the other).
        const bool expanded = step.secondOrder && size * size * size < 2 * Convergence * sigma * sigma;
        const bool foretold = it > 1 && size < before / 2 && size * size / before < Convergence;
        const QRect next = windowRect(x, y);
        if ((size < Convergence || expanded || foretold) && (next == summed || next == earlier))
            break;
        before = size;
    }
    result.ok = true;
    result.x = x;
    result.y = y;
    errors(result, m); // a few thousandths of a pixel from the end at most: its moments hold
    return result;
}

// Each pixel's noise moves F by w (x_i − x) times it; the centre moves by that
// over F's slope. The window is separable, so Σ w² (x_i − x)² is a product.
// A tilt taken from the border moves F by Σ w (x_i − x)² times its error.
void WindowedCentre::errors(Result &result, const Moments &m)
{
    const double sigma = result.window;
    const QRect w = windowRect(result.x, result.y);
    const double scale = -1 / (2 * sigma * sigma);
    std::vector<double> &g = m_gauss;
    g.resize(size_t(std::max(w.width(), w.height())));
    gaussianSteps(w.left() - result.x, scale, size_t(w.width()), g.data());
    double gx = 0, gxx = 0, g2x = 0, g2xx = 0;
    for (int i = 0; i < w.width(); ++i) {
        const double dx = w.left() + i - result.x, v = g[size_t(i)];
        gx += v, gxx += v * dx * dx, g2x += v * v, g2xx += v * v * dx * dx;
    }
    gaussianSteps(w.top() - result.y, scale, size_t(w.height()), g.data());
    double gy = 0, gyy = 0, g2y = 0, g2yy = 0;
    for (int i = 0; i < w.height(); ++i) {
        const double dy = w.top() + i - result.y, v = g[size_t(i)];
        gy += v, gyy += v * dy * dy, g2y += v * v, g2yy += v * v * dy * dy;
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

#include "ZoneBorder.h"

#include <algorithm>
#include <cmath>

// The border walked once around: the top row rightwards, the right column
// down, the bottom row leftwards, the left column up; neighbours along the
// path are neighbours in the image, so their differences hold the noise and
// almost none of a slope. A zone of one or two rows or columns is all border.
ZoneBorder ZoneBorder::measure(const ZoneKeys &zone, std::vector<double> &ring, bool level)
{
    ring.clear();
    const QRect &r = zone.rect;
    if (r.isEmpty())
        return {};
    if (r.width() < 3 || r.height() < 3) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                ring.push_back(zone.at(x, y));
        return ofRing(ring, level);
    }
    for (int x = r.left(); x <= r.right(); ++x)
        ring.push_back(zone.at(x, r.top()));
    for (int y = r.top() + 1; y <= r.bottom(); ++y)
        ring.push_back(zone.at(r.right(), y));
    for (int x = r.right() - 1; x >= r.left(); --x)
        ring.push_back(zone.at(x, r.bottom()));
    for (int y = r.bottom() - 1; y > r.top(); --y)
        ring.push_back(zone.at(r.left(), y));
    ZoneBorder border = ofRing(ring, level);
    border.middleX = (r.left() + r.right()) / 2.0;
    border.middleY = (r.top() + r.bottom()) / 2.0;
    if (level)
        border.fitTilt(zone);
    return border;
}

// The plane a + tx dx + ty dy by least squares over the border pixels within
// four noise deviations of a first plane through the medians of the sides
// (so a spot crossing the border is left out). A tilt within the noise of its
// own estimate is shrunk towards 0 by 1 - (deviation / tilt)²: on a flat
// background a tilt read from noise would only add its noise to what uses it.
void ZoneBorder::fitTilt(const ZoneKeys &zone)
{
    const QRect &r = zone.rect;
    std::vector<double> side;
    auto median = [&](int x1, int y1, int x2, int y2) {
        side.clear();
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                side.push_back(zone.at(x, y));
        std::nth_element(side.begin(), side.begin() + qsizetype(side.size() / 2), side.end());
        return side[side.size() / 2];
    };
    tiltX = (median(r.right(), r.top(), r.right(), r.bottom()) - median(r.left(), r.top(), r.left(), r.bottom())) / (r.width() - 1);
    tiltY = (median(r.left(), r.bottom(), r.right(), r.bottom()) - median(r.left(), r.top(), r.right(), r.top())) / (r.height() - 1);
    const double limit = 4 * noise + 2;
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, sv = 0, svx = 0, svy = 0;
    auto add = [&](int x, int y) {
        const double dx = x - middleX, dy = y - middleY, v = zone.at(x, y) - level;
        if (std::abs(v - tiltX * dx - tiltY * dy) > limit)
            return;
        n += 1, sx += dx, sy += dy, sxx += dx * dx, syy += dy * dy, sxy += dx * dy;
        sv += v, svx += v * dx, svy += v * dy;
    };
    for (int x = r.left(); x <= r.right(); ++x)
        add(x, r.top()), add(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        add(r.left(), y), add(r.right(), y);
    // The normal equations by Cramer's rule.
    const double det = n * (sxx * syy - sxy * sxy) - sx * (sx * syy - sxy * sy) + sy * (sx * sxy - sxx * sy);
    if (!(std::abs(det) > 1e-9)) {
        tiltX = tiltY = 0;
        return;
    }
    tiltX = (n * (svx * syy - sxy * svy) - sv * (sx * syy - sxy * sy) + sy * (sx * svy - svx * sy)) / det;
    tiltY = (n * (sxx * svy - svx * sxy) - sx * (sx * svy - svx * sy) + sv * (sx * sxy - sxx * sy)) / det;
    auto shrink = [&](double squares, double &tilt, double &tiltNoise) {
        tiltNoise = squares > 0 ? noise / std::sqrt(squares) : 0;
        const double keep = tilt != 0 ? std::max(0.0, 1 - tiltNoise * tiltNoise / (tilt * tilt)) : 0.0;
        tilt *= keep;
        tiltNoise *= keep;
    };
    shrink(sxx - sx * sx / n, tiltX, tiltNoiseX);
    shrink(syy - sy * sy / n, tiltY, tiltNoiseY);
}

// The noise from the second differences of neighbours, v[i-1] - 2 v[i] +
// v[i+1], which a steady slope leaves at 0, in two passes: their mean
// absolute value m, then the mean of those below 3 m, which leaves out a spot
// or a bright pixel crossing the border. For Gaussian noise of deviation s a
// second difference has deviation s·√6, m = 0.798 s√6, and the second mean
// is 0.765 s√6 (the share of the half-normal below 2.39 of its deviation).
double ZoneBorder::noiseOf(const std::vector<double> &ring)
{
    const size_t n = ring.size();
    if (n < 3)
        return 0;
    // The ring is closed, except a zone of one row or column, which is a line.
    const bool closed = n > 3;
    const size_t count = closed ? n : n - 2;
    auto difference = [&](size_t i) {
        const size_t before = closed ? (i + n - 1) % n : i, middle = closed ? i : i + 1, after = (middle + 1) % n;
        return std::abs(ring[before] - 2 * ring[middle] + ring[after]);
    };
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += difference(i);
    const double cut = 3 * sum / double(count);
    double kept = 0;
    size_t keptCount = 0;
    for (size_t i = 0; i < count; ++i) {
        const double d = difference(i);
        if (d <= cut)
            kept += d, ++keptCount;
    }
    return keptCount ? kept / double(keptCount) / (0.765 * std::sqrt(6.0)) : 0;
}

// The noise always; the level (the median) and the tilt when asked for.
ZoneBorder ZoneBorder::ofRing(std::vector<double> &ring, bool level)
{
    ZoneBorder border;
    const size_t n = ring.size();
    if (n == 0)
        return border;
    border.noise = noiseOf(ring);
    if (!level)
        return border;
    auto middle = ring.begin() + qsizetype(n / 2);
    std::nth_element(ring.begin(), middle, ring.end());
    border.level = *middle;
    if (n % 2 == 0)
        border.level = (border.level + *std::max_element(ring.begin(), middle)) / 2;
    return border;
}

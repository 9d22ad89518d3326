#include "ZoneBorder.h"

#include <algorithm>
#include <array>
#include <cmath>

ZoneBorder ZoneBorder::measure(const ZoneKeys &zone, Scratch &scratch, Reading reading)
{
    ZoneBorder border;
    const QRect &r = zone.rect;
    if (r.isEmpty())
        return border;
    border.noise = noiseOf(zone, scratch);
    border.middleX = (r.left() + r.right()) / 2.0;
    border.middleY = (r.top() + r.bottom()) / 2.0;
    if (reading == Reading::Noise)
        return border;
    walkBorder(zone, scratch.ring);
    if (reading == Reading::LevelAndTilt && r.width() >= 3 && r.height() >= 3) {
        std::array<double, 4> sides;
        border.level = levelAndSides(zone, scratch, sides);
        border.fitTilt(zone, sides);
        return border;
    }
    scratch.part = scratch.ring;
    border.level = medianOf(zone, scratch.part, scratch, false);
    return border;
}

// The border's median and the upper medians of its sides, in the walk's
// order: top, right, bottom, left, each with its corners. With keys in order
// of brightness and of a narrow range (a background's few dozen levels) all
// five come from one count of each side's keys; otherwise each is selected.
double ZoneBorder::levelAndSides(const ZoneKeys &zone, Scratch &scratch, std::array<double, 4> &sides)
{
    const std::vector<quint16> &ring = scratch.ring;
    const size_t n = ring.size(), w = size_t(zone.rect.width()), h = size_t(zone.rect.height());
    const std::array<size_t, 4> first = {0, w - 1, w + h - 2, 2 * w + h - 3}, length = {w, h, w, h};
    const auto [low, high] = keyRange(ring);
    const size_t range = size_t(high - low) + 1;
    if (!zone.ordered || range > n + 64) {
        for (size_t side = 0; side < 4; ++side) {
            scratch.part.clear();
            for (size_t i = 0; i < length[side]; ++i)
                scratch.part.push_back(ring[(first[side] + i) % n]);
            sides[side] = medianOf(zone, scratch.part, scratch, true);
        }
        scratch.part = ring;
        return medianOf(zone, scratch.part, scratch, false);
    }
    const quint16 base = low;
    scratch.counts.assign(4 * range, 0);
    quint32 *table[4] = {scratch.counts.data(), scratch.counts.data() + range, scratch.counts.data() + 2 * range,
                         scratch.counts.data() + 3 * range};
    for (size_t side = 0; side < 4; ++side) {
        // Only the left side runs past the walk's end, by its last pixel.
        const size_t end = std::min(n, first[side] + length[side]);
        for (size_t i = first[side]; i < end; ++i)
            ++table[side][ring[i] - base];
        if (first[side] + length[side] > n)
            ++table[side][ring[0] - base];
    }
    for (size_t side = 0; side < 4; ++side) {
        const size_t rank = length[side] / 2;
        const auto sideCount = [&](size_t i) { return size_t(table[side][i]); };
        sides[side] = zone.brightness[keysOfRanks(base, rank, rank, sideCount).second];
    }
    // Every corner was counted by both its sides: once is taken back.
    for (size_t side = 0; side < 4; ++side)
        --table[side][ring[first[side]] - base];
    const auto [lower, upper] = keysOfRanks(base, (n - 1) / 2, n / 2, [&](size_t i) {
        return size_t(table[0][i]) + table[1][i] + table[2][i] + table[3][i];
    });
    return (zone.brightness[lower] + zone.brightness[upper]) / 2;
}

// The border's keys walked once around: the top row rightwards, the right
// column down, the bottom row leftwards, the left column up; neighbours along
// the path are neighbours in the image, so their differences hold the noise
// and almost none of a slope. A zone of one or two rows or columns is all
// border.
void ZoneBorder::walkBorder(const ZoneKeys &zone, std::vector<quint16> &ring)
{
    const QRect &r = zone.rect;
    const int w = r.width(), h = r.height();
    const qsizetype stride = zone.rowStride;
    if (w < 3 || h < 3) {
        ring.clear();
        for (int row = 0; row < h; ++row)
            ring.insert(ring.end(), zone.keys + row * stride, zone.keys + row * stride + w);
        return;
    }
    // Sized once and filled by index: this runs for every zone.
    ring.resize(2 * size_t(w) + 2 * size_t(h) - 4);
    quint16 *out = ring.data();
    const quint16 *top = zone.keys, *bottom = zone.keys + (h - 1) * stride;
    out = std::copy(top, top + w, out);
    for (int row = 1; row < h; ++row)
        *out++ = top[row * stride + w - 1];
    for (int i = w - 2; i >= 0; --i)
        *out++ = bottom[i];
    for (int row = h - 2; row > 0; --row)
        *out++ = top[row * stride];
}

// The noise from the second differences of neighbours along each side,
// v[i-1] - 2 v[i] + v[i+1], which a steady slope leaves at 0, in two passes:
// their mean absolute value m, then the mean of those below 3 m, which
// leaves out a spot or a bright pixel crossing the border. For Gaussian noise
// of deviation s a second difference has deviation s·√6, m = 0.798 s√6, and
// the second mean is 0.765 s√6 (the share of the half-normal below 2.39 of
// its deviation). A zone of one or two rows or columns is read as one line.
// Where black cuts the noise off, see noiseAboveBlack.
double ZoneBorder::noiseOf(const ZoneKeys &zone, Scratch &scratch)
{
    const QRect &r = zone.rect;
    const int w = r.width(), h = r.height();
    const double *b = zone.brightness;
    std::vector<double> &d = scratch.values;
    d.clear();
    // Each side's pixels at the lowest key (black, with keys in order).
    std::array<size_t, 4> black{}, counted{};
    auto line = [&](const quint16 *k, qsizetype step, int n, size_t side) {
        if (n < 3)
            return;
        double before = b[k[0]], middle = b[k[step]];
        for (int i = 2; i < n; ++i) {
            const double after = b[k[i * step]];
            d.push_back(std::abs(before - 2 * middle + after));
            black[side] += k[i * step] == 0;
            before = middle, middle = after;
        }
        counted[side] += size_t(n - 2);
    };
    if (w < 3 || h < 3) {
        walkBorder(zone, scratch.ring);
        line(scratch.ring.data(), 1, int(scratch.ring.size()), 0);
    } else {
        const qsizetype stride = zone.rowStride;
        line(zone.keys, 1, w, 0);
        line(zone.keys + (h - 1) * stride, 1, w, 1);
        line(zone.keys, stride, h, 2);
        line(zone.keys + (w - 1), stride, h, 3);
    }
    if (d.empty())
        return 0;
    double sum = 0;
    for (const double v : d)
        sum += v;
    const double cut = 3 * sum / double(d.size());
    double kept = 0;
    size_t keptCount = 0;
    for (const double v : d) {
        if (v <= cut)
            kept += v, ++keptCount;
    }
    const double noise = keptCount ? kept / double(keptCount) / (0.765 * std::sqrt(6.0)) : 0;
    // Black all round the border, not only where a slope goes under it.
    const double blackShare = double(black[0] + black[1] + black[2] + black[3]) / double(d.size());
    bool allRound = zone.ordered && w >= 3 && h >= 3 && blackShare >= MinBlackShare;
    for (size_t side = 0; side < 4 && allRound; ++side)
        allRound = double(black[side]) >= blackShare / 2 * double(counted[side]);
    return allRound ? std::max(noise, noiseAboveBlack(zone, scratch, blackShare)) : noise;
}

// A background so dark that noise reaches black loses the part below it,
// and the differences above see less noise than there is (at a third of the
// pixels black, 0.6 of it). On a level background black is then the noise's
// quantile at the share of the border's pixels that are black, and lies that
// many deviations below the border's median, which black leaves where it was.
double ZoneBorder::noiseAboveBlack(const ZoneKeys &zone, Scratch &scratch, double blackShare)
{
    if (blackShare >= 0.45)
        return 0; // the median itself is nearly black: no way to tell
    walkBorder(zone, scratch.ring);
    scratch.part = scratch.ring;
    const double median = medianOf(zone, scratch.part, scratch, false);
    // The standard normal's quantile at blackShare, by halving (its tail
    // from erfc): a few dozen steps, only for such zones.
    double low = -10, high = 0;
    for (int i = 0; i < 50; ++i) {
        const double z = (low + high) / 2;
        (0.5 * std::erfc(-z / std::sqrt(2.0)) < blackShare ? low : high) = z;
    }
    const double z = (low + high) / 2;
    return (median - zone.brightness[0]) / -z;
}

// The median of the keys' brightness, which reorders them: the mean of the
// two middle values, or with `upper` the upper one. With keys in order of
// brightness the keys themselves are ranked, which is quicker.
double ZoneBorder::medianOf(const ZoneKeys &zone, std::vector<quint16> &keys, Scratch &scratch, bool upper)
{
    const size_t n = keys.size();
    if (n == 0)
        return 0;
    const size_t middle = n / 2;
    if (zone.ordered) {
        const auto [low, high] = middleKeys(keys, scratch.counts);
        return upper ? zone.brightness[high] : (zone.brightness[low] + zone.brightness[high]) / 2;
    }
    std::vector<double> &values = scratch.values;
    values.resize(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = zone.brightness[keys[i]];
    std::nth_element(values.begin(), values.begin() + qsizetype(middle), values.end());
    const double high = values[middle];
    if (upper || n % 2 == 1)
        return high;
    return (high + *std::max_element(values.begin(), values.begin() + qsizetype(middle))) / 2;
}

// The keys of the two middle ranks, (n - 1) / 2 and n / 2 (one key when n is
// odd): counted over the keys' range when it is narrow (a background's few
// dozen levels), else selected. Neighbouring border pixels often share a
// key, so the counts go to four tables in turn: one count waits for the one
// before it far less often.
std::pair<quint16, quint16> ZoneBorder::middleKeys(std::vector<quint16> &keys, std::vector<quint32> &counts)
{
    const size_t lowRank = (keys.size() - 1) / 2, highRank = keys.size() / 2;
    const auto [low, high] = keyRange(keys);
    if (low == high)
        return {low, low};
    const size_t range = size_t(high - low) + 1;
    if (range > 4 * keys.size() + 64) {
        std::nth_element(keys.begin(), keys.begin() + qsizetype(highRank), keys.end());
        const quint16 upper = keys[highRank];
        const quint16 lower = lowRank == highRank ? upper : *std::max_element(keys.begin(), keys.begin() + qsizetype(highRank));
        return {lower, upper};
    }
    counts.assign(4 * range, 0);
    quint32 *table[4] = {counts.data(), counts.data() + range, counts.data() + 2 * range, counts.data() + 3 * range};
    for (size_t i = 0; i < keys.size(); ++i)
        ++table[i % 4][keys[i] - low];
    return keysOfRanks(low, lowRank, highRank, [&](size_t i) {
        return size_t(table[0][i]) + table[1][i] + table[2][i] + table[3][i];
    });
}

// The smallest and largest key, in a loop the compiler vectorises (unlike
// std::minmax_element's).
std::pair<quint16, quint16> ZoneBorder::keyRange(const std::vector<quint16> &keys)
{
    quint16 low = keys[0], high = keys[0];
    for (const quint16 k : keys)
        low = std::min(low, k), high = std::max(high, k);
    return {low, high};
}

// The plane a + tx dx + ty dy by least squares over the border pixels within
// four noise deviations of a first plane through the medians of the sides
// (so a spot crossing the border is left out). A tilt within the noise of its
// own estimate is shrunk towards 0 by 1 - (deviation / tilt)²: on a flat
// background a tilt read from noise would only add its noise to what uses it.
void ZoneBorder::fitTilt(const ZoneKeys &zone, const std::array<double, 4> &sides)
{
    const QRect &r = zone.rect;
    const int w = r.width(), h = r.height();
    tiltX = (sides[1] - sides[3]) / (w - 1);
    tiltY = (sides[2] - sides[0]) / (h - 1);
    const double limit = 4 * noise + 2;
    // The coordinates' sums in halves of a pixel, as integers (exact): those
    // of the whole border, which is symmetric about its middle, less those
    // of the pixels left out.
    const qint64 twiceMiddleX = qint64(r.left()) + r.right(), twiceMiddleY = qint64(r.top()) + r.bottom();
    // Σ (2i - (n - 1))² over i = 0..n-1.
    auto sumOfSquares = [](qint64 n) { return (n - 1) * n * (n + 1) / 3; };
    const qint64 rowSquares = qint64(h - 1) * (h - 1), columnSquares = qint64(w - 1) * (w - 1);
    qint64 count = 2 * qint64(w) + 2 * qint64(h - 2), hx = 0, hy = 0, hxy = 0;
    qint64 hxx = 2 * sumOfSquares(w) + 2 * qint64(h - 2) * columnSquares;
    qint64 hyy = 2 * qint64(w) * rowSquares + 2 * (sumOfSquares(h) - 2 * rowSquares);
    double sv = 0, svx = 0, svy = 0;
    const double *brightness = zone.brightness;
    const double base = level, slopeX = tiltX, slopeY = tiltY;
    // dx, dy are the pixel's distances from the middle, whole or half pixels:
    // exact in a double, and twice them exact as integers.
    auto add = [&](double dx, double dy, quint16 key) {
        const double v = brightness[key] - base;
        if (std::abs(v - slopeX * dx - slopeY * dy) > limit) {
            const qint64 ix = qint64(2 * dx), iy = qint64(2 * dy);
            --count, hx -= ix, hy -= iy, hxx -= ix * ix, hyy -= iy * iy, hxy -= ix * iy;
            return;
        }
        sv += v, svx += v * dx, svy += v * dy;
    };
    const double leftX = r.left() - double(twiceMiddleX) / 2, rightX = r.right() - double(twiceMiddleX) / 2;
    const double topY = r.top() - double(twiceMiddleY) / 2, bottomY = r.bottom() - double(twiceMiddleY) / 2;
    const quint16 *topKeys = zone.keys, *bottomKeys = zone.keys + qsizetype(h - 1) * zone.rowStride;
    for (int i = 0; i < w; ++i)
        add(leftX + i, topY, topKeys[i]), add(leftX + i, bottomY, bottomKeys[i]);
    for (int row = 1; row < h - 1; ++row) {
        const quint16 *keys = topKeys + qsizetype(row) * zone.rowStride;
        add(leftX, topY + row, keys[0]), add(rightX, topY + row, keys[w - 1]);
    }
    const double n = double(count), sx = double(hx) / 2, sy = double(hy) / 2;
    const double sxx = double(hxx) / 4, syy = double(hyy) / 4, sxy = double(hxy) / 4;
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

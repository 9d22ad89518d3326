#include "SpotLabels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

// Spots are found as runs of pixels along the rows, joined where runs of
// neighbouring rows touch (8-connected: overlapping or meeting at a corner).
// Each spot is weighed by its light above the level: the target is the spot
// with the most (its brightest pixel alone would hand a noisy image to a
// dimmer neighbour whose peak noise lifted).
int SpotLabels::label(const ZoneKeys &zone, const QRect &area, const SpotKeys &spotKeys, double level,
                      double significantPeak)
{
    m_left = area.left(), m_top = area.top();
    m_width = area.isEmpty() ? 0 : area.width(), m_height = area.isEmpty() ? 0 : area.height();
    m_count = 0;
    m_allMain = true;
    m_others.clear();
    m_runs.clear();
    if (area.isEmpty())
        return 0;
    findRuns(zone, spotKeys);
    if (m_runs.empty())
        return 0;
    // One spot (as a target mostly is) needs no weighing.
    const int first = root(0);
    bool alone = true;
    for (size_t i = 1; i < m_runs.size() && alone; ++i)
        alone = root(int(i)) == first;
    if (alone) {
        m_count = 1;
        return m_count;
    }
    const int mainRoot = heaviestSpot(zone, level);
    joinNearMain(mainRoot);
    // The other spots, less those noise could have lifted.
    std::vector<bool> isSpot(m_runs.size(), false);
    m_count = 1;
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const Run &run = m_runs[i];
        if (run.parent != int(i) || int(i) == mainRoot)
            continue;
        m_allMain = false;
        if (run.peak > significantPeak) {
            isSpot[i] = true;
            ++m_count;
        }
    }
    if (!m_allMain)
        markCells(mainRoot, isSpot);
    if (m_count > 1)
        findFootprints(mainRoot, isSpot);
    return m_count;
}

void SpotLabels::findFootprints(int mainRoot, const std::vector<bool> &isSpot)
{
    std::vector<double> sumX(m_runs.size(), 0.0), sumY(m_runs.size(), 0.0), count(m_runs.size(), 0.0);
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const Run &run = m_runs[i];
        const size_t r = size_t(root(int(i)));
        const double n = run.right - run.left + 1;
        sumX[r] += n * (run.left + run.right) / 2, sumY[r] += n * run.y, count[r] += n;
    }
    auto footprint = [&](size_t r) {
        const double radius = std::sqrt(count[r] / std::numbers::pi);
        return Footprint{sumX[r] / count[r], sumY[r] / count[r], radius, 1 / (radius * radius)};
    };
    m_main = footprint(size_t(mainRoot));
    for (size_t r = 0; r < m_runs.size(); ++r)
        if (isSpot[r])
            m_others.push_back(footprint(r));
}

// Distances measured in each spot's radius: a large target keeps what lies
// nearer a small neighbour's centre than its own, as far as its own light goes.
bool SpotLabels::nearerOther(int x, int y) const
{
    const double mx = x - m_main.x, my = y - m_main.y;
    const double toMain = (mx * mx + my * my) * m_main.inverseSquare;
    for (const Footprint &other : m_others) {
        const double ox = x - other.x, oy = y - other.y;
        if ((ox * ox + oy * oy) * other.inverseSquare < toMain)
            return true;
    }
    return false;
}

void SpotLabels::findRuns(const ZoneKeys &zone, const SpotKeys &spotKeys)
{
    m_rowStart.assign(size_t(m_height) + 1, 0);
    m_rowFlags.assign(size_t(m_width) + 8, 0);
    size_t previousRow = 0;
    for (int row = 0; row < m_height; ++row) {
        const int y = m_top + row;
        const size_t rowStart = m_runs.size();
        m_rowStart[size_t(row)] = rowStart;
        if (!spotKeys.rowMax || spotKeys.firstKey < 0 || spotKeys.rowMax[y - zone.rect.top()] >= spotKeys.firstKey)
            addRowRuns(y, &zone.keys[qsizetype(y - zone.rect.top()) * zone.rowStride + (m_left - zone.rect.left())], spotKeys);
        if (row > 0)
            joinTouchingRuns(previousRow, rowStart, m_runs.size());
        previousRow = rowStart;
    }
    m_rowStart[size_t(m_height)] = m_runs.size();
}

// The runs of one row, in order along x.
void SpotLabels::addRowRuns(int y, const quint16 *keys, const SpotKeys &spotKeys)
{
    flagRow(keys, spotKeys);
    for (int i = nextFlag(0, true); i < m_width; i = nextFlag(i, true)) {
        const int left = i;
        i = nextFlag(i, false);
        m_runs.push_back({y, m_left + left, m_left + i - 1, int(m_runs.size()), 0.0, 0.0, i - left});
    }
}

// Keys compared with the first spot key need no look-up: the compiler does
// several at a time.
void SpotLabels::flagRow(const quint16 *keys, const SpotKeys &spotKeys)
{
    // Locals, which the stores to the flags cannot change.
    quint8 *flags = m_rowFlags.data();
    const int width = m_width;
    if (spotKeys.firstKey >= 0) {
        const quint16 first = quint16(spotKeys.firstKey);
        for (int i = 0; i < width; ++i)
            flags[i] = quint8(keys[i] >= first);
        return;
    }
    const quint8 *classes = spotKeys.classes, spotClass = spotKeys.spotClass;
    for (int i = 0; i < width; ++i)
        flags[i] = quint8((classes[keys[i]] & spotClass) != 0);
}

// The first pixel of the row from `from` on whose flag is `set` (the row's
// width when there is none), eight flags at a time: the zeros after the row
// end a search for a clear flag.
int SpotLabels::nextFlag(int from, bool set) const
{
    const quint8 *flags = m_rowFlags.data();
    if constexpr (std::endian::native != std::endian::little) {
        while (from < m_width && bool(flags[from]) != set)
            ++from;
        return from;
    }
    constexpr quint64 ones = 0x0101010101010101;
    for (int i = from; i < m_width; i += 8) {
        quint64 word;
        std::memcpy(&word, flags + i, sizeof word);
        if (!set)
            word ^= ones;
        if (word)
            return std::min(m_width, i + std::countr_zero(word) / 8);
    }
    return m_width;
}

// Each run's light above the level and its brightest pixel.
void SpotLabels::weighRuns(const ZoneKeys &zone, double level)
{
    for (Run &run : m_runs) {
        const quint16 *keys = &zone.keys[qsizetype(run.y - zone.rect.top()) * zone.rowStride + (run.left - zone.rect.left())];
        run.peak = zone.brightness[keys[0]];
        for (int i = 0; i < run.pixels; ++i) {
            const double b = zone.brightness[keys[i]];
            run.light += b - level;
            run.peak = std::max(run.peak, b);
        }
    }
}

// Each spot's light, peak and size gathered at its root; returns the root
// of the spot with the most light.
int SpotLabels::heaviestSpot(const ZoneKeys &zone, double level)
{
    weighRuns(zone, level);
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const int r = root(int(i));
        if (r == int(i))
            continue;
        Run &spot = m_runs[size_t(r)];
        spot.light += m_runs[i].light;
        spot.peak = std::max(spot.peak, m_runs[i].peak);
        spot.pixels += m_runs[i].pixels;
    }
    int heaviest = -1;
    for (size_t i = 0; i < m_runs.size(); ++i)
        if (m_runs[i].parent == int(i) && (heaviest < 0 || m_runs[i].light > m_runs[size_t(heaviest)].light))
            heaviest = int(i);
    return heaviest;
}

// Both rows' runs lie in order along x, so one pass pairs every run of the
// row with the runs above that touch it.
void SpotLabels::joinTouchingRuns(size_t previousRow, size_t row, size_t end)
{
    size_t above = previousRow;
    for (size_t i = row; i < end; ++i) {
        const Run &run = m_runs[i];
        while (above < row && m_runs[above].right < run.left - 1)
            ++above;
        for (size_t j = above; j < row && m_runs[j].left <= run.right + 1; ++j) {
            const int a = root(int(i)), b = root(int(j));
            if (a != b)
                m_runs[size_t(std::max(a, b))].parent = std::min(a, b);
        }
    }
}

int SpotLabels::root(int run)
{
    while (m_runs[size_t(run)].parent != run) {
        Run &r = m_runs[size_t(run)];
        r.parent = m_runs[size_t(r.parent)].parent; // path halving
        run = r.parent;
    }
    return run;
}

// Spots across a gap of one pixel from the target's join it, and so do
// spots near those, until none is left near.
void SpotLabels::joinNearMain(int mainRoot)
{
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < m_runs.size(); ++i) {
            const int r = root(int(i));
            if (r == mainRoot || !nearMain(m_runs[i], mainRoot))
                continue;
            // The main spot keeps its root; its figures are no longer needed.
            m_runs[size_t(r)].parent = mainRoot;
            joined = true;
        }
    }
}

bool SpotLabels::nearMain(const Run &run, int mainRoot)
{
    constexpr int Gap = 2; // pixels two apart have one between them
    const int first = std::max(0, run.y - Gap - m_top), last = std::min(m_height - 1, run.y + Gap - m_top);
    for (size_t j = m_rowStart[size_t(first)]; j < m_rowStart[size_t(last) + 1]; ++j) {
        const Run &other = m_runs[j];
        if (other.left <= run.right + Gap && other.right >= run.left - Gap && root(int(j)) == mainRoot)
            return true;
    }
    return false;
}

void SpotLabels::markCells(int mainRoot, const std::vector<bool> &isSpot)
{
    m_cells.assign(size_t(m_width) * size_t(m_height), Outside);
    for (size_t i = 0; i < m_runs.size(); ++i) {
        const Run &run = m_runs[i];
        const int r = root(int(i));
        const quint8 mark = r == mainRoot ? quint8(Main) : isSpot[size_t(r)] ? quint8(Other) : quint8(Outside);
        std::memset(&m_cells[size_t(run.y - m_top) * size_t(m_width) + size_t(run.left - m_left)], mark,
                    size_t(run.pixels));
    }
}

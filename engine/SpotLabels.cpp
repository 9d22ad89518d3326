#include "SpotLabels.h"

#include <algorithm>

int SpotLabels::label(const ZoneKeys &zone, const QRect &area, const quint8 *inSpot, double threshold,
                      double lonePixelLevel)
{
    m_area = area;
    m_left = area.left(), m_top = area.top();
    m_width = area.isEmpty() ? 0 : area.width(), m_height = area.isEmpty() ? 0 : area.height();
    m_stride = size_t(m_width) + 2;
    m_main = QRect();
    m_count = 0;
    m_cells.assign(m_stride * (size_t(m_height) + 2), Outside);
    if (area.isEmpty())
        return 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        quint8 *row = &m_cells[index(area.left(), y)];
        const quint16 *keys = &zone.keys[qsizetype(y - zone.rect.top()) * zone.rowStride + (area.left() - zone.rect.left())];
        for (int i = 0; i < m_width; ++i)
            row[i] = inSpot[keys[i]] ? Unvisited : Outside;
    }
    // Every spot is filled once, so each is counted once, and weighed by its
    // light above the threshold: the target is the spot with the most. (Its
    // brightest pixel alone would hand a noisy image to a dimmer neighbour
    // whose peak noise lifted.) A single pixel that noise could have lifted
    // is no spot of its own, unless it is all there is.
    struct Spot { size_t start; double light; bool lone; };
    std::vector<Spot> spots;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const size_t i = index(x, y);
            if (m_cells[i] != Unvisited)
                continue;
            double light = 0;
            const bool single = fill(i, Unvisited, Other, &zone, threshold, &light).size() == QSize(1, 1);
            spots.push_back({i, light, single && !(zone.at(x, y) > lonePixelLevel)});
        }
    }
    if (spots.empty())
        return 0;
    const auto brightest = std::max_element(spots.cbegin(), spots.cend(),
                                            [](const Spot &a, const Spot &b) { return a.light < b.light; });
    m_main = fill(brightest->start, Other, Main, nullptr, 0, nullptr);
    m_count = 1;
    for (const Spot &spot : spots) {
        if (spot.start == brightest->start)
            continue;
        if (spot.lone)
            m_cells[spot.start] = Outside;
        else
            ++m_count;
    }
    return m_count;
}

// Marks the spot of `from` cells holding cell `start` as `mark` with an
// explicit stack (a spot of a million pixels would overflow the call stack),
// returning its rectangle; with `zone`, adds its light above `threshold` to *light.
QRect SpotLabels::fill(size_t start, Cell from, Cell mark, const ZoneKeys *zone, double threshold, double *light)
{
    const qsizetype stride = qsizetype(m_stride);
    const qsizetype neighbours[8] = {-stride - 1, -stride, -stride + 1, -1, 1, stride - 1, stride, stride + 1};
    size_t left = start % m_stride, right = left, top = start / m_stride, bottom = top;
    quint8 *cells = m_cells.data();
    m_stack.clear();
    m_stack.push_back(start);
    cells[start] = mark;
    while (!m_stack.empty()) {
        const size_t i = m_stack.back();
        m_stack.pop_back();
        const size_t column = i % m_stride, row = i / m_stride;
        left = std::min(left, column), right = std::max(right, column);
        top = std::min(top, row), bottom = std::max(bottom, row);
        if (zone)
            *light += zone->at(m_left + int(column) - 1, m_top + int(row) - 1) - threshold;
        for (const qsizetype step : neighbours) {
            const size_t n = size_t(qsizetype(i) + step);
            if (cells[n] == from) {
                cells[n] = mark;
                m_stack.push_back(n);
            }
        }
    }
    // Back from the framed grid to the image.
    return QRect(QPoint(m_left + int(left) - 1, m_top + int(top) - 1), QPoint(m_left + int(right) - 1, m_top + int(bottom) - 1));
}

#include "SpotLabels.h"

#include <algorithm>

int SpotLabels::label(const ZoneKeys &zone, const QRect &area, const quint8 *inSpot, QPoint seed,
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
    if (cell(seed.x(), seed.y()) == Unvisited) {
        m_main = fill(index(seed.x(), seed.y()), Main);
        m_count = 1;
    }
    // Every other spot is filled once, so each is counted once. A single
    // pixel that noise could have lifted goes back to the background.
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const size_t i = index(x, y);
            if (m_cells[i] != Unvisited)
                continue;
            if (fill(i, Other).size() == QSize(1, 1) && !(zone.at(x, y) > lonePixelLevel))
                m_cells[i] = Outside;
            else
                ++m_count;
        }
    }
    return m_count;
}

// Marks the spot holding cell `start` with an explicit stack (a spot of a
// million pixels would overflow the call stack), returning its rectangle.
QRect SpotLabels::fill(size_t start, Cell mark)
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
        for (const qsizetype step : neighbours) {
            const size_t n = size_t(qsizetype(i) + step);
            if (cells[n] == Unvisited) {
                cells[n] = mark;
                m_stack.push_back(n);
            }
        }
    }
    // Back from the framed grid to the image.
    return QRect(QPoint(m_left + int(left) - 1, m_top + int(top) - 1), QPoint(m_left + int(right) - 1, m_top + int(bottom) - 1));
}

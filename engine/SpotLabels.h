#pragma once

#include "ZoneKeys.h"

#include <QPoint>
#include <QRect>

#include <vector>

// The 8-connected spots of a zone: which pixels above the threshold belong
// to the target's spot (the one with the most light above the threshold),
// and how many spots there are. A lone pixel apart from it that noise could
// have lifted over the threshold (not above `lonePixelLevel`) is not a spot.
class SpotLabels
{
public:
    // Labels the pixels of `area` (inside the zone) whose key is marked in
    // `inSpot`, the pixels above `threshold`. Returns the number of spots,
    // the target's one included.
    int label(const ZoneKeys &zone, const QRect &area, const quint8 *inSpot, double threshold, double lonePixelLevel);

    // The rectangle around the target's spot.
    const QRect &mainBounds() const { return m_main; }
    int count() const { return m_count; }
    bool isMain(int x, int y) const { return cell(x, y) == Main; }
    // A pixel of another spot (outside the labelled area: no).
    bool isOther(int x, int y) const { return cell(x, y) == Other; }

private:
    enum Cell : quint8 { Outside = 0, Unvisited = 1, Main = 2, Other = 3 };
    // The grid has a frame of Outside cells around the area, so neighbours
    // need no bounds test.
    size_t index(int x, int y) const { return size_t(y - m_top + 1) * m_stride + size_t(x - m_left + 1); }
    quint8 cell(int x, int y) const
    {
        // Unsigned comparisons: one test for each side of the area.
        if (unsigned(x - m_left) >= unsigned(m_width) || unsigned(y - m_top) >= unsigned(m_height))
            return Outside;
        return m_cells[index(x, y)];
    }
    QRect fill(size_t start, Cell from, Cell mark, const ZoneKeys *zone, double threshold, double *light);

    QRect m_area;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    size_t m_stride = 0;
    QRect m_main;
    int m_count = 0;
    std::vector<quint8> m_cells; // row by row over the framed area
    std::vector<size_t> m_stack;
};

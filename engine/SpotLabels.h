#pragma once

#include "ZoneKeys.h"

#include <QPoint>
#include <QRect>

#include <vector>

// The 8-connected spots of a zone above a level: which pixels belong to the
// target's spot (the one with the most light above the level), and how many
// spots there are.
//
// Noise splits a target whose edge or plateau lies near the level into
// pieces with a pixel between them: a spot across a gap of one pixel from
// the target's is part of it. Another spot counts only when its brightest
// pixel stands above `significantPeak` (where noise alone would hardly lift
// it); the pixels of one that does not belong to no spot.
class SpotLabels
{
public:
    // Which keys are a spot's: those whose class (in `classes`, by key) has
    // a bit of `spotClass`; with keys in order of brightness, also every key
    // from `firstKey` up (-1: none), which is quicker to test.
    struct SpotKeys
    {
        const quint8 *classes;
        quint8 spotClass;
        int firstKey = -1;
        // The largest key of each row of the zone, from its top, when known:
        // with a first key, a row whose largest is below it holds no spot pixel.
        const quint16 *rowMax = nullptr;
    };
    // Labels the pixels of `area` (inside the zone) whose key is a spot's:
    // the pixels above `level`. Returns the number of spots, the target's
    // one included.
    int label(const ZoneKeys &zone, const QRect &area, const SpotKeys &spotKeys, double level,
              double significantPeak);

    // Every pixel above the level belongs to the target's spot.
    bool allMain() const { return m_allMain; }
    // Some pixel above the level belongs to another spot.
    bool hasOthers() const { return m_count > 1; }
    bool isMain(int x, int y) const { return m_allMain ? inArea(x, y) : cell(x, y) == Main; }
    // A pixel of another spot (outside the labelled area: no).
    bool isOther(int x, int y) const { return !m_allMain && cell(x, y) == Other; }
    // Where a spot lies and how large it is: the centre of its pixels and the
    // radius of a disc of their number.
    struct Footprint
    {
        double x = 0, y = 0, radius = 0;
        double inverseSquare = 0; // 1 / radius², which distances are measured in
    };
    // The other spots counted (none when all pixels are the target's).
    const std::vector<Footprint> &others() const { return m_others; }
    // A pixel of another spot, or one outside the target's spot that lies
    // nearer another spot than the target, each distance in the spot's own
    // radius: where another target's light below the level still reaches.
    bool inOthersReach(int x, int y) const
    {
        if (m_allMain)
            return false;
        const quint8 c = cell(x, y);
        return c == Other || (c != Main && nearerOther(x, y));
    }

private:
    enum Cell : quint8 { Outside = 0, Main = 1, Other = 2 };
    // A row's stretch of pixels above the level.
    struct Run
    {
        int y, left, right;
        int parent;   // union-find over the runs; the root stands for the spot
        double light; // the run's light above the level, then the spot's
        double peak;  // the run's brightest pixel, then the spot's
        int pixels;   // the run's length, then the spot's size
    };

    bool inArea(int x, int y) const
    {
        // Unsigned comparisons: one test for each side of the area.
        return unsigned(x - m_left) < unsigned(m_width) && unsigned(y - m_top) < unsigned(m_height);
    }
    quint8 cell(int x, int y) const { return inArea(x, y) ? m_cells[size_t(y - m_top) * size_t(m_width) + size_t(x - m_left)] : quint8(Outside); }
    void findRuns(const ZoneKeys &zone, const SpotKeys &spotKeys);
    void addRowRuns(int y, const quint16 *keys, const SpotKeys &spotKeys);
    void flagRow(const quint16 *keys, const SpotKeys &spotKeys);
    int nextFlag(int from, bool set) const;
    void weighRuns(const ZoneKeys &zone, double level);
    int heaviestSpot(const ZoneKeys &zone, double level);
    void joinTouchingRuns(size_t previousRow, size_t row, size_t end);
    int root(int run);
    void joinNearMain(int mainRoot);
    bool nearMain(const Run &run, int mainRoot);
    void markCells(int mainRoot, const std::vector<bool> &isSpot);
    void findFootprints(int mainRoot, const std::vector<bool> &isSpot);
    bool nearerOther(int x, int y) const;

    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    int m_count = 0;
    bool m_allMain = true;
    std::vector<Run> m_runs;
    std::vector<size_t> m_rowStart; // the first run of each row, and the end
    std::vector<quint8> m_cells;    // row by row over the area, when not all main
    std::vector<quint8> m_rowFlags; // 1 for a spot pixel of the row, then eight zeros
    Footprint m_main;               // the target's spot, when there are others
    std::vector<Footprint> m_others; // the other spots counted
};

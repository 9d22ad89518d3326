#pragma once

#include "SpotLabels.h"
#include "ZoneBorder.h"
#include "ZoneKeys.h"

#include <QRect>

#include <array>

#include <vector>

// The centre of a spot weighted by a Gaussian window that moves with it:
// the point where the window-weighted first moments of the brightness above
// the background vanish. Unlike the centre of the pixels above a threshold it
// has no edge that pixels cross, which is what locks a centre to the pixel
// grid. The window's width follows the spot's half-light radius.
class WindowedCentre
{
public:
    struct Result
    {
        bool ok = false;
        double x = 0, y = 0;
        double sx = 0, sy = 0; // the noise's standard deviation carried into x and y
        double window = 0;     // the window's standard deviation in pixels
        int iterations = 0;
    };

    // The zone to work on: its brightness less the plane of its border's
    // background; pixels in another spot's reach (when `labels` is given)
    // count as background. The zone's keys and labels must outlive the calls below.
    void setZone(const ZoneKeys &zone, const ZoneBorder &background, const SpotLabels *labels);
    // Radii around (cx, cy) holding half and 99 % of the light within `reach`
    // of it (and within the zone); 0 when there is no light.
    struct LightRadii
    {
        double half = 0, outer = 0;
    };
    LightRadii lightRadii(double cx, double cy, double reach);
    // At most 10 passes from (x0, y0), the window's width from the light
    // within `reach` (the half-light radius; a flat spot's 99 % radius),
    // stopping when the centre is within
    // 0.0005 px (see refine in the source). Not ok when
    // the light in the window vanishes or the centre walks further than twice
    // the window's deviation from where it started.
    Result refine(double x0, double y0, double reach);

    static constexpr int MaxIterations = 10;
    static constexpr double Convergence = 0.0005;
    // How many deviations of the window each way are summed.
    static constexpr double WindowReach = 2.5;
    // A spot whose 99 % radius is below this many half-light radii is flat (a disc).
    static constexpr double FlatSpot = 1.7;

private:
    // Σ w v dx^p dy^q over the window, p + q up to 3.
    struct Moments
    {
        double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0, sxxx = 0, sxxy = 0, sxyy = 0, syyy = 0;
    };
    struct Step
    {
        double x, y;
        bool secondOrder; // from the expansion, not the matched Gaussian's
    };
    static Step stepFrom(const Moments &m, double sigma);
    void loadPatch(const QRect &rect);
    // The grid lightRadii samples: every stride-th pixel from firstX along
    // a row, `columns` of them.
    struct RingGrid
    {
        double cx, cy, reach;
        int stride, firstX, columns;
        bool quincunx; // every other pixel only, the white squares of a chessboard
        int white;     // x + y of a white square, the pixel nearest the centre's
    };
    static constexpr double RingWidth = 0.25;
    static constexpr double QuincunxReach = 8;
    void addRowLight(int y, const RingGrid &grid);
    LightRadii radiiOfRings(double total, double reach) const;
    QRect windowRect(double x, double y) const;
    static void gaussianSteps(double d0, double scale, size_t n, double *out);
    void windowWeights(const QRect &w, double x, double y, double sigma);
    Moments moments(double x, double y, double sigma);
    // One row of the window: the sums of v g dx^k along it, k = 0..3.
    struct RowSums
    {
        double s[4];
    };
    RowSums rowSums(const float *v, int width) const;
    void errors(Result &result, const Moments &m);
    void findSlopeSources(double x0, double y0);
    double othersSlope(int x, int y) const;

    ZoneKeys m_zone;
    ZoneBorder m_background;
    const SpotLabels *m_labels = nullptr;
    QRect m_rect;                // the patch: what the window can reach
    std::vector<float> m_values; // row by row over m_rect
    // The window's weight along x at each column of the window times the
    // column's distance from the centre to the power k = 0..3.
    std::array<std::vector<float>, 4> m_gxDx;
    std::vector<double> m_gy, m_gauss; // the weights along y; scratch
    std::array<double, 5> m_columnSums{}; // the sums of g dx^k along x, k = 0..4
    std::vector<double> m_rings; // scratch of lightRadii
    std::vector<int> m_rowRings;
    std::vector<double> m_columnPlane;
    double m_extent = 0;         // how far the window reaches each way, pixels
    double m_sigma = 0;          // the window's deviation
    // The other spots whose slope is taken off (see othersSlope).
    std::vector<SpotLabels::Footprint> m_slopeSources;
    // How far another spot's slope reaches, in deviations of the window.
    static constexpr double OtherReach = 3;
};

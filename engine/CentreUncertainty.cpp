#include "CentreUncertainty.h"

#include <algorithm>
#include <cmath>

double CentreUncertainty::floorFor(double area)
{
    return area > 0 ? 0.28868 / (area * area) : 0.28868;
}

CentreUncertainty::Result CentreUncertainty::of(const Input &in)
{
    const Moments &m = in.m;
    Result r;
    if (!(in.weight != 0))
        return r;
    const double floor = floorFor(m.n);
    const double noisy = m.n - m.saturated;
    r.sx = std::max(floor, axis(in, {m.x, m.xx, noisy, m.x - m.saturatedX, m.xx - m.saturatedXX, m.bandX, m.bandXX, in.cx}));
    r.sy = std::max(floor, axis(in, {m.y, m.yy, noisy, m.y - m.saturatedY, m.yy - m.saturatedYY, m.bandY, m.bandYY, in.cy}));
    return r;
}

double CentreUncertainty::axis(const Input &in, const Axis &a)
{
    const Moments &m = in.m;
    const double sigma = in.noise, w = in.weight, t = in.threshold, c = a.c, n = m.n, s = a.s;
    const double bandS = a.bandS, bandSS = a.bandSS;
    // Each spot pixel's noise moves the centre by (x − c)/W times it.
    const double spread = std::max(0.0, a.noisySS - 2 * c * a.noisyS + a.noisyN * c * c);
    double variance = sigma * sigma * spread / (w * w);
    // Weighted by brightness, a pixel that noise carries over the threshold
    // brings or takes weight T at once. A pixel whose true level lies at u
    // deviations from T flips with variance Φ(u)(1 − Φ(u)), which integrates
    // to 1/√π over u: with the pixels per level read from the band of ±1
    // deviation, 1/(2√π) = 0.282 per band pixel.
    const double bandSpread = std::max(0.0, bandSS - 2 * c * bandS + m.bandN * c * c);
    if (!in.aboveThreshold)
        variance += 0.282 * t * t * bandSpread / (w * w);
    // The threshold follows the brightest pixel. The maximum of many noisy
    // pixels of one level varies less than one of them (Gumbel's law).
    double sigmaM = in.saturated ? 0 : sigma;
    if (m.top > 1)
        sigmaM = std::min(sigmaM, sigma * 1.28 / std::sqrt(2 * std::log(m.top)));
    double shift = 0; // dc/dT
    if (in.aboveThreshold)
        shift = -(s - n * c) / w; // every weight falls with T
    else if (sigma > 0)
        shift = -t * (bandS - m.bandN * c) / (2 * sigma) / w; // the band's pixels leave
    const double thresholdNoise = in.thresholdSlope * sigmaM;
    variance += shift * shift * thresholdNoise * thresholdNoise;
    return std::sqrt(variance);
}

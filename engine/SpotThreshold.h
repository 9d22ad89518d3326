#pragma once

struct TParameters;

// The binarisation threshold of a zone from its brightest pixel M:
// T = A M^n + B M + C, or with SpotBackground the same of M - B0 over the
// zone's background B0, T = B0 + A (M - B0)^n + B (M - B0) + C. A zone whose
// brightest pixel is 0 gets C.
class SpotThreshold
{
public:
    static double of(const TParameters &p, double maximum, double background);
    // dT/dM: how much of the brightest pixel's noise reaches T.
    static double slope(const TParameters &p, double maximum, double background);
};

#pragma once

// How far the pixel noise alone moves the centre of the pixels above a
// threshold: each pixel's noise through the centre's formula, the pixels
// near the threshold that noise takes in or out of the spot, and the
// threshold itself, which follows the noisy brightest pixel. A lower bound:
// it knows nothing of a target cut by the zone or of the scene.
class CentreUncertainty
{
public:
    // Sums over a zone's pixels, coordinates relative to the zone's corner.
    struct Moments
    {
        // The spot's pixels, unweighted.
        double n = 0, x = 0, y = 0, xx = 0, yy = 0;
        // Pixels within one noise deviation of the threshold, either side.
        double bandN = 0, bandX = 0, bandY = 0, bandXX = 0, bandYY = 0;
        // Pixels within two noise deviations of the brightest.
        double top = 0;
        // The spot's saturated pixels, which carry no noise.
        double saturated = 0, saturatedX = 0, saturatedY = 0, saturatedXX = 0, saturatedYY = 0;
    };

    struct Input
    {
        Moments m;
        double cx = 0, cy = 0;      // the centre, relative to the zone's corner
        double weight = 0;          // the sum of the centre's weights
        double threshold = 0;
        double thresholdSlope = 0;  // dT/dM
        double noise = 0;           // one pixel's standard deviation
        bool aboveThreshold = false; // weights b − T (else b)
        bool saturated = false;     // the brightest pixel is at the top of the scale
    };

    struct Result
    {
        double sx = 0, sy = 0;
    };

    static Result of(const Input &in);

    // The least uncertainty of a spot of `area` pixels: a single pixel places
    // its spot no better than a uniform spread over the pixel, 1/√12; it
    // falls with the square of the area, so that it only holds for a few pixels.
    static double floorFor(double area);

private:
    // One axis: the sums of the coordinate (s, ss) over the spot, its noisy
    // pixels (noisyN, noisyS, noisySS) and the band.
    struct Axis
    {
        double s, ss, noisyN, noisyS, noisySS, bandS, bandSS, c;
    };
    static double axis(const Input &in, const Axis &a);
};

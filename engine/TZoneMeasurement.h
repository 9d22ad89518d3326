#pragma once

// What detection saw in one zone of one image, beyond the point it records:
// the figures a journal keeps so a result can be judged later.
struct TZoneMeasurement
{
    // Which test a spot failed; None when it passed or no spot was judged.
    enum class Rejection { None, Mean, MinArea, MaxArea, NoWeight };

    bool found = false;
    double x = -1;          // the centre in image pixels, -1 when not found
    double y = -1;
    double maximum = 0;     // the zone's brightest pixel M
    double threshold = 0;   // the binarisation threshold T
    int area = 0;           // pixels strictly above T (the spot area S)
    double mean = 0;        // mean brightness of those pixels
    // Spots in the zone, the measured one included, when connected spots are
    // told apart (ConnectedSpot; see TPointFinder::labelSpots); 0 when they
    // are not counted.
    int spots = 0;
    // The centre's standard deviation in pixels from the pixel noise alone (a
    // lower bound); 0 when not found.
    double sx = 0;
    double sy = 0;
    Rejection rejection = Rejection::None;
    // The displacement from the zone's origin (x - X0, y - Y0) when found,
    // filled where the image's record is built; a displacement only when
    // the zone has an origin.
    bool hasOrigin = false;
    double dx = 0;
    double dy = 0;
};

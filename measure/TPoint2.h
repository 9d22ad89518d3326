#pragma once

// A manually measured point in image pixels: x from the left edge, y from the
// top edge. Whole values name the pixel the mouse stood on; fractions come from
// the magnifier's fine offset or from a points file. Nothing bounds them.
struct TPoint2 final
{
    double x = 0;
    double y = 0;
};

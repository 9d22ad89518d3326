#pragma once

#include <QPair>

// Zooming and panning a range of an axis, as plain arithmetic.
namespace ChartZoom {

using Range = QPair<double, double>;

// The range scaled by `factor` (below 1 zooms in) about `anchor`, which keeps
// its place on the screen.
Range zoomed(const Range &range, double anchor, double factor);
// The range moved by `delta` (in axis units).
Range panned(const Range &range, double delta);
// A range of at least `minimum` width: a rubber band of a few pixels or a
// series of one image still gives a usable axis.
Range atLeast(const Range &range, double minimum);

} // namespace ChartZoom

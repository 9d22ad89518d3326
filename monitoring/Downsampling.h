#pragma once

#include <QList>
#include <QPointF>

// Reduces a long series to what a chart of a given width can show. `xs` rise
// (equal values allowed); a NaN in `ys` is an image without a value. The result
// is the series within [from, to] (and one point beyond each end, so lines
// leave the plot instead of stopping short) as segments to be drawn as lines,
// a gap between two segments.
//
// With no more than two points per bucket the points come as they are, every
// gap kept. Otherwise the range is cut into `buckets` equal slices of x and each
// slice gives its lowest and highest value in the order they occur, so a spike
// of one image stays visible; a slice without any value breaks the line, while
// a missing image among many in a slice (too narrow to see) does not.
namespace Downsampling {

QList<QList<QPointF>> segments(const QList<double> &xs, const QList<double> &ys, double from, double to,
                               int buckets);

// Index of the first x not below `value`.
qsizetype lowerBound(const QList<double> &xs, double value);

} // namespace Downsampling

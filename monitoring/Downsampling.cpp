#include "Downsampling.h"

#include <algorithm>
#include <cmath>

namespace {

// Collects points into segments, a NaN closing the current one.
class SegmentBuilder
{
public:
    void add(double x, double y)
    {
        if (std::isnan(y)) {
            close();
            return;
        }
        m_current.append(QPointF(x, y));
    }
    void close()
    {
        if (!m_current.isEmpty())
            m_segments.append(std::move(m_current));
        m_current = {};
    }
    QList<QList<QPointF>> take()
    {
        close();
        return std::move(m_segments);
    }

private:
    QList<QPointF> m_current;
    QList<QList<QPointF>> m_segments;
};

} // namespace

namespace Downsampling {

qsizetype lowerBound(const QList<double> &xs, double value)
{
    return std::lower_bound(xs.begin(), xs.end(), value) - xs.begin();
}

QList<QList<QPointF>> segments(const QList<double> &xs, const QList<double> &ys, double from, double to, int buckets)
{
    const qsizetype count = std::min(xs.size(), ys.size());
    // One point beyond each end of the range.
    const qsizetype begin = std::max<qsizetype>(0, lowerBound(xs, from) - 1);
    const qsizetype end = std::min(count, std::upper_bound(xs.begin(), xs.begin() + count, to) - xs.begin() + 1);
    SegmentBuilder builder;
    buckets = std::max(1, buckets);
    if (end - begin <= 2 * qsizetype(buckets) || !(to > from)) {
        for (qsizetype i = begin; i < end; ++i)
            builder.add(xs.at(i), ys.at(i));
        return builder.take();
    }
    const double width = (to - from) / buckets;
    qsizetype i = begin;
    while (i < end) {
        // The slice of x that point i falls in; the points beyond the range get slices of their own.
        const double slice = std::floor((xs.at(i) - from) / width);
        qsizetype lowest = -1;
        qsizetype highest = -1;
        qsizetype j = i;
        for (; j < end && std::floor((xs.at(j) - from) / width) == slice; ++j) {
            const double y = ys.at(j);
            if (std::isnan(y))
                continue;
            if (lowest < 0 || y < ys.at(lowest))
                lowest = j;
            if (highest < 0 || y > ys.at(highest))
                highest = j;
        }
        if (lowest < 0) {
            builder.close();
        } else {
            const qsizetype a = std::min(lowest, highest);
            const qsizetype b = std::max(lowest, highest);
            builder.add(xs.at(a), ys.at(a));
            if (b != a)
                builder.add(xs.at(b), ys.at(b));
        }
        i = j;
    }
    return builder.take();
}

} // namespace Downsampling

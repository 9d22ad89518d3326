#include "PixelLoops.h"

#include <algorithm>

namespace {

// Two plain loops (keys, then their maximum) vectorise where one with both
// does not. Keys below 32768 take the signed maximum, which the baseline
// processor has for 16-bit lanes.
template<typename Key>
quint16 largest(const quint16 *out, int n)
{
    const auto *keys = reinterpret_cast<const Key *>(out);
    Key top = 0;
    for (int i = 0; i < n; ++i)
        top = std::max(top, keys[i]);
    return quint16(top);
}

template<int Step>
KELVARIN_PIXEL_LOOP quint16 byteSumsOf(const quint8 *p, int n, quint16 *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = quint16(p[Step * i] + p[Step * i + 1] + p[Step * i + 2]);
    return largest<qint16>(out, n);
}

template<int Step>
KELVARIN_PIXEL_LOOP quint16 bytesOf(const quint8 *p, int n, quint16 *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = p[Step * i];
    return largest<qint16>(out, n);
}

template<int Step>
KELVARIN_PIXEL_LOOP quint16 wordsOf(const quint16 *p, int n, quint16 *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = p[Step * i];
    return largest<quint16>(out, n);
}

template<int Step>
KELVARIN_PIXEL_LOOP quint16 wordThirdsOf(const quint16 *p, int n, quint16 *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = quint16((quint32(p[Step * i]) + p[Step * i + 1] + p[Step * i + 2]) / 3);
    return largest<quint16>(out, n);
}

template<typename Key>
KELVARIN_PIXEL_LOOP void raise(const quint16 *row, int n, quint16 *columnMax)
{
    const auto *keys = reinterpret_cast<const Key *>(row);
    auto *maxima = reinterpret_cast<Key *>(columnMax);
    for (int i = 0; i < n; ++i)
        maxima[i] = std::max(maxima[i], keys[i]);
}

template<typename Sample>
KELVARIN_PIXEL_LOOP void complement(Sample *p, qint64 n)
{
    for (qint64 i = 0; i < n; ++i)
        p[i] = Sample(~p[i]);
}

} // namespace

quint16 PixelLoops::byteSums(const quint8 *p, int step, int n, quint16 *out)
{
    return step == 3 ? byteSumsOf<3>(p, n, out) : byteSumsOf<4>(p, n, out);
}

quint16 PixelLoops::bytes(const quint8 *p, int step, int n, quint16 *out)
{
    return step == 1 ? bytesOf<1>(p, n, out) : bytesOf<2>(p, n, out);
}

quint16 PixelLoops::words(const quint16 *p, int step, int n, quint16 *out)
{
    return step == 1 ? wordsOf<1>(p, n, out) : wordsOf<2>(p, n, out);
}

quint16 PixelLoops::wordThirds(const quint16 *p, int step, int n, quint16 *out)
{
    return step == 3 ? wordThirdsOf<3>(p, n, out) : wordThirdsOf<4>(p, n, out);
}

void PixelLoops::raiseColumnMaxima(const quint16 *row, int n, quint16 *columnMax, bool narrow)
{
    if (narrow)
        raise<qint16>(row, n, columnMax);
    else
        raise<quint16>(row, n, columnMax);
}

void PixelLoops::invert(quint8 *p, qint64 n, int bytesPerSample)
{
    if (bytesPerSample == 2)
        complement(reinterpret_cast<quint16 *>(p), n);
    else
        complement(p, n);
}

#pragma once

#include <QRect>
#include <QtGlobal>

// A zone's pixels as keys of the image, and the brightness of every key: what
// the spot's refinements read. The key of (x, y) is
// keys[(y - rect.top()) * rowStride + (x - rect.left())].
struct ZoneKeys
{
    QRect rect; // clipped to the image; empty when the zone covers no pixel
    const quint16 *keys = nullptr;
    qsizetype rowStride = 0;
    const double *brightness = nullptr;
    bool ordered = false; // brightness never falls as the key grows

    quint16 key(int x, int y) const { return keys[qsizetype(y - rect.top()) * rowStride + (x - rect.left())]; }
    double at(int x, int y) const { return brightness[key(x, y)]; }
};

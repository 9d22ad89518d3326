#pragma once

#include "ZoneKeys.h"

#include <array>
#include <utility>
#include <vector>

// What the pixels on a zone's border say about the background under its spot:
// its level (the median, so a spot touching the border does not move it) and
// the noise of a single pixel.
struct ZoneBorder
{
    double level = 0; // the median, the level at the zone's middle
    double noise = 0; // standard deviation of one pixel's brightness
    // The background's tilt, levels per pixel, fitted to the border, and the
    // deviation of that estimate; both shrunk towards 0 where the noise could
    // have made the tilt.
    double tiltX = 0, tiltY = 0;
    double tiltNoiseX = 0, tiltNoiseY = 0;
    double middleX = 0, middleY = 0;

    // The plane of the background through the level at the middle.
    double at(int x, int y) const { return level + tiltX * (x - middleX) + tiltY * (y - middleY); }

    // Buffers reused from zone to zone.
    struct Scratch
    {
        std::vector<quint16> ring, part;
        std::vector<double> values;
        std::vector<quint32> counts;
    };

    // What to read off the border: the noise always, which costs least.
    enum class Reading { Noise, Level, LevelAndTilt };
    static ZoneBorder measure(const ZoneKeys &zone, Scratch &scratch, Reading reading);

private:
    static void walkBorder(const ZoneKeys &zone, std::vector<quint16> &ring);
    // Below this share of black pixels on the border the noise is read from
    // the differences alone.
    static constexpr double MinBlackShare = 0.02;
    static double noiseAboveBlack(const ZoneKeys &zone, Scratch &scratch, double blackShare);
    static double noiseOf(const ZoneKeys &zone, Scratch &scratch);
    static double medianOf(const ZoneKeys &zone, std::vector<quint16> &keys, Scratch &scratch, bool upper);
    static std::pair<quint16, quint16> middleKeys(std::vector<quint16> &keys, std::vector<quint32> &counts);
    static std::pair<quint16, quint16> keyRange(const std::vector<quint16> &keys);
    // The keys of ranks lowRank <= highRank (from 0) among keys counted from
    // `base` up, count(i) of key base + i; the ranks must be within the count.
    template<typename Count>
    static std::pair<quint16, quint16> keysOfRanks(quint16 base, size_t lowRank, size_t highRank, Count count)
    {
        std::pair<quint16, quint16> keys{0, 0};
        size_t below = 0;
        for (size_t i = 0;; ++i) {
            const size_t before = below;
            below += count(i);
            if (before <= lowRank && below > lowRank)
                keys.first = quint16(base + i);
            if (below > highRank) {
                keys.second = quint16(base + i);
                return keys;
            }
        }
    }
    static double levelAndSides(const ZoneKeys &zone, Scratch &scratch, std::array<double, 4> &sides);
    void fitTilt(const ZoneKeys &zone, const std::array<double, 4> &sides);
};

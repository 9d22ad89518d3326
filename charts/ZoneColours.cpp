#include "ZoneColours.h"

#include <array>

namespace ZoneColours {

QColor of(int zone)
{
    static const std::array<QRgb, 16> palette = {
        0x1f77b4, 0x2ca02c, 0x9467bd, 0x8c564b, 0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f,
        0x393b79, 0x637939, 0x8c6d31, 0x7b4173, 0x6baed6, 0x31a354, 0x756bb1, 0x000000,
    };
    return QColor(palette[std::size_t(std::max(zone - 1, 0)) % palette.size()]);
}

} // namespace ZoneColours

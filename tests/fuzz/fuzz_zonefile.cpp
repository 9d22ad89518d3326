// Feeds arbitrary bytes to the zone file reader under both decimal separators.
// Any input must parse to a (possibly partial) zone list without a crash or a
// sanitizer report; the zones read must then survive writing and reading back
// with their corners unchanged and, when written with an origin, that origin to
// four decimals.
#include "LocaleFormat.h"
#include "ZoneFile.h"

#include <QLocale>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

static void roundTrip(const QList<TZoneInfo> &zones)
{
    QList<TZoneInfo> withPoints = zones;
    for (TZoneInfo &zone : withPoints) {
        if (zone.hasOrigin())
            zone.points << VT_Point(zone.X0, zone.Y0);
    }
    const ZoneFile::ParseResult back = ZoneFile::parse(ZoneFile::format(withPoints));
    if (!back.ok || back.zones.size() != zones.size())
        abort();
    for (qsizetype i = 0; i < zones.size(); ++i) {
        const TZoneInfo &a = zones.at(i), &b = back.zones.at(i);
        if (a.X1 != b.X1 || a.Y1 != b.Y1 || a.X2 != b.X2 || a.Y2 != b.Y2)
            abort();
        // Origins too large for fixed notation to keep their place are left aside.
        if (a.hasOrigin() && std::fabs(a.X0) < 1e9 && std::fabs(a.Y0) < 1e9
            && (std::fabs(a.X0 - b.X0) > 0.00005 + 1e-9 || std::fabs(a.Y0 - b.Y0) > 0.00005 + 1e-9))
            abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1 << 16))
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia)}) {
        LocaleFormat::setLocale(locale);
        const ZoneFile::ParseResult parsed = ZoneFile::parse(bytes);
        if (!parsed.ok && parsed.badLine < 1)
            abort();
        roundTrip(parsed.zones);
    }
    return 0;
}

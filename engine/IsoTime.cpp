#include "IsoTime.h"

#include <cstdlib>

QString IsoTime::text(const QDateTime &time, Precision precision)
{
    if (!time.isValid())
        return {};
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString clock = precision == Precision::Milliseconds ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                               : QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    return time.toString(clock) + QLatin1Char(offset < 0 ? '-' : '+')
         + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString IsoTime::utcText(const QDateTime &time)
{
    return text(time.toUTC());
}

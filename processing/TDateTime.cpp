#include "TDateTime.h"

#include <cmath>

static const QDate epoch(1899, 12, 30);

double TDateTime::fromDateTime(const QDateTime &local)
{
    return fromDateAndTime(local.date(), local.time());
}

double TDateTime::fromDateAndTime(const QDate &date, const QTime &time)
{
    return double(epoch.daysTo(date)) + time.msecsSinceStartOfDay() / MillisecondsPerDay;
}

// Whole days and milliseconds of the day; the fraction counts from midnight of
// the truncated day (for dates before 1899 too, as the family's files do).
static void split(double days, qint64 *wholeDays, qint64 *msOfDay)
{
    const double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * TDateTime::MillisecondsPerDay);
    qint64 d = qint64(whole);
    if (ms >= qint64(TDateTime::MillisecondsPerDay)) {
        ms -= qint64(TDateTime::MillisecondsPerDay);
        d += days < 0 ? -1 : 1;
    }
    *wholeDays = d;
    *msOfDay = ms;
}

QDate TDateTime::datePart(double days)
{
    qint64 d = 0, ms = 0;
    split(days, &d, &ms);
    return epoch.addDays(d);
}

QTime TDateTime::timePart(double days)
{
    qint64 d = 0, ms = 0;
    split(days, &d, &ms);
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

QDateTime TDateTime::toDateTime(double days)
{
    return QDateTime(datePart(days), timePart(days));
}

static TClock *installedClock = nullptr;

TClock &TClock::instance()
{
    static TClock system;
    return installedClock ? *installedClock : system;
}

void TClock::setInstance(TClock *clock)
{
    installedClock = clock;
}

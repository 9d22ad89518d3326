#pragma once

#include <QDateTime>

// Date-time values as the settings and the log use them: days since
// 30 December 1899, the time of day as the fraction.
class TDateTime
{
public:
    static double fromDateTime(const QDateTime &local);
    static QDateTime toDateTime(double days);
    // Whole days (truncated toward zero) and the time of day, to the millisecond.
    static QDate datePart(double days);
    static QTime timePart(double days);
    static double fromDateAndTime(const QDate &date, const QTime &time);

    static constexpr double MillisecondsPerDay = 86400000.0;
};

// The current local time; tests of scheduled starts install their own clock.
class TClock
{
public:
    virtual ~TClock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    double nowDays() const { return TDateTime::fromDateTime(now()); }

    static TClock &instance();
    static void setInstance(TClock *clock); // nullptr restores the system clock
};

// The timing of a run, in days, as its log states it. RunElapsed is the
// processing time the log shows; zero leaves that line out (a watch).
struct TRunTimes
{
    double RunStart = 0;
    double RunEnd = 0;
    double RunElapsed = 0;

    // A run that ended: the elapsed time is the span from start to end.
    static TRunTimes finished(double start, double end) { return {start, end, end - start}; }
    // A watch's result set: no processing time line.
    static TRunTimes watched(double start, double end) { return {start, end, 0}; }
};

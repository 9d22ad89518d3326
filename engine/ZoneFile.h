#pragma once

#include "TZoneInfo.h"

#include <QByteArray>
#include <QList>

// The zone file (".zon"): one zone per line, fields separated by ";", numbers in
// the locale's notation; four fields X1;Y1;X2;Y2 or six with the origin X0;Y0.
class ZoneFile
{
public:
    struct ParseResult
    {
        QList<TZoneInfo> zones; // the zones of the lines before a bad one
        bool ok = true;         // false at the first bad line
        int badLine = 0;        // 1-based number of that line
    };

    // Lines may end with CR LF, LF or CR; an empty line (a blank last line
    // after the final line break included) is a bad line.
    static ParseResult parse(const QByteArray &bytes);

    // One line per zone, " ; " between fields, every number with four decimals
    // after the locale's separator, CR LF after every line. A zone with points
    // is written with its first point as origin; one without points gets four
    // fields, whatever origin it had.
    static QByteArray format(const QList<TZoneInfo> &zones);

    // Splits text into lines the way the family's files are read: CR LF, LF or
    // CR each end a line, and a final line break does not start another line.
    static QList<QByteArray> splitLines(const QByteArray &bytes);

private:
    static bool parseLine(const QString &line, TZoneInfo *zone);
};

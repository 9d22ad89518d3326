#pragma once

#include "TZoneInfo.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The zone file (".zon"): one zone per line, fields separated by ";", numbers in
// the locale's notation; four fields X1;Y1;X2;Y2 or six with the origin X0;Y0.
// Reading takes "." or "," in every number, whatever the locale: a file
// written under one locale means the same under another.
class ZoneFile
{
public:
    struct ParseResult
    {
        QList<TZoneInfo> zones; // the zones of the lines before a bad one
        bool ok = true;         // false at the first bad line
        int badLine = 0;        // 1-based number of that line
        QString reason;         // what is wrong with it ("меньше четырёх полей через ";"")
        // Origins given that are no number, one text per line ("строка 3: поле
        // Y0: «7;9» - не число"): the zone is read without them, as the
        // family reads it, and the reader says so instead of keeping quiet.
        QStringList warnings;
    };

    // Lines may end with CR LF, LF or CR; an empty line (a blank last line
    // after the final line break included) is a bad line. An origin value
    // that cannot be read stops the origin's reading there (what was not read
    // stays -1) and gives a warning.
    static ParseResult parse(const QByteArray &bytes);

    // Reads and parses the zone file at `fileName`, a regular file of bounded
    // size only (a named pipe there would block, a device such as /dev/zero
    // would never end). When it is not ok, `error` names the file and the
    // reason: what the file system said, or the bad line and what is wrong.
    static ParseResult read(const QString &fileName, QString *error);

    // One line per zone, " ; " between fields, every number with four decimals
    // after the locale's separator, CR LF after every line. A zone with points
    // is written with its first point as origin; one without points gets four
    // fields, whatever origin it had.
    static QByteArray format(const QList<TZoneInfo> &zones);

    // Splits text into lines the way the family's files are read: CR LF, LF or
    // CR each end a line, and a final line break does not start another line.
    static QList<QByteArray> splitLines(const QByteArray &bytes);

    // The texts of a zone line's fields, split as the family reads them: Y2
    // runs to the fourth ";" or the line's end; the origin texts exist only
    // with a fourth and a fifth ";", and Y0 is the whole rest after the fifth
    // (so a seventh field makes it unreadable). False with fewer than three ";".
    struct LineFields
    {
        QString corners[4];
        QString x0;
        QString y0;
    };
    static bool splitFields(const QString &line, LineFields *fields);

private:
    static bool parseLine(const QString &line, TZoneInfo *zone, QString *reason, QString *warning);
};

#pragma once

#include "TDateTime.h"
#include "TZoneInfo.h"

#include <QList>
#include <QString>

// The result set of a run: one coordinate file per zone (base + "_" + zone
// number + ".crd") and a processing log (base + "_time.log"), all single-byte
// text with CR LF line ends, each written whole and replaced atomically.
class ResultFiles
{
public:
    // Fixed notation, four decimals, halves away from zero, always ".".
    static QString FormatCoordinate(double value);

    // The first base "<dir>/<last component>_NNNN" (four digits up to 9999,
    // then as many as needed) none of whose files exists: no "BASE_..." (its
    // coordinate files, its log, its archives per image) and no one archive
    // "BASE.zip". Anything at a name takes it, a dangling link too, so a watch
    // never adds to what an earlier one left.
    static QString NextResultsBase(const QString &workDir);

    // One file per zone: a line "i TAB x - X0 TAB y - Y0" for every point i
    // that was found; points at (-1, -1) are skipped but keep their number.
    // Throws KelvarinError at the first file that cannot be written; the files
    // before it stay written.
    static void WriteCoordinateFiles(const QList<TZoneInfo> &zones, const QString &base);

    static QString coordinateFilePath(const QString &base, int zoneNumber);
    static QString logFilePath(const QString &base);
    static QByteArray coordinateFileBytes(const TZoneInfo &zone);
    // The log: start, end, processing time (only when elapsed > 0) and the
    // number of files, in the Windows Cyrillic code page.
    static QByteArray logBytes(int fileCount, const TRunTimes &times);

    // The locale's short date, a blank and its long time; the date alone at midnight.
    static QString DateTimeText(double days);
    // "H:M:S:MS", preceded by whole days and two blanks when there are any.
    static QString ElapsedText(double days);

    // Number of points of the first zone: the images processed.
    static int fileCount(const QList<TZoneInfo> &zones);
};

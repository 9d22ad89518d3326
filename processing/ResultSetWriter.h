#pragma once

#include "TDateTime.h"
#include "TZoneInfo.h"

#include <QList>
#include <QString>

// The one place a result set is written: a coordinate file per zone,
// "<base>_<zone>.crd", and the processing log "<base>_time.log". A run, a
// watch and the main window's "Сохранить координаты" all come here, and so
// does whatever keeps a record of result sets.
class ResultSetWriter
{
public:
    // Writes every file whole; all of them are complete on the disk before
    // the first replaces its earlier version, so a full disk leaves the
    // earlier result set byte for byte. Throws KelvarinError naming the file
    // that could not be written.
    static void write(const QList<TZoneInfo> &zones, const QString &base, const TRunTimes &times);
};

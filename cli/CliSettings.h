#pragma once

#include "TParameters.h"

#include <QString>

class TIssueSink;

// The settings a command runs with: the file given with --settings, else the
// user's own "Kelvarin2.ini", else the defaults; --zones replaces the zone file.
class CliSettings
{
public:
    // False (with `error` filled) when the given file cannot be used.
    static bool load(const QString &settingsFile, const QString &zonesFile, TParameters *params,
                     TIssueSink &reporter, QString *error);
};

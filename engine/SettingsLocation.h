#pragma once

#include <QString>

// Where the per-user settings files live: $XDG_CONFIG_HOME/kelvarin2/, by default
// ~/.config/kelvarin2/. Settings files are named by bare name ("Kelvarin2.ini",
// "ZymKelvarin.ini") and all lie there.
class SettingsLocation
{
public:
    static QString directory();
    // Full path of a bare-named settings file; creates the directory if needed.
    static QString filePath(const QString &bareName);
};

#pragma once

#include "SettingsLocation.h"

#include <QString>

struct TParameters;

// What the settings dialog needs from the main window: the settings it edits
// and the steps of OK that act on the window.
class TPropertysHost
{
public:
    virtual ~TPropertysHost() = default;

    // The settings in force, edited in place by OK.
    virtual TParameters &settings() = 0;
    // Points the file browser and the save dialogs at the working directory;
    // throws KelvarinError when it cannot be entered.
    virtual void applyWorkDir(const QString &dir) = 0;
    // Switches to a start style; throws KelvarinError, changing nothing, when
    // it cannot (style 2 without its buffer directory).
    virtual void SetStartStyle(int style) = 0;
    // The end of OK: writes the settings file, reads the zone file again and,
    // when it was read, redraws the zones over the image.
    virtual void settingsTakenOver() = 0;
    // The settings file OK writes (the monitoring page writes its keys there too).
    virtual QString settingsFileName() const { return SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini")); }
};

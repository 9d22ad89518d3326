#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class IniFile;

// The monitoring keys of section "Parameters": reference zones against camera
// movement, millimetres per pixel, the warning and alarm limits and the alarm
// command. Zone numbers are 1-based as in the coordinate file names. A pixel
// size or limit of 0 means "not set"; keys named after a zone ("PixelSize_3",
// "WarningLimit_3", "AlarmLimit_3") override the general value for that zone.
struct MonitoringSettings
{
    QList<int> referenceZones;
    double pixelSize = 0;            // millimetres per pixel, all zones
    QMap<int, double> zonePixelSizes;
    double warningLimit = 0;         // on the displacement's magnitude
    double alarmLimit = 0;
    QMap<int, double> zoneWarningLimits;
    QMap<int, double> zoneAlarmLimits;
    QString alarmCommand;            // program and arguments, no shell

    bool operator==(const MonitoringSettings &) const = default;

    // Millimetres per pixel of a zone, 0 when its values stay in pixels.
    double pixelSizeOf(int zone) const;
    bool inMillimetres(int zone) const { return pixelSizeOf(zone) > 0; }
    // The limits of a zone in its own unit, 0 when not set.
    double warningLimitOf(int zone) const;
    double alarmLimitOf(int zone) const;
    bool hasLimits() const;

    // Reads the keys from a loaded settings file. A value that cannot be read
    // (not a number, negative, a zone list with garbage) is left unset and its
    // key named in `problems`, so that the caller can say what was ignored.
    static MonitoringSettings read(const IniFile &ini, QStringList *problems = nullptr);
    // Reads the keys of the settings a run recorded in the journal ("Key=Value"
    // lines), as read() does.
    static MonitoringSettings fromSettingsText(const QString &text, QStringList *problems = nullptr);
    // Reads the keys of a settings file; a missing file gives no monitoring.
    static MonitoringSettings readFile(const QString &fileName, QStringList *problems = nullptr);
    // Writes the general keys in their order, then the zone keys, each after
    // the keys already in the file; a key whose value is already there, or an
    // unset one that is not there, is left alone. A key that is no longer
    // wanted is written empty, which reads as unset. False at the first failure.
    bool write(IniFile &ini) const;

    // "5,9" or "5; 9" or "5 9": zone numbers above 0; an empty text is no zone.
    static bool parseZoneList(const QString &text, QList<int> *zones);
    static QString formatZoneList(const QList<int> &zones);
};

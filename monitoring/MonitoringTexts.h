#pragma once

#include "MonitoringSettings.h"

#include <QMap>
#include <QString>

// What the settings page "Мониторинг" shows, as texts in the user's locale,
// and taking them over with their checks, without widgets.
struct MonitoringTexts
{
    struct ZoneTexts
    {
        QString pixelSize;
        QString warningLimit;
        QString alarmLimit;
        bool operator==(const ZoneTexts &) const = default;
    };

    QString referenceZones;
    QString pixelSize;
    QString warningLimit;
    QString alarmLimit;
    QString alarmCommand;
    QMap<int, ZoneTexts> zones; // by zone number; empty texts use the general value

    bool operator==(const MonitoringTexts &) const = default;

    static MonitoringTexts fromSettings(const MonitoringSettings &settings);

    // The settings these texts give. `zoneCount` is the number of zones of the
    // zone file (-1 when it cannot be read: zone numbers are then not checked).
    // False with `error` naming the field and the reason: a number that is not
    // one, a negative one, a zone the zone file does not have, a warning limit
    // not below the alarm limit.
    bool toSettings(int zoneCount, MonitoringSettings *settings, QString *error) const;
};

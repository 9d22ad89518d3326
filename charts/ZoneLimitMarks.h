#pragma once

#include "Displacement.h"

#include <QMap>
#include <QString>

class QLabel;
class QListWidget;

// Where each zone stands against its limits, as the chart window shows it: a
// coloured mark on the zone's row of the zone list (yellow for a warning, red
// for an alarm; the level is the row's data too) and a banner above the plot
// naming the zones past a limit. Hidden while every zone is within its limits.
class ZoneLimitMarks final
{
public:
    // The row data role holding a zone's LimitLevel as an int.
    static constexpr int LevelRole = Qt::UserRole + 1;

    static void mark(QListWidget *zones, const QMap<int, LimitLevel> &levels);
    static void showBanner(QLabel *banner, const QMap<int, LimitLevel> &levels);
    // "АВАРИЯ: зона 3. ПРЕДУПРЕЖДЕНИЕ: зоны 1, 2." Empty when none.
    static QString bannerText(const QMap<int, LimitLevel> &levels);
};

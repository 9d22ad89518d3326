#include "ZoneLimitMarks.h"

#include <QLabel>
#include <QListWidget>
#include <QStringList>

static QColor levelColour(LimitLevel level)
{
    return level == LimitLevel::Alarm ? QColor(0xe0, 0, 0) : QColor(0xff, 0xd8, 0);
}

void ZoneLimitMarks::mark(QListWidget *zones, const QMap<int, LimitLevel> &levels)
{
    for (int i = 0; i < zones->count(); ++i) {
        QListWidgetItem *item = zones->item(i);
        const LimitLevel level = levels.value(item->data(Qt::UserRole).toInt(), LimitLevel::None);
        item->setData(LevelRole, int(level));
        if (level == LimitLevel::None) {
            item->setData(Qt::BackgroundRole, QVariant());
            item->setData(Qt::ForegroundRole, QVariant());
            item->setToolTip(QString());
            continue;
        }
        item->setBackground(levelColour(level));
        item->setForeground(level == LimitLevel::Alarm ? Qt::white : Qt::black);
        item->setToolTip(level == LimitLevel::Alarm ? QStringLiteral("Аварийный предел превышен")
                                                    : QStringLiteral("Предупредительный предел превышен"));
    }
}

// One zone is "зона 3", several "зоны 1, 2".
static QString zoneNames(const QList<int> &zones)
{
    QStringList numbers;
    for (int zone : zones)
        numbers << QString::number(zone);
    return (zones.size() == 1 ? QStringLiteral("зона ") : QStringLiteral("зоны ")) + numbers.join(QStringLiteral(", "));
}

QString ZoneLimitMarks::bannerText(const QMap<int, LimitLevel> &levels)
{
    QList<int> alarms, warnings;
    for (auto it = levels.cbegin(); it != levels.cend(); ++it) {
        if (it.value() == LimitLevel::Alarm)
            alarms << it.key();
        else if (it.value() == LimitLevel::Warning)
            warnings << it.key();
    }
    QStringList parts;
    if (!alarms.isEmpty())
        parts << QStringLiteral("АВАРИЯ: %1.").arg(zoneNames(alarms));
    if (!warnings.isEmpty())
        parts << QStringLiteral("ПРЕДУПРЕЖДЕНИЕ: %1.").arg(zoneNames(warnings));
    return parts.join(QLatin1Char(' '));
}

void ZoneLimitMarks::showBanner(QLabel *banner, const QMap<int, LimitLevel> &levels)
{
    const QString text = bannerText(levels);
    banner->setText(text);
    banner->setVisible(!text.isEmpty());
    const bool alarm = text.startsWith(QStringLiteral("АВАРИЯ"));
    banner->setStyleSheet(alarm ? QStringLiteral("QLabel { background: #e00000; color: white; font-weight: bold; padding: 4px; }")
                                : QStringLiteral("QLabel { background: #ffd800; color: black; font-weight: bold; padding: 4px; }"));
}

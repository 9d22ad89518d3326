#include "MonitoringTexts.h"

#include "LocaleFormat.h"

namespace {

QString text(double value)
{
    return value > 0 ? LocaleFormat::formatGeneral(value) : QString();
}

// An empty text is "not set" (0); otherwise a number not below zero.
bool amount(const QString &text, const QString &field, double *value, QString *error)
{
    *value = 0;
    if (text.trimmed().isEmpty())
        return true;
    if (!LocaleFormat::parseReal(text, value)) {
        *error = QStringLiteral("%1: \"%2\" не является числом").arg(field, text.trimmed());
        return false;
    }
    if (!(*value >= 0)) {
        *error = QStringLiteral("%1: \"%2\" - число меньше нуля").arg(field, text.trimmed());
        return false;
    }
    return true;
}

bool zoneExists(int zone, int zoneCount, const QString &field, QString *error)
{
    if (zoneCount < 0 || zone <= zoneCount)
        return true;
    *error = QStringLiteral("%1: зоны %2 нет в файле зон (зон в нем: %3)").arg(field).arg(zone).arg(zoneCount);
    return false;
}

bool limitsInOrder(double warning, double alarm, const QString &where, QString *error)
{
    if (warning <= 0 || alarm <= 0 || warning < alarm)
        return true;
    *error = QStringLiteral("%1: предупредительный предел должен быть меньше аварийного").arg(where);
    return false;
}

} // namespace

MonitoringTexts MonitoringTexts::fromSettings(const MonitoringSettings &s)
{
    MonitoringTexts t;
    t.referenceZones = MonitoringSettings::formatZoneList(s.referenceZones);
    t.pixelSize = text(s.pixelSize);
    t.warningLimit = text(s.warningLimit);
    t.alarmLimit = text(s.alarmLimit);
    t.alarmCommand = s.alarmCommand;
    for (auto it = s.zonePixelSizes.begin(); it != s.zonePixelSizes.end(); ++it)
        t.zones[it.key()].pixelSize = text(it.value());
    for (auto it = s.zoneWarningLimits.begin(); it != s.zoneWarningLimits.end(); ++it)
        t.zones[it.key()].warningLimit = text(it.value());
    for (auto it = s.zoneAlarmLimits.begin(); it != s.zoneAlarmLimits.end(); ++it)
        t.zones[it.key()].alarmLimit = text(it.value());
    return t;
}

bool MonitoringTexts::toSettings(int zoneCount, MonitoringSettings *settings, QString *error) const
{
    MonitoringSettings s;
    if (!MonitoringSettings::parseZoneList(referenceZones, &s.referenceZones)) {
        *error = QStringLiteral("Опорные зоны: \"%1\" - нужны номера зон через запятую").arg(referenceZones.trimmed());
        return false;
    }
    for (int zone : std::as_const(s.referenceZones)) {
        if (!zoneExists(zone, zoneCount, QStringLiteral("Опорные зоны"), error))
            return false;
    }
    if (!amount(pixelSize, QStringLiteral("Размер пикселя"), &s.pixelSize, error)
        || !amount(warningLimit, QStringLiteral("Предупредительный предел"), &s.warningLimit, error)
        || !amount(alarmLimit, QStringLiteral("Аварийный предел"), &s.alarmLimit, error)
        || !limitsInOrder(s.warningLimit, s.alarmLimit, QStringLiteral("Пределы"), error))
        return false;
    s.alarmCommand = alarmCommand.trimmed();
    for (auto it = zones.begin(); it != zones.end(); ++it) {
        const int zone = it.key();
        const QString where = QStringLiteral("Зона %1").arg(zone);
        double size = 0, warning = 0, alarm = 0;
        if (!amount(it->pixelSize, where + QStringLiteral(", размер пикселя"), &size, error)
            || !amount(it->warningLimit, where + QStringLiteral(", предупредительный предел"), &warning, error)
            || !amount(it->alarmLimit, where + QStringLiteral(", аварийный предел"), &alarm, error))
            return false;
        if ((size > 0 || warning > 0 || alarm > 0) && !zoneExists(zone, zoneCount, where, error))
            return false;
        if (!limitsInOrder(warning > 0 ? warning : s.warningLimit, alarm > 0 ? alarm : s.alarmLimit, where, error))
            return false;
        if (size > 0)
            s.zonePixelSizes.insert(zone, size);
        if (warning > 0)
            s.zoneWarningLimits.insert(zone, warning);
        if (alarm > 0)
            s.zoneAlarmLimits.insert(zone, alarm);
    }
    *settings = s;
    return true;
}

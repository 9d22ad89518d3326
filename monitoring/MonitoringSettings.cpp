#include "MonitoringSettings.h"

#include "IniFile.h"
#include "LocaleFormat.h"
#include "TParameters.h"

#include <QRegularExpression>

namespace {

const QString &section()
{
    static const QString name = QString::fromLatin1(ParametersSection);
    return name;
}

// A zone key is "<name>_<zone>", the zone a number above 0.
int zoneOfKey(const QString &key, const QString &name)
{
    if (!key.startsWith(name + QLatin1Char('_'), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int zone = key.mid(name.size() + 1).toInt(&ok);
    return ok && zone > 0 ? zone : 0;
}

// A key the reader refused, with its line: "PixelSize (строка 7)".
QString problemText(const IniFile &ini, const QString &key)
{
    return QStringLiteral("%1 (строка %2)").arg(key).arg(ini.lineOf(section(), key));
}

// A non-negative number with "." or ","; an empty value is unset.
bool readAmount(const IniFile &ini, const QString &key, double *amount, QStringList *problems)
{
    QString text;
    *amount = 0;
    if (!ini.value(section(), key, &text) || text.trimmed().isEmpty())
        return false;
    double number = 0;
    if (!LocaleFormat::parseReal(text, &number) || !(number >= 0)) {
        if (problems)
            *problems << problemText(ini, key);
        return false;
    }
    *amount = number;
    return true;
}

void readZoneAmounts(const IniFile &ini, const QString &name, QMap<int, double> *amounts, QStringList *problems)
{
    for (const QString &key : ini.keys(section())) {
        const int zone = zoneOfKey(key, name);
        double amount = 0;
        if (zone > 0 && readAmount(ini, key, &amount, problems) && amount > 0)
            amounts->insert(zone, amount);
    }
}

QString amountText(double amount)
{
    return amount > 0 ? LocaleFormat::formatGeneral(amount) : QString();
}

// Zone keys in the file that the settings no longer hold are emptied.
bool writeZoneAmounts(IniFile &ini, const QString &name, const QMap<int, double> &amounts)
{
    QMap<int, QString> texts;
    for (const QString &key : ini.keys(section())) {
        if (const int zone = zoneOfKey(key, name))
            texts.insert(zone, QString());
    }
    for (auto it = amounts.begin(); it != amounts.end(); ++it)
        texts.insert(it.key(), amountText(it.value()));
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        QString current;
        const QString key = name + QLatin1Char('_') + QString::number(it.key());
        // Unchanged keys are not rewritten: each write replaces the whole file.
        if (ini.value(section(), key, &current) && current == it.value())
            continue;
        if (!ini.writeString(section(), key, it.value()))
            return false;
    }
    return true;
}

// The reader takes a value between a pair of quotes as its inside: a command
// that begins and ends with a quote ("/opt/my tools/notify" "{image}") gets
// one more pair, so that it reads back as it was.
QString protectedQuotes(const QString &value)
{
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        return value.front() + value + value.back();
    return value;
}

} // namespace

double MonitoringSettings::pixelSizeOf(int zone) const
{
    return zonePixelSizes.value(zone, pixelSize);
}

double MonitoringSettings::warningLimitOf(int zone) const
{
    return zoneWarningLimits.value(zone, warningLimit);
}

double MonitoringSettings::alarmLimitOf(int zone) const
{
    return zoneAlarmLimits.value(zone, alarmLimit);
}

bool MonitoringSettings::hasLimits() const
{
    return warningLimit > 0 || alarmLimit > 0 || !zoneWarningLimits.isEmpty() || !zoneAlarmLimits.isEmpty();
}

MonitoringSettings MonitoringSettings::read(const IniFile &ini, QStringList *problems)
{
    MonitoringSettings s;
    QString zones;
    if (ini.value(section(), QStringLiteral("ReferenceZones"), &zones) && !parseZoneList(zones, &s.referenceZones)) {
        s.referenceZones.clear();
        if (problems)
            *problems << problemText(ini, QStringLiteral("ReferenceZones"));
    }
    readAmount(ini, QStringLiteral("PixelSize"), &s.pixelSize, problems);
    readAmount(ini, QStringLiteral("WarningLimit"), &s.warningLimit, problems);
    readAmount(ini, QStringLiteral("AlarmLimit"), &s.alarmLimit, problems);
    s.alarmCommand = ini.readString(section(), QStringLiteral("AlarmCommand"), QString()).trimmed();
    readZoneAmounts(ini, QStringLiteral("PixelSize"), &s.zonePixelSizes, problems);
    readZoneAmounts(ini, QStringLiteral("WarningLimit"), &s.zoneWarningLimits, problems);
    readZoneAmounts(ini, QStringLiteral("AlarmLimit"), &s.zoneAlarmLimits, problems);
    return s;
}

MonitoringSettings MonitoringSettings::fromSettingsText(const QString &text, QStringList *problems)
{
    // A document held in memory only, never loaded or committed.
    IniFile ini{QString()};
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            ini.setString(section(), line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return read(ini, problems);
}

MonitoringSettings MonitoringSettings::readFile(const QString &fileName, QStringList *problems)
{
    IniFile ini(fileName);
    ini.load();
    return read(ini, problems);
}

bool MonitoringSettings::write(IniFile &ini) const
{
    if (!ini.load())
        return false;
    const QList<QPair<QString, QString>> general = {
        {QStringLiteral("ReferenceZones"), formatZoneList(referenceZones)},
        {QStringLiteral("PixelSize"), amountText(pixelSize)},
        {QStringLiteral("WarningLimit"), amountText(warningLimit)},
        {QStringLiteral("AlarmLimit"), amountText(alarmLimit)},
        {QStringLiteral("AlarmCommand"), protectedQuotes(alarmCommand)},
    };
    for (const auto &[key, text] : general) {
        // Only what changes is written: a settings file of a station without
        // monitoring stays as it was, byte for byte.
        QString current;
        const bool present = ini.value(section(), key, &current);
        if ((!present && text.isEmpty()) || (present && protectedQuotes(current) == text))
            continue;
        if (!ini.writeString(section(), key, text))
            return false;
    }
    return writeZoneAmounts(ini, QStringLiteral("PixelSize"), zonePixelSizes)
        && writeZoneAmounts(ini, QStringLiteral("WarningLimit"), zoneWarningLimits)
        && writeZoneAmounts(ini, QStringLiteral("AlarmLimit"), zoneAlarmLimits);
}

bool MonitoringSettings::parseZoneList(const QString &text, QList<int> *zones)
{
    zones->clear();
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    for (const QString &part : text.split(separators, Qt::SkipEmptyParts)) {
        int zone = 0;
        if (!LocaleFormat::parseInteger(part, &zone, false) || zone < 1) {
            zones->clear();
            return false;
        }
        if (!zones->contains(zone))
            zones->append(zone);
    }
    return true;
}

QString MonitoringSettings::formatZoneList(const QList<int> &zones)
{
    QStringList parts;
    for (int zone : zones)
        parts << QString::number(zone);
    return parts.join(QLatin1Char(','));
}

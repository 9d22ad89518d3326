#include "ZoneFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "LocaleFormat.h"
#include "RegularFile.h"

#include <cmath>
#include <limits>

QList<QByteArray> ZoneFile::splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines << bytes.mid(start, i - start);
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.mid(start);
    return lines;
}

// A corner is a number truncated toward zero; one that does not fit a 32-bit
// integer is no corner at all.
static bool readCorner(const QString &text, int *value)
{
    double number = 0;
    if (!LocaleFormat::parseReal(text, &number))
        return false;
    const double truncated = std::trunc(number);
    if (!(truncated >= std::numeric_limits<int>::min() && truncated <= std::numeric_limits<int>::max()))
        return false;
    *value = int(truncated);
    return true;
}

bool ZoneFile::splitFields(const QString &line, LineFields *fields)
{
    QList<qsizetype> semicolons;
    for (qsizetype i = line.indexOf(QLatin1Char(';')); i >= 0; i = line.indexOf(QLatin1Char(';'), i + 1))
        semicolons << i;
    if (semicolons.size() < 3)
        return false;
    auto field = [&](qsizetype from, qsizetype to) { return line.mid(from, to - from); };
    const qsizetype y2End = semicolons.size() > 3 ? semicolons[3] : line.size();
    fields->corners[0] = field(0, semicolons[0]);
    fields->corners[1] = field(semicolons[0] + 1, semicolons[1]);
    fields->corners[2] = field(semicolons[1] + 1, semicolons[2]);
    fields->corners[3] = field(semicolons[2] + 1, y2End);
    fields->x0.clear();
    fields->y0.clear();
    if (semicolons.size() >= 5) {
        fields->x0 = field(semicolons[3] + 1, semicolons[4]);
        fields->y0 = line.mid(semicolons[4] + 1);
    }
    return true;
}

static QString notANumber(const char *field, const QString &text)
{
    return QStringLiteral("поле %1: «%2» - не число").arg(QLatin1String(field), text.trimmed());
}

bool ZoneFile::parseLine(const QString &line, TZoneInfo *zone, QString *reason, QString *warning)
{
    LineFields fields;
    if (!splitFields(line, &fields)) {
        *reason = QStringLiteral("меньше четырёх полей через \";\"");
        return false;
    }
    static const char *const cornerNames[] = {"X1", "Y1", "X2", "Y2"};
    int *const corners[] = {&zone->X1, &zone->Y1, &zone->X2, &zone->Y2};
    for (int i = 0; i < 4; ++i) {
        if (!readCorner(fields.corners[i], corners[i])) {
            *reason = notANumber(cornerNames[i], fields.corners[i]);
            return false;
        }
    }
    // Reading stops at the first origin value that cannot be read; what was
    // not read stays -1. An absent origin (four or five fields, or both
    // origin fields empty) is no fault.
    zone->X0 = -1;
    zone->Y0 = -1;
    if (fields.x0.trimmed().isEmpty() && fields.y0.trimmed().isEmpty())
        return true;
    double x0 = 0, y0 = 0;
    if (!LocaleFormat::parseReal(fields.x0, &x0)) {
        *warning = notANumber("X0", fields.x0);
        return true;
    }
    zone->X0 = x0;
    if (!LocaleFormat::parseReal(fields.y0, &y0))
        *warning = notANumber("Y0", fields.y0);
    else
        zone->Y0 = y0;
    return true;
}

ZoneFile::ParseResult ZoneFile::parse(const QByteArray &bytes)
{
    ParseResult result;
    const QList<QByteArray> lines = splitLines(bytes);
    for (int i = 0; i < lines.size(); ++i) {
        TZoneInfo zone;
        QString warning;
        if (!parseLine(Cp1251::decode(lines.at(i)), &zone, &result.reason, &warning)) {
            result.ok = false;
            result.badLine = i + 1;
            return result;
        }
        if (!warning.isEmpty())
            result.warnings << QStringLiteral("строка %1: %2").arg(i + 1).arg(warning);
        result.zones << zone;
    }
    return result;
}

QByteArray ZoneFile::format(const QList<TZoneInfo> &zones)
{
    auto number = [](double value) { return Cp1251::encode(LocaleFormat::formatFixed(value, 4)); };
    QList<QByteArray> lines;
    for (const TZoneInfo &zone : zones) {
        QList<QByteArray> fields = {number(zone.X1), number(zone.Y1), number(zone.X2), number(zone.Y2)};
        if (!zone.points.isEmpty()) {
            fields << number(zone.points.first().x) << number(zone.points.first().y);
        }
        lines << fields.join(" ; ");
    }
    return AtomicFile::crlfLines(lines);
}

ZoneFile::ParseResult ZoneFile::read(const QString &fileName, QString *error)
{
    ParseResult parsed;
    QByteArray bytes;
    if (RegularFile::read(fileName, &bytes, error) != RegularFile::Status::Ok) {
        parsed.ok = false;
        return parsed;
    }
    parsed = parse(bytes);
    if (!parsed.ok)
        *error = QStringLiteral("%1, строка %2: %3").arg(fileName).arg(parsed.badLine).arg(parsed.reason);
    return parsed;
}

#include "MonitoringExport.h"

#include "Displacement.h"
#include "LocaleFormat.h"

static QString number(double value)
{
    return LocaleFormat::formatFixed(value, 4, QLatin1Char('.'));
}

namespace MonitoringExport {

QStringList header()
{
    return {QStringLiteral("dx_corrected"), QStringLiteral("dy_corrected"), QStringLiteral("dx_mm"),
            QStringLiteral("dy_mm")};
}

QList<QStringList> columns(const QList<TJournalRow> &rows, const MonitoringSettings &settings)
{
    const bool correcting = !settings.referenceZones.isEmpty();
    QList<QStringList> result;
    result.reserve(rows.size());
    for (const DisplacementPoint &p : Displacement::evaluate(rows, settings)) {
        QStringList fields(4);
        if (p.hasCorrected) {
            fields[0] = number(p.dxCorrected);
            fields[1] = number(p.dyCorrected);
        }
        const bool source = correcting ? p.hasCorrected : p.valid;
        if (source && p.inMillimetres()) {
            fields[2] = number((correcting ? p.dxCorrected : p.dx) * p.pixelSize);
            fields[3] = number((correcting ? p.dyCorrected : p.dy) * p.pixelSize);
        }
        result << fields;
    }
    return result;
}

JournalExport::ExtraColumns extraColumns(const MonitoringSettings &settings)
{
    // Only what the settings ask for: without reference zones and pixel sizes
    // the export keeps exactly its own columns, so scripts reading it by
    // position go on working.
    const bool corrected = !settings.referenceZones.isEmpty();
    const bool millimetres = settings.pixelSize > 0 || !settings.zonePixelSizes.isEmpty();
    if (!corrected && !millimetres)
        return {};
    const QStringList all = header();
    QList<int> kept;
    if (corrected)
        kept << 0 << 1;
    if (millimetres)
        kept << 2 << 3;
    QStringList names;
    for (int i : kept)
        names << all.at(i);
    return {names, [settings, kept](const QList<TJournalRow> &imageRows) {
                QList<QStringList> values = columns(imageRows, settings);
                for (QStringList &row : values) {
                    QStringList chosen;
                    for (int i : kept)
                        chosen << row.value(i);
                    row = chosen;
                }
                return values;
            }};
}

} // namespace MonitoringExport

#include "DisplacementCsv.h"

#include "AtomicFile.h"
#include "LocaleFormat.h"
#include "TJournal.h"

#include <QStringList>

#include <cmath>

QString DisplacementCsv::componentName(DisplacementComponent component)
{
    return component == DisplacementComponent::Dx   ? QStringLiteral("dx")
           : component == DisplacementComponent::Dy ? QStringLiteral("dy")
                                                    : QStringLiteral("magnitude");
}

// A field with a comma, a quote or a line break is quoted, its quotes doubled.
static QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QByteArray DisplacementCsv::table(const DisplacementSeries &series, const QList<int> &images, const QList<int> &zones,
                                  DisplacementComponent component, bool corrected)
{
    QStringList header{QStringLiteral("number"), QStringLiteral("image"), QStringLiteral("time")};
    QList<QList<double>> columns;
    for (int zone : zones) {
        header << QStringLiteral("zone%1_%2%3_%4")
                      .arg(zone)
                      .arg(componentName(component), corrected ? QStringLiteral("_corrected") : QString(),
                           series.inMillimetres(zone) ? QStringLiteral("mm") : QStringLiteral("px"));
        columns << series.values(zone, component, corrected, images);
    }
    QList<QByteArray> lines{header.join(QLatin1Char(',')).toUtf8()};
    for (qsizetype i = 0; i < images.size(); ++i) {
        const DisplacementSeries::Image &image = series.image(images.at(i));
        QStringList fields{QString::number(image.number), csvField(image.name),
                           image.time.isValid() ? TJournal::isoTime(image.time) : QString()};
        for (const QList<double> &column : std::as_const(columns)) {
            const double y = column.at(i);
            fields << (std::isnan(y) ? QString() : LocaleFormat::formatFixed(y, 4, QLatin1Char('.')));
        }
        lines << fields.join(QLatin1Char(',')).toUtf8();
    }
    return AtomicFile::crlfLines(lines);
}

#include "DisplacementCsv.h"

#include "AtomicFile.h"
#include "CsvField.h"
#include "IsoTime.h"
#include "LocaleFormat.h"

#include <QStringList>

#include <cmath>

QString DisplacementCsv::componentName(DisplacementComponent component)
{
    return component == DisplacementComponent::Dx   ? QStringLiteral("dx")
           : component == DisplacementComponent::Dy ? QStringLiteral("dy")
                                                    : QStringLiteral("magnitude");
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
        QStringList fields{QString::number(image.number), QString::fromUtf8(CsvField::encode(image.name)),
                           IsoTime::text(image.time)};
        for (const QList<double> &column : std::as_const(columns)) {
            const double y = column.at(i);
            fields << (std::isnan(y) ? QString() : LocaleFormat::formatFixed(y, 4, QLatin1Char('.')));
        }
        lines << fields.join(QLatin1Char(',')).toUtf8();
    }
    return AtomicFile::crlfLines(lines);
}

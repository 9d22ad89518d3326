#include "ChartToolTip.h"

#include "LocaleFormat.h"

#include <QList>
#include <QPair>
#include <QStringList>

QString ChartToolTip::timeText(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return LocaleFormat::shortDate(local.date()) + QLatin1Char(' ') + LocaleFormat::longTime(local.time());
}

QString ChartToolTip::text(const DisplacementSeries &series, int zone, int image, bool corrected)
{
    const QString unit = Displacement::unitName(series.inMillimetres(zone));
    const DisplacementSeries::Image &shown = series.image(image);
    QStringList lines {
        QStringLiteral("Зона %1%2").arg(zone).arg(corrected ? QStringLiteral(", с поправкой") : QString()),
        QStringLiteral("Снимок %1: %2").arg(shown.number).arg(shown.name), timeText(shown.time)};
    const QList<QPair<QString, DisplacementComponent>> parts
        = {{QStringLiteral("dx"), DisplacementComponent::Dx}, {QStringLiteral("dy"), DisplacementComponent::Dy},
            {QStringLiteral("модуль"), DisplacementComponent::Magnitude}};
    for (const auto &[name, part] : parts) {
        double v = 0;
        if (series.value(zone, image, part, corrected, &v))
            lines << QStringLiteral("%1 = %2 %3").arg(name, LocaleFormat::formatFixed(v, 4), unit);
    }
    return lines.join(QLatin1Char('\n'));
}

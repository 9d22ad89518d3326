#include "ChartToolTip.h"

#include "LocaleFormat.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <algorithm>
#include <cmath>

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
    double sx = 0;
    double sy = 0;
    if (series.uncertainty(zone, image, DisplacementComponent::Dx, corrected, &sx)
        && series.uncertainty(zone, image, DisplacementComponent::Dy, corrected, &sy))
        lines << QStringLiteral("sx = %1 %3, sy = %2 %3").arg(uncertaintyText(sx), uncertaintyText(sy), unit);
    // More than one spot above the threshold: the centre is of the brightest
    // one, and the other may be a second target or a reflection.
    const int spots = series.spots(zone, image);
    if (spots > 1)
        lines << QStringLiteral("Несколько пятен: %1").arg(spots);
    return lines.join(QLatin1Char('\n'));
}

QString ChartToolTip::uncertaintyText(double value)
{
    // Two significant digits, at least four decimals as the values have.
    int decimals = 4;
    if (value > 0 && std::isfinite(value))
        decimals = std::clamp(1 - int(std::floor(std::log10(value))), 4, 9);
    return LocaleFormat::formatFixed(value, decimals);
}

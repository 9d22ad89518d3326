#include "MainFormRules.h"

#include "LocaleFormat.h"

#include <QDir>
#include <QPair>


QStringList MainFormRules::runImages(const QStringList &all, const QStringList &selected, int startStyle)
{
    return startStyle == 1 ? all : selected;
}

QString MainFormRules::noImagesText(int startStyle)
{
    return startStyle == 1 ? QStringLiteral(" В директории нет изображений. Ничего не записано.")
                           : QStringLiteral(" Не выбрано ни одного изображения. Ничего не записано.");
}

// Minutes and seconds, hours in front when there are any: 1:05, 2:03:09.
static QString durationText(qint64 seconds)
{
    const qint64 hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    const QString tail = QStringLiteral("%1:%2").arg(minutes, hours > 0 ? 2 : 1, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + tail : tail;
}

QString MainFormRules::progressText(int done, int total, qint64 elapsedMs)
{
    const QString count = QStringLiteral("%1 из %2").arg(done).arg(total);
    if (done <= 0 || done >= total)
        return count;
    // Rounded up: "0:00 left" while an image is still to come would mislead.
    const qint64 leftMs = elapsedMs * (total - done) / done;
    return count + QStringLiteral(", осталось ") + durationText((leftMs + 999) / 1000);
}

QString MainFormRules::runSummary(int imagesProcessed, const QList<TZoneInfo> &zones, const QString &resultsBase)
{
    QStringList parts{QStringLiteral("Изображений: %1.").arg(imagesProcessed)};
    for (int k = 0; k < zones.size(); ++k) {
        int found = 0;
        for (const VT_Point &p : zones.at(k).points)
            found += p.isNotFound() ? 0 : 1;
        parts << QStringLiteral("Зона %1: точек найдено %2 из %3.").arg(k + 1).arg(found).arg(imagesProcessed);
    }
    if (!resultsBase.isEmpty())
        parts << QStringLiteral("Результаты: %1_<зона>.crd, %1_time.log.").arg(QDir::toNativeSeparators(resultsBase));
    return parts.join(QLatin1Char(' '));
}

QString MainFormRules::spotsText(const QList<TZoneMeasurement> &zones)
{
    QList<QPair<qsizetype, int>> many; // zone index, spots
    for (qsizetype k = 0; k < zones.size(); ++k) {
        if (zones.at(k).spots > 1)
            many.append({k, zones.at(k).spots});
    }
    if (many.size() == 1)
        return QStringLiteral("Зона %1: несколько пятен (%2)").arg(many.first().first + 1).arg(many.first().second);
    QStringList named;
    for (const auto &[zone, spots] : many)
        named << QStringLiteral("%1 (%2)").arg(zone + 1).arg(spots);
    return named.isEmpty() ? QString() : QStringLiteral("Зоны %1: несколько пятен").arg(named.join(QStringLiteral(", ")));
}

QString MainFormRules::resultsBaseFromChosenPath(const QString &path)
{
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = path.indexOf(QLatin1Char('.'), nameStart);
    return dot < 0 ? path : path.left(dot);
}

QString MainFormRules::positionText(QPoint imagePoint)
{
    return QStringLiteral(" X= ") + QString::number(imagePoint.x()) + QStringLiteral(";  Y= ")
        + QString::number(imagePoint.y()) + QLatin1Char(' ');
}

QString MainFormRules::brightnessText(unsigned int argb)
{
    const unsigned int red = (argb >> 16) & 0xff, green = (argb >> 8) & 0xff, blue = argb & 0xff;
    return LocaleFormat::formatGeneral((red + green + blue) / 3.0);
}

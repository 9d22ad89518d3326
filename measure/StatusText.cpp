#include "StatusText.h"

#include "LocaleFormat.h"

#include <cmath>

QString StatusText::number(double value)
{
    if (!std::isfinite(value))
        return LocaleFormat::formatFixed(value, 3);
    // Digits before the point decide where the sixth significant digit lies;
    // the value is rounded once, at that digit or at the third decimal,
    // whichever comes first, and padded with zeros to three decimals.
    int integerDigits = 0;
    for (double power = 1; std::fabs(value) >= power && integerDigits < 400; power *= 10)
        ++integerDigits;
    const int decimals = 6 - integerDigits;
    const QChar separator = LocaleFormat::decimalSeparator();
    if (decimals >= 3)
        return LocaleFormat::formatFixed(value, 3);
    if (decimals >= 0) {
        QString text = LocaleFormat::formatFixed(value, decimals);
        if (decimals == 0)
            text += separator;
        return text + QString(3 - decimals, QLatin1Char('0'));
    }
    const double unit = std::pow(10.0, -decimals);
    return LocaleFormat::formatFixed(std::round(value / unit) * unit, 0) + separator
        + QStringLiteral("000");
}

static QString pair(const QString &prefix, double x, double y)
{
    return prefix + StatusText::number(x) + QStringLiteral(" - ") + StatusText::number(y)
        + QStringLiteral("    ");
}

QString StatusText::place(double x, double y)
{
    return pair(QStringLiteral("Поставить точку: "), x, y);
}

QString StatusText::point(double x, double y)
{
    return pair(QStringLiteral("Точка: "), x, y);
}

QString StatusText::remove(double x, double y)
{
    return pair(QStringLiteral("Удалить точку: "), x, y);
}

// The active point as the points file will hold it (the refined position, in
// the file's number form), not the pixel it lies in.
QString StatusText::active(double x, double y)
{
    return LocaleFormat::formatGeneral(x) + QStringLiteral(" ; ") + LocaleFormat::formatGeneral(y);
}

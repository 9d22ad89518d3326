#include "TableNumber.h"

#include "LocaleFormat.h"

bool TableNumber::read(const QString &text, double *value)
{
    return LocaleFormat::parseReal(text, value);
}

bool TableNumber::readWhole(const QString &text, int *value)
{
    // The shared integer parser skips leading spaces; a whole number of the
    // point list is a sign and digits only, so a leading space fails here.
    if (text.startsWith(QLatin1Char(' ')))
        return false;
    return LocaleFormat::parseInteger(text, value, /*allowHex*/ false);
}

QString TableNumber::form(double value)
{
    return LocaleFormat::formatGeneral(value);
}

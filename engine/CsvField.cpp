#include "CsvField.h"

bool CsvField::needsQuotes(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return true;
    }
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

QByteArray CsvField::encode(const QString &text)
{
    if (!needsQuotes(text))
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

#pragma once

#include "LocaleFormat.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

// Switches the program's locale for the life of the guard, so a test runs its
// cases under a "." and a "," decimal separator whatever the machine's locale.
class LocaleGuard
{
public:
    explicit LocaleGuard(const QLocale &locale) { LocaleFormat::setLocale(locale); }
    explicit LocaleGuard(QChar decimalSeparator)
    {
        LocaleFormat::setLocale(decimalSeparator == QLatin1Char(',') ? QLocale(QLocale::Russian, QLocale::Russia)
                                                                    : QLocale::c());
    }
    ~LocaleGuard() { LocaleFormat::useSystemLocale(); }
    LocaleGuard(const LocaleGuard &) = delete;
    LocaleGuard &operator=(const LocaleGuard &) = delete;
};

namespace TestSupport {
// Both record a failure of the current test function when the file cannot be
// read or written, and the run goes on (readFile then gives no bytes).
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
}

#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// The one place where numbers, dates and times meet the user's locale.
//
// Settings files, zone files, table files and every number shown to the user are
// written with the decimal separator of the locale in force (the system locale,
// LANG/LC_ALL/LC_NUMERIC) and read with either; the engine's coordinate files do
// not come through here. Tests switch
// the locale with setLocale() to exercise both "." and ",".
class LocaleFormat
{
public:
    static QLocale locale();
    static void setLocale(const QLocale &locale);
    static void useSystemLocale();
    static QChar decimalSeparator();

    // General form with up to 15 significant digits: 17, 17.25, -0.5, 1E-5, 2.5E20.
    // Plain notation for zero and for magnitudes from 1E-4 up to below 1E15.
    static QString formatGeneral(double value);

    // Fixed notation with exactly `decimals` digits after the separator, no
    // thousands separators; halves are rounded away from zero on the exact binary
    // value, and a negative value that rounds to zero keeps its sign.
    static QString formatFixed(double value, int decimals);
    static QString formatFixed(double value, int decimals, QChar separator);

    // Strict number syntax: optional blanks (spaces only, no tabs), an optional
    // sign, digits with at most one decimal separator (a separator alone is
    // zero), an optional exponent (E or e, optional sign, digits), optional
    // blanks. The separator is "." or ",", whatever the locale: every number
    // the program reads (settings, zone, table and points files, what the user
    // types) goes through here, so a file means the same under every locale.
    static bool parseReal(const QString &text, double *value);
    // The same with one given separator only.
    static bool parseReal(const QString &text, QChar separator, double *value);

    // 32-bit integer: optional leading blanks, optional sign, decimal digits; with
    // allowHex also "0x"/"0X" followed by hexadecimal digits.
    static bool parseInteger(const QString &text, int *value, bool allowHex = true);

    // The locale's short date and long time (without a time zone name).
    static QString shortDate(const QDate &date);
    static QString longTime(const QTime &time);

private:
    static bool parseWith(const QString &text, QChar separator, QChar otherSeparator, double *value);
};

#pragma once

#include <QString>

// The texts of the measurement window's status bar. Numbers are rounded to six
// significant digits and shown with exactly three decimals after the locale's
// separator: 12.2 gives 12.200, 1234.5678 gives 1234.570.
class StatusText
{
public:
    static QString number(double value);

    static QString column(double x) { return QStringLiteral("X=") + number(x); }
    static QString row(double y) { return QStringLiteral("Y=") + number(y); }
    static QString place(double x, double y);
    static QString point(double x, double y);
    static QString remove(double x, double y);
    // The active point's coordinates as they are saved: "260,4 ; 242,2".
    static QString active(double x, double y);
};

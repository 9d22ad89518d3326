#pragma once

#include <QString>

// The numbers of the editor's files and cells, in the decimal separator of the
// user's locale (through LocaleFormat).
class TableNumber
{
public:
    // Optional spaces, an optional sign, digits with at most one separator (a
    // separator alone is zero), an optional exponent, optional spaces; nothing
    // else, so empty text or spaces alone do not convert.
    static bool read(const QString &text, double *value);

    // An optional sign and decimal digits, nothing else (no spaces); 32 bits.
    static bool readWhole(const QString &text, int *value);

    // 15 significant digits, no trailing zeros, plain notation for zero and for
    // magnitudes from 1E-4 up to below 1E15, otherwise "1E-5", "2.5E20".
    static QString form(double value);
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>

// The measurement window's points file: one line "x ; y" per point in number
// order, each number in the general form with up to 15 significant digits and
// the locale's decimal separator, CR LF after every line; no points give an
// empty file. The main window hands its points over in the same format.
class PointsFile
{
public:
    struct ParseResult
    {
        QList<QPointF> points; // the points of the lines before a bad one
        bool ok = true;        // false at the first bad line
        int badLine = 0;       // 1-based number of that line
    };

    static QByteArray format(const QList<QPointF> &points);
    static QByteArray formatLine(double x, double y);

    // Lines may end with CR LF, LF or CR. A line is split at its first ";" and
    // both sides must be numbers (blanks around them allowed); an empty line, a
    // line without ";" or with a second one is bad and ends the reading.
    static ParseResult parse(const QByteArray &bytes);
};

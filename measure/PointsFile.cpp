#include "PointsFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "LocaleFormat.h"
#include "ZoneFile.h"

QByteArray PointsFile::formatLine(double x, double y)
{
    return Cp1251::encode(LocaleFormat::formatGeneral(x) + QLatin1String(" ; ")
                          + LocaleFormat::formatGeneral(y));
}

QByteArray PointsFile::format(const QList<QPointF> &points)
{
    QList<QByteArray> lines;
    lines.reserve(points.size());
    for (const QPointF &p : points)
        lines << formatLine(p.x(), p.y());
    return AtomicFile::crlfLines(lines);
}

static bool parseLine(const QString &line, QPointF *point)
{
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    if (semicolon < 0)
        return false;
    double x = 0;
    double y = 0;
    // A second ";" lands in the y text and makes it no number.
    if (!LocaleFormat::parseReal(line.left(semicolon), &x)
        || !LocaleFormat::parseReal(line.mid(semicolon + 1), &y))
        return false;
    *point = QPointF(x, y);
    return true;
}

PointsFile::ParseResult PointsFile::parse(const QByteArray &bytes)
{
    ParseResult result;
    const QList<QByteArray> lines = ZoneFile::splitLines(bytes);
    for (int i = 0; i < lines.size(); ++i) {
        QPointF point;
        if (!parseLine(Cp1251::decode(lines.at(i)), &point)) {
            result.ok = false;
            result.badLine = i + 1;
            return result;
        }
        result.points << point;
    }
    return result;
}

#include "TableFile.h"

#include "RegularFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "TableNumber.h"
#include "ZoneFile.h"

#include <QFile>
#include <QFileInfo>

static bool isParameterKind(TableKind kind)
{
    return kind == TableKind::Camera || kind == TableKind::Orientation;
}

// The row of the camera file that holds the correction table, a free text.
static constexpr int kCorrectionTableRow = 2;

int TableFile::valueCount(TableKind kind)
{
    switch (kind) {
    case TableKind::Zone: return 6;
    case TableKind::SceneCoordinates: return 3;
    case TableKind::ImageCoordinates: return 2;
    case TableKind::PointList: return 1;
    case TableKind::Camera: return 8;
    case TableKind::Orientation: return 21;
    }
    return 0;
}

QStringList TableFile::comments(TableKind kind)
{
    if (kind == TableKind::Camera) {
        return {QStringLiteral(" ; Координата X центра изображения"),
                QStringLiteral(" ; Координата Y центра изображения"),
                QStringLiteral(" ; Таблица коррекции"),
                QStringLiteral(" ; Фокусное расстояние"),
                QStringLiteral(" ; Размер изображения по горизонтали"),
                QStringLiteral(" ; Размер изображения по вертикали"),
                QStringLiteral(" ; Координата X главной точки"),
                QStringLiteral(" ; Координата Y главной точки")};
    }
    if (kind == TableKind::Orientation) {
        return {QStringLiteral(" ; Координата X центра проекции в системе координат сцены"),
                QStringLiteral(" ; Координата Y центра проекции в системе координат сцены"),
                QStringLiteral(" ; Координата Z центра проекции в системе координат сцены"),
                QStringLiteral(" ; Координата X точки визирования в системе координат сцены"),
                QStringLiteral(" ; Координата Y точки визирования в системе координат сцены"),
                QStringLiteral(" ; Расстояние от центра проекции до точки визирования"),
                QStringLiteral(" ; Продольный угол (фотограмм.) (градусы)"),
                QStringLiteral(" ; Поперечный угол (фотограмм.) (градусы)"),
                QStringLiteral(" ; Угол поворота изображения (фотограмм.) (градусы)"),
                QStringLiteral(" ; Угол поворота вокруг вертикальной оси (стенд.) (градусы)"),
                QStringLiteral(" ; Угол поворота вокруг горизонтальной оси (стенд.) (градусы)"),
                QStringLiteral(" ; Угол поворота изображения (стенд.) (градусы)"),
                QStringLiteral(" ; axx"), QStringLiteral(" ; axy"), QStringLiteral(" ; axz"),
                QStringLiteral(" ; ayx"), QStringLiteral(" ; ayy"), QStringLiteral(" ; ayz"),
                QStringLiteral(" ; azx"), QStringLiteral(" ; azy"), QStringLiteral(" ; azz")};
    }
    return {};
}

QString TableFile::invalidTableMessage(TableKind kind, int row)
{
    const QString n = QString::number(row);
    switch (kind) {
    case TableKind::Zone:
    case TableKind::PointList:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке!");
    case TableKind::SceneCoordinates:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке координат точек сцены!");
    case TableKind::ImageCoordinates:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке координат изображения!");
    case TableKind::Camera:
        return QStringLiteral("Ошибка в калибровочных данных!");
    case TableKind::Orientation:
        return QStringLiteral("Ошибка в параметрах внешней геометрии!");
    }
    return {};
}

// The zone line, split as the engine splits it: four corner fields that must
// convert, then a zero point that falls back to -1, -1. Unlike the engine, the
// editor keeps the corners as the numbers written, not truncated.
static bool parseZoneLine(const QString &line, QList<double> *values)
{
    ZoneFile::LineFields fields;
    if (!ZoneFile::splitFields(line, &fields))
        return false;
    values->resize(6);
    for (int i = 0; i < 4; ++i) {
        if (!TableNumber::read(fields.corners[i], &(*values)[i]))
            return false;
    }
    (*values)[4] = -1;
    (*values)[5] = -1;
    double x0 = 0, y0 = 0;
    if (TableNumber::read(fields.x0, &x0)) {
        (*values)[4] = x0;
        if (TableNumber::read(fields.y0, &y0))
            (*values)[5] = y0;
    }
    return true;
}

bool TableFile::parseListLine(TableKind kind, const QString &line, QList<double> *values)
{
    if (kind == TableKind::Zone)
        return parseZoneLine(line, values);
    if (kind == TableKind::PointList) {
        int whole = 0;
        if (!TableNumber::readWhole(line, &whole))
            return false;
        *values = {double(whole)};
        return true;
    }
    // Coordinates: the last field is all the text after the previous ";", so a
    // line with one field too many fails on the ";" its last field then holds.
    const QStringList fields = line.split(QLatin1Char(';'));
    if (fields.size() != valueCount(kind))
        return false;
    values->resize(fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        if (!TableNumber::read(fields.at(i), &(*values)[i]))
            return false;
    }
    return true;
}

// The value text of a camera or orientation line: the text before its first
// ";", or nothing when there is none. The one blank that the writer's " ; "
// leaves before the ";" is dropped, so that saving a file read unchanged
// gives the same values (the free-text correction table would otherwise grow
// by a blank at every save).
static QString parameterValue(const QString &line)
{
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    if (semicolon < 0)
        return QString();
    QString value = line.left(semicolon);
    if (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    return value;
}

std::optional<TableFile::Content> TableFile::parse(TableKind kind, const QByteArray &bytes)
{
    const QList<QByteArray> lines = ZoneFile::splitLines(bytes);
    Content content;
    if (isParameterKind(kind)) {
        const int count = valueCount(kind);
        if (lines.size() < count)
            return std::nullopt;
        for (int r = 0; r < count; ++r)
            content.values << parameterValue(Cp1251::decode(lines.at(r)));
        return content;
    }
    content.rows.reserve(lines.size());
    for (const QByteArray &line : lines) {
        QList<double> values;
        if (!parseListLine(kind, Cp1251::decode(line), &values))
            return std::nullopt;
        content.rows << values;
    }
    return content;
}

std::optional<TableFile::Content> TableFile::ReadTableFile(TableKind kind, const QString &path)
{
    // Only a regular file of bounded size: a pipe would block, a device never end.
    QByteArray bytes;
    if (RegularFile::read(path, &bytes) != RegularFile::Status::Ok)
        return std::nullopt;
    return parse(kind, bytes);
}

QList<QStringList> TableFile::cellTexts(TableKind kind, const Content &content)
{
    QList<QStringList> cells;
    if (isParameterKind(kind)) {
        for (const QString &value : content.values)
            cells << QStringList{value};
        return cells;
    }
    cells.reserve(content.rows.size());
    for (const QList<double> &row : content.rows) {
        QStringList texts;
        for (double value : row)
            texts << TableNumber::form(value);
        cells << texts;
    }
    return cells;
}

QString TableFile::formatListRow(TableKind kind, const QStringList &cells, bool *ok)
{
    QStringList fields;
    for (int c = 0; c < valueCount(kind); ++c) {
        const QString cell = c < cells.size() ? cells.at(c) : QString();
        if (kind == TableKind::PointList) {
            int whole = 0;
            if (!TableNumber::readWhole(cell, &whole)) {
                *ok = false;
                return {};
            }
            fields << QString::number(whole);
            continue;
        }
        double value = 0;
        if (!TableNumber::read(cell, &value)) {
            *ok = false;
            return {};
        }
        fields << TableNumber::form(value);
    }
    *ok = true;
    return fields.join(QLatin1String(" ; "));
}

TableFile::Lines TableFile::formatParameters(TableKind kind, const QList<QStringList> &cells)
{
    const QStringList tail = comments(kind);
    Lines result;
    for (int r = 0; r < tail.size(); ++r) {
        const QString cell = r < cells.size() && !cells.at(r).isEmpty() ? cells.at(r).first() : QString();
        QString value;
        if (kind == TableKind::Camera && r == kCorrectionTableRow) {
            value = cell;
        } else if (!cell.isEmpty() && cell != QLatin1String(" ")) {
            // One blank is what an empty value reads back as in the family's
            // files; it stays empty. Anything else must be a number.
            double number = 0;
            if (!TableNumber::read(cell, &number))
                return {{}, invalidTableMessage(kind, r + 1)};
            value = TableNumber::form(number);
        }
        result.lines << value + tail.at(r);
    }
    return result;
}

TableFile::Lines TableFile::FormatTableLines(TableKind kind, const QList<QStringList> &cells)
{
    if (isParameterKind(kind))
        return formatParameters(kind, cells);
    Lines result;
    result.lines.reserve(cells.size());
    for (int r = 0; r < cells.size(); ++r) {
        bool ok = false;
        const QString line = formatListRow(kind, cells.at(r), &ok);
        // Only the first invalid row is named; the rows after it are not examined.
        if (!ok)
            return {{}, invalidTableMessage(kind, r + 1)};
        result.lines << line;
    }
    return result;
}

QByteArray TableFile::encode(const QStringList &lines)
{
    QList<QByteArray> encoded;
    encoded.reserve(lines.size());
    for (const QString &line : lines)
        encoded << Cp1251::encode(line);
    return AtomicFile::crlfLines(encoded);
}

void TableFile::write(const QString &path, const QStringList &lines)
{
    AtomicFile::writeOrThrow(path, encode(lines));
}

#include "TableFile.h"

#include "RegularFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "TableNumber.h"
#include "LocaleFormat.h"
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
    case TableKind::Results: return 3;
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
    // The parameter the camera and orientation messages point to.
    auto parameterLine = [&]() -> QString {
        const QStringList captions = TableMode::fromNumber(kind == TableKind::Camera ? 5 : 7)->captions();
        const QString caption = row >= 1 && row <= captions.size() ? captions.at(row - 1) : QString();
        return QStringLiteral("\nСтрока ") + n + QStringLiteral(" (") + caption
             + QStringLiteral("): не является числом");
    };
    switch (kind) {
    case TableKind::Zone:
    case TableKind::PointList:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке!");
    case TableKind::SceneCoordinates:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке координат точек сцены!");
    case TableKind::ImageCoordinates:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке координат изображения!");
    case TableKind::Camera:
        return QStringLiteral("Ошибка в калибровочных данных!") + parameterLine();
    case TableKind::Orientation:
        return QStringLiteral("Ошибка в параметрах внешней геометрии!") + parameterLine();
    case TableKind::Results:
        return QStringLiteral("Ошибка в ") + n + QStringLiteral("-й строке результатов!");
    }
    return {};
}

QStringList TableFile::fieldNames(TableKind kind)
{
    switch (kind) {
    case TableKind::Zone:
        return {QStringLiteral("X1"), QStringLiteral("Y1"), QStringLiteral("X2"), QStringLiteral("Y2"),
                QStringLiteral("X0"), QStringLiteral("Y0")};
    case TableKind::SceneCoordinates: return {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
    case TableKind::ImageCoordinates: return {QStringLiteral("x"), QStringLiteral("y")};
    case TableKind::PointList: return {QStringLiteral("номер")};
    case TableKind::Results: return {QStringLiteral("снимок"), QStringLiteral("X"), QStringLiteral("Y")};
    default: return {};
    }
}

static QString notANumber(const QString &field)
{
    return field + QStringLiteral(" не является числом");
}

// The zone line, split as the engine splits it: four corner fields that must
// convert, then a zero point that, when given, must convert too (a row without
// one has four values). Unlike the engine, the editor keeps the corners as the
// numbers written, not truncated.
static QString parseZoneLine(const QString &line, QList<double> *values)
{
    ZoneFile::LineFields fields;
    if (!ZoneFile::splitFields(line, &fields))
        return line.trimmed().isEmpty() ? QStringLiteral("пустая строка")
                                         : QStringLiteral("меньше четырёх значений через \";\"");
    const QStringList names = TableFile::fieldNames(TableKind::Zone);
    const QString texts[] = {fields.corners[0], fields.corners[1], fields.corners[2], fields.corners[3],
                             fields.x0, fields.y0};
    const int count = fields.x0.isEmpty() && fields.y0.isEmpty() ? 4 : 6;
    values->resize(count);
    for (int i = 0; i < count; ++i) {
        if (!TableNumber::read(texts[i], &(*values)[i]))
            return notANumber(names.at(i));
    }
    return {};
}

// A result line: the image's number and the spot's X and Y, separated by tabs.
static QString parseResultLine(const QString &line, QList<double> *values)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() != 3)
        return QStringLiteral("значений через табуляцию: ") + QString::number(fields.size())
             + QStringLiteral(", нужно 3");
    int number = 0;
    if (!TableNumber::readWhole(fields.at(0).trimmed(), &number))
        return QStringLiteral("снимок не является целым числом");
    values->resize(3);
    (*values)[0] = number;
    for (int i = 1; i < 3; ++i) {
        if (!TableNumber::read(fields.at(i), &(*values)[i]))
            return notANumber(TableFile::fieldNames(TableKind::Results).at(i));
    }
    return {};
}

QString TableFile::parseListLine(TableKind kind, const QString &line, QList<double> *values)
{
    if (kind == TableKind::Zone)
        return parseZoneLine(line, values);
    if (kind == TableKind::Results)
        return parseResultLine(line, values);
    if (kind == TableKind::PointList) {
        int whole = 0;
        if (!TableNumber::readWhole(line, &whole))
            return QStringLiteral("номер не является целым числом");
        *values = {double(whole)};
        return {};
    }
    // Coordinates: the last field is all the text after the previous ";", so a
    // line with one field too many fails on the ";" its last field then holds.
    const QStringList fields = line.split(QLatin1Char(';'));
    if (fields.size() != valueCount(kind)) {
        return QStringLiteral("значений через \";\": ") + QString::number(fields.size())
             + QStringLiteral(", нужно ") + QString::number(valueCount(kind));
    }
    const QStringList names = fieldNames(kind);
    values->resize(fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        if (!TableNumber::read(fields.at(i), &(*values)[i]))
            return notANumber(names.at(i));
    }
    return {};
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

static std::nullopt_t refuse(QString *problem, const QString &text)
{
    if (problem)
        *problem = text;
    return std::nullopt;
}

std::optional<TableFile::Content> TableFile::parse(TableKind kind, const QByteArray &bytes, QString *problem)
{
    const QList<QByteArray> lines = ZoneFile::splitLines(bytes);
    Content content;
    for (const QByteArray &line : lines)
        content.lines << Cp1251::decode(line);
    if (isParameterKind(kind)) {
        const int count = valueCount(kind);
        if (lines.size() < count) {
            return refuse(problem, QStringLiteral("в файле строк: ") + QString::number(lines.size())
                                       + QStringLiteral(", нужно ") + QString::number(count));
        }
        for (int r = 0; r < count; ++r)
            content.values << parameterValue(content.lines.at(r));
        return content;
    }
    content.rows.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        QList<double> values;
        const QString reason = parseListLine(kind, content.lines.at(i), &values);
        if (!reason.isEmpty())
            return refuse(problem, QStringLiteral("строка ") + QString::number(i + 1) + QStringLiteral(": ") + reason);
        content.rows << values;
    }
    return content;
}

std::optional<TableFile::Content> TableFile::ReadTableFile(TableKind kind, const QString &path, QString *problem)
{
    // Only a regular file of bounded size: a pipe would block, a device never end.
    QByteArray bytes;
    QString error;
    const RegularFile::Status status = RegularFile::read(path, &bytes, &error);
    if (status != RegularFile::Status::Ok)
        return refuse(problem, error.isEmpty() ? RegularFile::describe(status, path) : error);
    return parse(kind, bytes, problem);
}

// A result's number is whole and its coordinates have four decimals, as the
// program writes them.
QStringList TableFile::rowTexts(TableKind kind, const QList<double> &row)
{
    QStringList texts;
    for (qsizetype c = 0; c < row.size(); ++c) {
        if (kind == TableKind::Results)
            texts << (c == 0 ? QString::number(qint64(row.at(c))) : LocaleFormat::formatFixed(row.at(c), 4));
        else
            texts << TableNumber::form(row.at(c));
    }
    return texts;
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
    for (const QList<double> &row : content.rows)
        cells << rowTexts(kind, row);
    return cells;
}

// The text of one field as written: whole numbers as they are, results with
// four decimals after "." (they are exchanged between stations), other
// numbers in the number form.
static bool formatField(TableKind kind, int column, const QString &cell, QString *field)
{
    if (kind == TableKind::PointList || (kind == TableKind::Results && column == 0)) {
        int whole = 0;
        if (!TableNumber::readWhole(cell, &whole))
            return false;
        *field = QString::number(whole);
        return true;
    }
    double value = 0;
    if (!TableNumber::read(cell, &value))
        return false;
    *field = kind == TableKind::Results ? LocaleFormat::formatFixed(value, 4, QLatin1Char('.'))
                                        : TableNumber::form(value);
    return true;
}

QString TableFile::formatListRow(TableKind kind, const QStringList &cells, bool *ok)
{
    auto cellAt = [&cells](int c) { return c < cells.size() ? cells.at(c) : QString(); };
    int count = valueCount(kind);
    // A zone without its zero point keeps four fields.
    if (kind == TableKind::Zone && cellAt(4).trimmed().isEmpty() && cellAt(5).trimmed().isEmpty())
        count = 4;
    QStringList fields;
    for (int c = 0; c < count; ++c) {
        QString field;
        if (!formatField(kind, c, cellAt(c), &field)) {
            *ok = false;
            return {};
        }
        fields << field;
    }
    *ok = true;
    return fields.join(kind == TableKind::Results ? QStringLiteral("\t") : QStringLiteral(" ; "));
}

// A row whose cells still show what its line read as is written as that line.
bool TableFile::unchanged(TableKind kind, const QStringList &cells, const QString &original)
{
    QList<double> values;
    if (!parseListLine(kind, original, &values).isEmpty())
        return false;
    QStringList shown = rowTexts(kind, values);
    QStringList now = cells.mid(0, valueCount(kind));
    while (shown.size() < now.size())
        shown << QString();
    return shown == now;
}

// The comment of a line as read (from the blank before its ";"), or the
// program's own for a line that has none.
static QString commentOf(const QString &original, const QString &fallback)
{
    const qsizetype semicolon = original.indexOf(QLatin1Char(';'));
    if (semicolon < 0)
        return fallback;
    const qsizetype start = semicolon > 0 && original.at(semicolon - 1) == QLatin1Char(' ') ? semicolon - 1 : semicolon;
    return original.mid(start);
}

TableFile::Lines TableFile::formatParameters(TableKind kind, const QList<QStringList> &cells,
                                             const QStringList &originals)
{
    const QStringList tail = comments(kind);
    Lines result;
    for (int r = 0; r < tail.size(); ++r) {
        const QString cell = r < cells.size() && !cells.at(r).isEmpty() ? cells.at(r).first() : QString();
        const QString original = originals.value(r);
        // A value left as read keeps its line, comment and notation as written.
        if (r < originals.size() && original.contains(QLatin1Char(';')) && parameterValue(original) == cell) {
            result.lines << original;
            continue;
        }
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
        result.lines << value + commentOf(original, tail.at(r));
    }
    // Lines after the parameters are kept as they were.
    result.lines << originals.mid(tail.size());
    return result;
}

TableFile::Lines TableFile::FormatTableLines(TableKind kind, const QList<QStringList> &cells,
                                             const QStringList &originals)
{
    if (isParameterKind(kind))
        return formatParameters(kind, cells, originals);
    Lines result;
    result.lines.reserve(cells.size());
    for (int r = 0; r < cells.size(); ++r) {
        const QString original = originals.value(r);
        if (!original.isEmpty() && unchanged(kind, cells.at(r), original)) {
            result.lines << original;
            continue;
        }
        bool ok = false;
        const QString line = formatListRow(kind, cells.at(r), &ok);
        // Only the first invalid row is named; the rows after it are not examined.
        if (!ok)
            return {{}, invalidTableMessage(kind, r + 1)};
        result.lines << line;
    }
    return result;
}

QString TableFile::cellProblem(TableKind kind, int row, int column, const QString &text)
{
    if (text.trimmed().isEmpty() || (kind == TableKind::Camera && row == kCorrectionTableRow))
        return {};
    QString field;
    if (formatField(isParameterKind(kind) ? TableKind::SceneCoordinates : kind, column, text, &field))
        return {};
    const bool whole = kind == TableKind::PointList || (kind == TableKind::Results && column == 0);
    return QStringLiteral("«%1» не является %2").arg(text, whole ? QStringLiteral("целым числом")
                                                                  : QStringLiteral("числом"));
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

#pragma once

#include "TableMode.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Reading, validating and writing the editor's six file kinds.
//
// Files are 8-bit text (the camera and orientation comments in CP1251), one
// record per line; reading accepts CR LF, LF and CR, writing ends every line,
// the last one included, with CR LF and separates fields by " ; " (a result
// file by tabs). Numbers follow TableNumber: read with "." or ",", written in
// the locale's notation; rows and parameters left untouched keep their lines.
class TableFile
{
public:
    // A file's table. List kinds fill `rows`, one per line: zone 6 numbers
    // (4 without a zero point), scene coordinates 3, image coordinates 2,
    // point list 1 whole number, result 3 (image number, X, Y). Camera and orientation files fill `values`
    // with the value texts of their first 8 or 21 lines.
    struct Content final
    {
        QList<QList<double>> rows;
        QStringList values;
        QStringList lines; // every line as read, so untouched rows are written back as they were
    };

    // The file lines of a table, or the message for its first invalid row.
    struct Lines final
    {
        QStringList lines;
        QString error;
        bool ok() const { return error.isEmpty(); }
    };

    // Reads the whole file; nothing at all when it cannot be read or any line
    // breaks its kind's rule (or a camera or orientation file is short). Then
    // `problem`, when given, says what is wrong and where, in the user's words
    // ("строка 17: X2 не является числом").
    static std::optional<Content> ReadTableFile(TableKind kind, const QString &path,
                                                QString *problem = nullptr);
    static std::optional<Content> parse(TableKind kind, const QByteArray &bytes,
                                        QString *problem = nullptr);

    // The grid's texts for a file's table: list kinds one row per record, its
    // numbers in the number form; camera and orientation one row per value.
    static QList<QStringList> cellTexts(TableKind kind, const Content &content);

    // Validates the editor's data cells and turns them into file lines. List
    // kinds: one row of data cells per record, row 1 first. Camera and
    // orientation: one row per parameter holding its value cell, row 0 first.
    // `originals` are the lines read, one per row (empty for a row added since):
    // a row whose cells still show what its line read as is written as that
    // line, and a camera or orientation value keeps its line's comment; lines
    // after the parameters are kept.
    static Lines FormatTableLines(TableKind kind, const QList<QStringList> &cells,
                                  const QStringList &originals = {});

    // Why a cell's text cannot be saved in its column (row and column count
    // from 0 among the data cells), or an empty text when it can; an empty
    // cell is left to the save, which names its row.
    static QString cellProblem(TableKind kind, int row, int column, const QString &text);

    // The bytes of a file with these lines: CP1251, CR LF after every line.
    static QByteArray encode(const QStringList &lines);
    // Writes the file whole, replacing it; throws KelvarinError naming the file.
    static void write(const QString &path, const QStringList &lines);

    // Values per line of a list kind; lines of a camera or orientation file.
    static int valueCount(TableKind kind);
    // The comments written after the values of a camera or orientation file.
    static QStringList comments(TableKind kind);
    // The message for an invalid table; `row` counts from 1. The list kinds
    // name it in their message; the camera and orientation messages get a
    // second line naming the parameter.
    static QString invalidTableMessage(TableKind kind, int row);

    // The names of a list kind's values, as its header shows them in short.
    static QStringList fieldNames(TableKind kind);

private:
    // The reason a line is refused, or an empty text when it was read.
    static QString parseListLine(TableKind kind, const QString &line, QList<double> *values);
    static QString formatListRow(TableKind kind, const QStringList &cells, bool *ok);
    static Lines formatParameters(TableKind kind, const QList<QStringList> &cells, const QStringList &originals);
    static QStringList rowTexts(TableKind kind, const QList<double> &row);
    static bool unchanged(TableKind kind, const QStringList &cells, const QString &original);
};

#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// The seven kinds of table file the editor reads and writes (Results: the
// program's own coordinate files, one per zone, "number<TAB>X<TAB>Y").
enum class TableKind { Zone, SceneCoordinates, ImageCoordinates, PointList, Camera, Orientation, Results };

// What one of the editor's twelve modes fixes: the file kind, the title suffix,
// the save dialog's filter and extension, and the grid layout with its window
// size. Modes of a pair (2 and 3, 5 and 6, 7 and 8, 9 and 10) differ in nothing.
//
// The grid is described as the user sees it: column 0 is the fixed numbering
// column of the list layouts or the caption column of the parameter layouts,
// and the list layouts have a fixed header row above the data rows.
class TableMode final
{
public:
    // The mode with this number, or nothing for a number outside 1 to 12.
    // Mode 12 is the program's result files.
    static std::optional<TableMode> fromNumber(int mode);

    int number() const { return m_number; }
    TableKind kind() const { return m_kind; }

    // Camera and orientation files: one row per parameter, no header row, no
    // row commands. Every other kind has a list layout, one row per record.
    bool isParameterLayout() const;

    // " Зоны", " Реперные точки", ...: follows the file's name in the title.
    QString titleSuffix() const;
    // The file's name without its directories ("Без имени" when there is no
    // name) followed by the suffix.
    QString title(const QString &fileName) const;
    static QString titleName(const QString &fileName);

    // "Файлы зон|*.zon|Все файлы|*.*" and "zon" for the zone file, and so on.
    QString fileFilter() const;
    QString defaultExtension() const;

    // Column widths in pixels, column 0 first; their count is the column count.
    QList<int> columnWidths() const;
    int columnCount() const { return int(columnWidths().size()); }
    // List layouts: the header row's texts, column 0 (empty) first; nothing for
    // parameter layouts.
    QStringList headerTexts() const;
    // Parameter layouts: the caption of every row, row 0 first; nothing for
    // list layouts. Their count is the fixed row count.
    QStringList captions() const;

    QSize windowSize() const;
    int rowHeight() const;

private:
    TableMode(int number, TableKind kind) : m_number(number), m_kind(kind) {}

    int m_number;
    TableKind m_kind;
};

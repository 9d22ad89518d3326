#pragma once

#include <QList>
#include <QStringList>

// The row commands of the editor's list layouts, on the data cells of a table:
// one list of cell texts per data row, `columns` texts each. Rows are numbered
// by position, so the numbering never needs storing and stays 1 to n.
//
// `current` is the index (from 0) of the grid's current data row; a value
// outside the table means the first row. Each command returns the index of the
// first row whose cells or position changed, so a grid need only be rewritten
// from there on. After every command the table has at least one row.
class TableRows
{
public:
    // An empty row at the current position; the rows from there move down.
    static int insertRow(QList<QStringList> &rows, int current, int columns);
    // An empty row after the last.
    static int appendRow(QList<QStringList> &rows, int columns);
    // Removes the current row; the only row is emptied instead, never removed.
    static int deleteRow(QList<QStringList> &rows, int current, int columns);
    // One empty row is left.
    static int clear(QList<QStringList> &rows, int columns);

    static QStringList emptyRow(int columns);
};

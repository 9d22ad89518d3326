#include "TableRows.h"

static int clampCurrent(const QList<QStringList> &rows, int current)
{
    return current >= 0 && current < rows.size() ? current : 0;
}

QStringList TableRows::emptyRow(int columns)
{
    return QStringList(qMax(columns, 0), QString());
}

int TableRows::insertRow(QList<QStringList> &rows, int current, int columns)
{
    const int at = clampCurrent(rows, current);
    rows.insert(at, emptyRow(columns));
    return at;
}

int TableRows::appendRow(QList<QStringList> &rows, int columns)
{
    rows.append(emptyRow(columns));
    return int(rows.size()) - 1;
}

int TableRows::deleteRow(QList<QStringList> &rows, int current, int columns)
{
    if (rows.size() <= 1) {
        rows = {emptyRow(columns)};
        return 0;
    }
    const int at = clampCurrent(rows, current);
    rows.removeAt(at);
    return at;
}

int TableRows::clear(QList<QStringList> &rows, int columns)
{
    rows = {emptyRow(columns)};
    return 0;
}

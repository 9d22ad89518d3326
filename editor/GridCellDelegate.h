#pragma once

#include <QStyledItemDelegate>

// In-place editing for the editor's grid that behaves like a string grid: the
// cell takes the editor's text at every keystroke, so a save or a close started
// while a cell is still being edited sees what the user typed. Every editor it
// opens also reports its keys to `keyWatcher` (an event filter), so keys typed
// into a cell count as keys in the grid.
class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    GridCellDelegate(QObject *keyWatcher, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

    // Ends in-place editing of a cell, keeping its text.
    void finishEditing(QWidget *editor);

private:
    QObject *m_keyWatcher;
};

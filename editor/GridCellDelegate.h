#pragma once

#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QVariant>

// In-place editing for the editor's grid that behaves like a string grid: the
// cell takes the editor's text at every keystroke, so a save or a close started
// while a cell is still being edited sees what the user typed. Esc ends the
// edit and puts back the text the cell held before it. Every editor it opens
// also reports its keys to `keyWatcher` (an event filter), so keys typed into a
// cell count as keys in the grid.
class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    GridCellDelegate(QObject *keyWatcher, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

    // Ends in-place editing of a cell, keeping its text.
    void finishEditing(QWidget *editor);

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    // The cell an open editor edits and the text it held when editing began.
    struct EditStart
    {
        QPersistentModelIndex index;
        QVariant text;
    };

    void restoreCell(QWidget *editor);

    QObject *m_keyWatcher;
    mutable QHash<const QWidget *, EditStart> m_starts;
};

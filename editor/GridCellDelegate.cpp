#include "GridCellDelegate.h"

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QLineEdit>

GridCellDelegate::GridCellDelegate(QObject *keyWatcher, QObject *parent)
    : QStyledItemDelegate(parent), m_keyWatcher(keyWatcher)
{
}

QWidget *GridCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (!editor)
        return editor;
    m_starts.insert(editor, {QPersistentModelIndex(index), index.data(Qt::EditRole)});
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        auto *self = const_cast<GridCellDelegate *>(this);
        connect(line, &QLineEdit::textEdited, self, [self, line] { Q_EMIT self->commitData(line); });
    }
    if (m_keyWatcher)
        editor->installEventFilter(m_keyWatcher);
    return editor;
}

void GridCellDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    m_starts.remove(editor);
    QStyledItemDelegate::destroyEditor(editor, index);
}

void GridCellDelegate::finishEditing(QWidget *editor)
{
    Q_EMIT commitData(editor);
    Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
}

// Puts the text from before the edit back into the cell; the keys typed were
// already written to it one by one.
void GridCellDelegate::restoreCell(QWidget *editor)
{
    const auto start = m_starts.constFind(editor);
    if (start == m_starts.constEnd() || !start->index.isValid())
        return;
    auto *model = const_cast<QAbstractItemModel *>(start->index.model());
    if (model->data(start->index, Qt::EditRole) != start->text)
        model->setData(start->index, start->text, Qt::EditRole);
}

bool GridCellDelegate::eventFilter(QObject *object, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        if (auto *editor = qobject_cast<QWidget *>(object)) {
            restoreCell(editor);
            Q_EMIT closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

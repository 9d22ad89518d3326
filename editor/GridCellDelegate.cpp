#include "GridCellDelegate.h"

#include <QLineEdit>

GridCellDelegate::GridCellDelegate(QObject *keyWatcher, QObject *parent)
    : QStyledItemDelegate(parent), m_keyWatcher(keyWatcher)
{
}

QWidget *GridCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        auto *self = const_cast<GridCellDelegate *>(this);
        connect(line, &QLineEdit::textEdited, self, [self, line] { Q_EMIT self->commitData(line); });
    }
    if (editor && m_keyWatcher)
        editor->installEventFilter(m_keyWatcher);
    return editor;
}

void GridCellDelegate::finishEditing(QWidget *editor)
{
    Q_EMIT commitData(editor);
    Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
}

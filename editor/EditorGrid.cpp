#include "EditorGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHints>

EditorGrid::EditorGrid(int rows, int columns, QWidget *parent)
    : QTableWidget(rows, columns, parent)
{
    // The view's own click-to-edit refuses keys while its timer runs; ours
    // gives way to them.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    m_clickEdit.setSingleShot(true);
    connect(&m_clickEdit, &QTimer::timeout, this, &EditorGrid::editPressedCell);
}

void EditorGrid::keyboardSearch(const QString &)
{
}

void EditorGrid::keyPressEvent(QKeyEvent *event)
{
    // A key typed before the click's delayed edit opened goes to the cell
    // that was clicked, which is the current one.
    m_clickEdit.stop();
    QTableWidget::keyPressEvent(event);
}

void EditorGrid::mousePressEvent(QMouseEvent *event)
{
    m_clickEdit.stop();
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressedWasCurrent = index.isValid() && index == currentIndex() && state() != EditingState;
    m_pressedIndex = index;
    QTableWidget::mousePressEvent(event);
}

void EditorGrid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableWidget::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && m_pressedWasCurrent && index == m_pressedIndex)
        m_clickEdit.start(QApplication::styleHints()->mouseDoubleClickInterval());
    m_pressedWasCurrent = false;
}

void EditorGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_clickEdit.stop();
    QTableWidget::mouseDoubleClickEvent(event);
}

void EditorGrid::editPressedCell()
{
    if (m_pressedIndex.isValid() && m_pressedIndex == currentIndex() && state() != EditingState)
        edit(m_pressedIndex);
}

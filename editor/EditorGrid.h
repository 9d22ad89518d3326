#pragma once

#include <QTableWidget>
#include <QTimer>

// The editor's string grid. A printable key always edits the current cell,
// also in the moment after a click on the selected cell, before the delayed
// edit that such a click starts has opened; the view's search by typing,
// which would jump to another row, is off.
class EditorGrid : public QTableWidget
{
    Q_OBJECT

public:
    EditorGrid(int rows, int columns, QWidget *parent = nullptr);

    // Search by typing is off: keys edit the current cell instead.
    void keyboardSearch(const QString &search) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void editPressedCell();

    // A click on the cell that was already current opens its editor once the
    // double-click interval has passed, as a string grid does.
    QTimer m_clickEdit;
    QPersistentModelIndex m_pressedIndex;
    bool m_pressedWasCurrent = false;
};

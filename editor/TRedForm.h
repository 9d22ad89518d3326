#pragma once

#include "TableMode.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <optional>

class EditorGrid;
class GridCellDelegate;
class QAction;
class QEventLoop;
class QTableWidget;
class QToolBar;
class QToolButton;

// The table editor: one string grid in which the user edits a table of the
// photogrammetric file family (zones, point coordinates, point lists, camera
// and orientation parameters, the program's result files) in one of twelve modes.
//
// How a caller opens it (each opening uses a new editor):
//
//     auto *editor = new TRedForm(parent);
//     if (editor->OpenTable(fileName, 11))
//         editor->showModal();
//
// The editor deletes itself once it has closed (also when OpenTable fails), so
// the caller keeps no pointer to it after these lines. showModal() returns when
// the window has closed; nothing is handed back: the file, if the user saved
// one, is on disk.
class TRedForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TRedForm(QWidget *parent = nullptr);

    // Sets the window up for `mode` (1 to 12) and reads `fileName` when it is
    // not empty. Returns 1 when the editor is ready to be shown; 0 when the file
    // could not be read or the mode is unknown: the internal error message has
    // then been shown, the window is closed and must not be shown.
    int OpenTable(const QString &fileName, int mode);

    // Shows the editor application-modal and returns once it has closed.
    void showModal();

    int Mode() const { return m_mode; }
    // The name exactly as passed to OpenTable; the save dialog proposes it.
    const QString &TableFileName() const { return m_tableFileName; }
    // Unsaved changes: set by a cell's text changing and by every row command.
    bool Modified() const { return m_modified; }

    // The handlers of the menu items and tool buttons: each calls the
    // command named for what it does.
    void N3Click();           // menu "Сохранить" (Ctrl+S): to the same file
    void ToolButton10Click(); // button "Сохранить"
    void N6Click();           // menu "Выход"
    void ToolButton3Click();  // button "Добавить": insert a row
    void ToolButton5Click();  // button "Добавить в конец": append a row
    void ToolButton1Click();  // button "Удалить": delete a row
    void ToolButton8Click();  // button "Очистить": clear the table
    void StringGrid1KeyDown(); // any key in the grid or in a cell being edited: marks nothing by itself

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class SaveOutcome { Written, Invalid, Cancelled, Failed };

    void insertRow();
    void appendRow();
    void deleteRow();
    void clearTable();

    void buildMenu();
    void buildToolBars();
    QToolButton *addButton(QToolBar *bar, QAction *action, const char *name);

    int failOpening(const QString &problem, const QString &fileName);
    void checkLeftCell(int row, int column, int previousRow, int previousColumn);
    void applyLayout(const TableMode &mode);
    void fitParameterRows(int rowHeight);
    void fillGrid(const QList<QStringList> &cells);
    int dataColumnCount() const;
    QList<QStringList> gridCells() const;
    void writeRows(const QList<QStringList> &rows, int from);
    void setCellText(int row, int column, const QString &text);
    void endCellEditing();
    template<typename Command> void runRowCommand(Command command);

    SaveOutcome saveTable(bool askName);
    bool FormClose();

    EditorGrid *StringGrid1 = nullptr;
    GridCellDelegate *m_delegate = nullptr;
    QAction *N3 = nullptr;
    QAction *N6 = nullptr;
    QAction *m_saveAsMenuAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_insertAction = nullptr;
    QAction *m_appendAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_clearAction = nullptr;

    std::optional<TableMode> m_tableMode;
    int m_mode = 0;
    QString m_tableFileName;
    bool m_modified = false;
    bool m_filling = false;
    bool m_checkingCell = false;
    // The lines the table was read from (or last saved as), one per list row.
    QStringList m_origins;
    QEventLoop *m_modalLoop = nullptr;
};

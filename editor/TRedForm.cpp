#include "TRedForm.h"

#include "DialogService.h"
#include "EditorGrid.h"
#include "EditorIcons.h"
#include "GridCellDelegate.h"
#include "KelvarinError.h"
#include "TWaitCursor.h"
#include "TableFile.h"
#include "TableRows.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

TRedForm::TRedForm(QWidget *parent)
    : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Редактор"));
    setWindowIcon(EditorIcons::window());
    setMinimumSize(300, 200);
    resize(710, 434);

    StringGrid1 = new EditorGrid(1, 4, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setShowGrid(true);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setHighlightSections(false);
    m_delegate = new GridCellDelegate(this, StringGrid1);
    StringGrid1->setItemDelegate(m_delegate);
    StringGrid1->installEventFilter(this);
    // Only a changed text marks the table (typed, pasted from the cell
    // editor's menu, ...): a key that changes nothing does not.
    connect(StringGrid1, &QTableWidget::itemChanged, this, [this] {
        if (!m_filling)
            m_modified = true;
    });
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, &TRedForm::checkLeftCell);
    setCentralWidget(StringGrid1);

    buildMenu();
    buildToolBars();
}

void TRedForm::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("N1"));
    N3 = file->addAction(QStringLiteral("Сохранить"), this, &TRedForm::N3Click);
    N3->setObjectName(QStringLiteral("N3"));
    N3->setShortcut(QKeySequence::Save);
    m_saveAsMenuAction = file->addAction(QStringLiteral("Сохранить как..."), this, [this] { saveTable(true); });
    m_saveAsMenuAction->setObjectName(QStringLiteral("actionSaveAs"));
    file->addSeparator();
    N6 = file->addAction(QStringLiteral("Выход"), this, &TRedForm::N6Click);
    N6->setObjectName(QStringLiteral("N6"));
}

QToolButton *TRedForm::addButton(QToolBar *bar, QAction *action, const char *name)
{
    bar->addAction(action);
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void TRedForm::buildToolBars()
{
    auto makeBar = [this](const QString &name) {
        auto *bar = new QToolBar(this);
        bar->setObjectName(name);
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(24, 24));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };
    auto makeAction = [this](const QIcon &icon, const QString &hint, void (TRedForm::*handler)()) {
        auto *action = new QAction(icon, hint, this);
        action->setToolTip(hint);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    m_saveAction = makeAction(EditorIcons::save(), QStringLiteral("Сохранить"), &TRedForm::ToolButton10Click);
    m_insertAction = makeAction(EditorIcons::insertRow(), QStringLiteral("Добавить"), &TRedForm::ToolButton3Click);
    m_appendAction = makeAction(EditorIcons::appendRow(), QStringLiteral("Добавить в конец"),
                                &TRedForm::ToolButton5Click);
    m_deleteAction = makeAction(EditorIcons::deleteRow(), QStringLiteral("Удалить"), &TRedForm::ToolButton1Click);
    m_clearAction = makeAction(EditorIcons::clearTable(), QStringLiteral("Очистить"), &TRedForm::ToolButton8Click);

    QToolBar *saveBar = makeBar(QStringLiteral("ToolBar1"));
    addButton(saveBar, m_saveAction, "ToolButton10");
    QToolBar *rowBar = makeBar(QStringLiteral("ToolBar2"));
    addButton(rowBar, m_insertAction, "ToolButton3");
    addButton(rowBar, m_appendAction, "ToolButton5");
    addButton(rowBar, m_deleteAction, "ToolButton1");
    addButton(rowBar, m_clearAction, "ToolButton8");
}

int TRedForm::OpenTable(const QString &fileName, int mode)
{
    m_mode = mode;
    m_tableFileName = fileName;
    m_modified = false;
    m_origins.clear();
    m_tableMode = TableMode::fromNumber(mode);
    if (!m_tableMode)
        return failOpening(QStringLiteral("неизвестный режим ") + QString::number(mode), QString());
    applyLayout(*m_tableMode);
    const TableKind kind = m_tableMode->kind();
    if (fileName.isEmpty()) {
        const int rows = m_tableMode->isParameterLayout() ? int(m_tableMode->captions().size()) : 1;
        fillGrid(QList<QStringList>(rows, TableRows::emptyRow(dataColumnCount())));
        return 1;
    }
    QString problem;
    const std::optional<TableFile::Content> content = [&] {
        TWaitCursor wait;
        return TableFile::ReadTableFile(kind, fileName, &problem);
    }();
    // The grid is filled only from a file read whole, so a bad line never
    // leaves a partly filled table behind.
    if (!content)
        return failOpening(problem, fileName);
    m_origins = content->lines;
    fillGrid(TableFile::cellTexts(kind, *content));
    return 1;
}

// A file that cannot be opened is named with the reason, so the user can mend
// it; only an unknown mode is the internal error of the family's editors.
int TRedForm::failOpening(const QString &problem, const QString &fileName)
{
    QString text;
    if (fileName.isEmpty())
        text = QStringLiteral("Внутренняя ошибка. Обратитесь к разработчику.\n") + problem;
    else if (!QFileInfo::exists(fileName) && !QFileInfo(fileName).isSymLink())
        text = fileName + QStringLiteral(": файл не найден");
    else
        text = QStringLiteral("Файл %1 не открыт:\n%2").arg(fileName, problem);
    DialogService::instance().message(this, QStringLiteral("Ошибка!"), text, DialogService::Ok,
                                      DialogService::Icon::None);
    close();
    return 0;
}

void TRedForm::applyLayout(const TableMode &mode)
{
    resize(mode.windowSize());
    setWindowTitle(mode.title(m_tableFileName));
    // The fixed column 0 (numbers or captions) is the grid's row header and the
    // fixed header row its column header, so they never scroll away and cannot
    // be edited; a list layout's rows are numbered 1 to n by the header itself.
    const QList<int> widths = mode.columnWidths();
    StringGrid1->clear();
    StringGrid1->setColumnCount(int(widths.size()) - 1);
    QHeaderView *rowHeader = StringGrid1->verticalHeader();
    rowHeader->setFixedWidth(widths.first());
    rowHeader->setMinimumSectionSize(mode.rowHeight());
    rowHeader->setDefaultSectionSize(mode.rowHeight());
    for (int c = 1; c < widths.size(); ++c)
        StringGrid1->setColumnWidth(c - 1, widths.at(c));
    if (mode.isParameterLayout()) {
        StringGrid1->horizontalHeader()->hide();
        const QStringList captions = mode.captions();
        StringGrid1->setRowCount(int(captions.size()));
        StringGrid1->setVerticalHeaderLabels(captions);
        rowHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        for (QAction *action : {m_insertAction, m_appendAction, m_deleteAction, m_clearAction})
            action->setEnabled(false);
        fitParameterRows(mode.rowHeight());
    } else {
        StringGrid1->horizontalHeader()->show();
        StringGrid1->setHorizontalHeaderLabels(mode.headerTexts().mid(1));
    }
}

// A parameter layout has a fixed number of rows: the window grows to show
// them all (the orientation's 21 rows do not fit its nominal 500 pixels).
void TRedForm::fitParameterRows(int rowHeight)
{
    int chrome = menuBar()->sizeHint().height() + 2 * StringGrid1->frameWidth();
    int toolBarHeight = 0;
    for (const QToolBar *bar : findChildren<QToolBar *>())
        toolBarHeight = qMax(toolBarHeight, bar->sizeHint().height());
    chrome += toolBarHeight;
    const int needed = chrome + StringGrid1->rowCount() * rowHeight;
    if (height() < needed)
        resize(width(), needed);
}

int TRedForm::dataColumnCount() const
{
    return StringGrid1->columnCount();
}

void TRedForm::fillGrid(const QList<QStringList> &cells)
{
    writeRows(cells, 0);
    if (StringGrid1->rowCount() > 0)
        StringGrid1->setCurrentCell(0, 0);
}

QList<QStringList> TRedForm::gridCells() const
{
    QList<QStringList> rows;
    rows.reserve(StringGrid1->rowCount());
    for (int r = 0; r < StringGrid1->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < StringGrid1->columnCount(); ++c) {
            const QTableWidgetItem *item = StringGrid1->item(r, c);
            row << (item ? item->text() : QString());
        }
        rows << row;
    }
    return rows;
}

void TRedForm::setCellText(int row, int column, const QString &text)
{
    QTableWidgetItem *item = StringGrid1->item(row, column);
    if (item) {
        if (item->text() != text)
            item->setText(text);
    } else if (!text.isEmpty()) {
        StringGrid1->setItem(row, column, new QTableWidgetItem(text));
    }
}

// Rewrites the grid's rows from `from` on; the rows above are unchanged.
void TRedForm::writeRows(const QList<QStringList> &rows, int from)
{
    m_filling = true;
    StringGrid1->setUpdatesEnabled(false);
    StringGrid1->setRowCount(int(rows.size()));
    for (int r = from; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        for (int c = 0; c < StringGrid1->columnCount(); ++c)
            setCellText(r, c, c < row.size() ? row.at(c) : QString());
    }
    StringGrid1->setUpdatesEnabled(true);
    m_filling = false;
}

void TRedForm::endCellEditing()
{
    if (QWidget *editor = StringGrid1->indexWidget(StringGrid1->currentIndex()))
        m_delegate->finishEditing(editor);
}

template<typename Command>
void TRedForm::runRowCommand(Command command)
{
    endCellEditing();
    QList<QStringList> rows = gridCells();
    // Each row carries the line it was read from after its cells, so that an
    // untouched row keeps its line wherever it moves; new rows have none.
    const int columns = dataColumnCount();
    for (int r = 0; r < rows.size(); ++r)
        rows[r] << m_origins.value(r);
    const int current = StringGrid1->currentRow();
    const int column = qMax(StringGrid1->currentColumn(), 0);
    const int from = command(rows, current);
    m_origins.clear();
    for (QStringList &row : rows)
        m_origins << (row.size() > columns ? row.takeLast() : QString());
    writeRows(rows, from);
    // The current row keeps its position, as far as the table still reaches.
    StringGrid1->setCurrentCell(qBound(0, current, int(rows.size()) - 1), column);
    m_modified = true;
}

// Inserts an empty row above the current one.
void TRedForm::insertRow()
{
    runRowCommand([this](QList<QStringList> &rows, int current) {
        return TableRows::insertRow(rows, current, dataColumnCount());
    });
}

// Appends an empty row after the last one.
void TRedForm::appendRow()
{
    runRowCommand([this](QList<QStringList> &rows, int) {
        return TableRows::appendRow(rows, dataColumnCount());
    });
}

// Deletes the current row (the only row is emptied instead).
void TRedForm::deleteRow()
{
    runRowCommand([this](QList<QStringList> &rows, int current) {
        return TableRows::deleteRow(rows, current, dataColumnCount());
    });
}

// Leaves one empty row.
void TRedForm::clearTable()
{
    runRowCommand([this](QList<QStringList> &rows, int) {
        return TableRows::clear(rows, dataColumnCount());
    });
}

void TRedForm::ToolButton3Click() { insertRow(); }
void TRedForm::ToolButton5Click() { appendRow(); }
void TRedForm::ToolButton1Click() { deleteRow(); }
void TRedForm::ToolButton8Click() { clearTable(); }
void TRedForm::StringGrid1KeyDown() {}
void TRedForm::N3Click() { saveTable(false); }
void TRedForm::ToolButton10Click() { saveTable(false); }
void TRedForm::N6Click() { close(); }

bool TRedForm::eventFilter(QObject *watched, QEvent *event)
{
    // Only the grid and its cell editors are watched; what a key changes is
    // seen by the grid itself.
    if (event->type() == QEvent::KeyPress)
        StringGrid1KeyDown();
    return QMainWindow::eventFilter(watched, event);
}

// The save command: to the file the table came from, or (Save As, or a table
// without a file) to one the user names. Only a file written clears the
// modified mark: after an invalid table, a cancelled dialog or a failed write
// the edits are still unsaved, and closing the window asks about them.
TRedForm::SaveOutcome TRedForm::saveTable(bool askName)
{
    if (!m_tableMode)
        return SaveOutcome::Cancelled;
    endCellEditing();
    DialogService &dialogs = DialogService::instance();
    const TableFile::Lines lines = TableFile::FormatTableLines(m_tableMode->kind(), gridCells(), m_origins);
    if (!lines.ok()) {
        dialogs.notice(this, lines.error);
        return SaveOutcome::Invalid;
    }
    QString path = askName ? QString() : m_tableFileName;
    if (path.isEmpty()) {
        // The name proposed is the one the table has.
        const QString directory = m_tableFileName.isEmpty() ? QString()
                                                            : QFileInfo(m_tableFileName).absolutePath();
        path = dialogs.saveFileName(this, QStringLiteral("Сохранить"), directory, m_tableFileName,
                                    m_tableMode->fileFilter(), m_tableMode->defaultExtension());
        if (path.isEmpty())
            return SaveOutcome::Cancelled;
    }
    try {
        TWaitCursor wait;
        TableFile::write(path, lines.lines);
    } catch (const KelvarinError &error) {
        dialogs.error(this, error.message());
        return SaveOutcome::Failed;
    }
    m_modified = false;
    m_tableFileName = path;
    m_origins = lines.lines;
    setWindowTitle(m_tableMode->title(path));
    return SaveOutcome::Written;
}

// A cell left with a text its column cannot hold is refused at once: the
// message names the column and the reason, and the cell is selected again.
void TRedForm::checkLeftCell(int row, int column, int previousRow, int previousColumn)
{
    if (!m_tableMode || m_filling || m_checkingCell || previousRow < 0 || previousColumn < 0
        || (row == previousRow && column == previousColumn))
        return;
    const QTableWidgetItem *item = StringGrid1->item(previousRow, previousColumn);
    const QString problem = TableFile::cellProblem(m_tableMode->kind(), previousRow, previousColumn,
                                                   item ? item->text() : QString());
    if (problem.isEmpty())
        return;
    m_checkingCell = true;
    const QString where = m_tableMode->isParameterLayout()
        ? QStringLiteral("Строка «%1»").arg(m_tableMode->captions().value(previousRow))
        : QStringLiteral("Строка %1, столбец «%2»")
              .arg(previousRow + 1)
              .arg(m_tableMode->headerTexts().value(previousColumn + 1));
    DialogService::instance().notice(this, where + QStringLiteral(": ") + problem);
    StringGrid1->setCurrentCell(previousRow, previousColumn);
    m_checkingCell = false;
}

// Decides whether the window may close. Unsaved changes bring the prompt
// (Cancel, or closing the prompt, keeps the window open); a Yes whose save wrote nothing (invalid table, cancelled dialog, failed write)
// keeps the window open with the mark set, so the edits are never dropped
// without the user having said No.
bool TRedForm::FormClose()
{
    if (!m_modified)
        return true;
    const DialogService::Button answer = DialogService::instance().message(
        this, QStringLiteral("Предупреждение"), QStringLiteral("Данные не сохранены. Сохранить?"),
        DialogService::Yes | DialogService::No | DialogService::Cancel, DialogService::Icon::None);
    if (answer == DialogService::No)
        return true;
    if (answer != DialogService::Yes)
        return false;
    if (saveTable(false) == SaveOutcome::Written)
        return true;
    m_modified = true;
    return false;
}

void TRedForm::closeEvent(QCloseEvent *event)
{
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_modalLoop)
        m_modalLoop->quit();
}

void TRedForm::showModal()
{
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    show();
    loop.exec(QEventLoop::DialogExec);
    // Closing asked for a deferred deletion, which runs only once control is
    // back in the caller's event loop, so the window still exists here.
    m_modalLoop = nullptr;
}

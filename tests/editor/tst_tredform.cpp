#include "ScriptedDialogs.h"
#include "TRedForm.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QStyleHints>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

// Owns an editor for the length of a test unless the editor deleted itself
// on closing, as it does.
class Editor
{
public:
    Editor() : m_form(new TRedForm) {}
    ~Editor() { delete m_form.data(); }
    TRedForm *operator->() const { return m_form.data(); }
    TRedForm *get() const { return m_form.data(); }

    QTableWidget *grid() const { return m_form->findChild<QTableWidget *>(QStringLiteral("StringGrid1")); }
    QToolButton *button(const char *name) const
    {
        return m_form->findChild<QToolButton *>(QString::fromLatin1(name));
    }
    QAction *menuItem(const char *name) const { return m_form->findChild<QAction *>(QString::fromLatin1(name)); }

    // True once the window has closed and, as promised, deleted itself.
    bool gone()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return m_form.isNull();
    }

    // Types into a cell through its in-place editor, which stays open.
    void type(int row, int column, const QString &text) const
    {
        QTableWidget *table = grid();
        table->setCurrentCell(row, column);
        const QModelIndex index = table->model()->index(row, column);
        table->edit(index);
        auto *line = qobject_cast<QLineEdit *>(table->indexWidget(index));
        QVERIFY(line);
        line->selectAll();
        if (text.isEmpty())
            QTest::keyClick(line, Qt::Key_Backspace);
        else
            QTest::keyClicks(line, text);
    }

    // Shows the window and makes it the active one, so keys and clicks reach
    // it as they reach a window the user works in.
    void showActive() const
    {
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.data()));
    }

    // A real click on a cell of the grid.
    void clickCell(int row, int column) const
    {
        QTableWidget *table = grid();
        const QRect rect = table->visualRect(table->model()->index(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // A key as the user types it: it goes to whatever has the focus, the grid
    // or an open cell editor.
    void key(Qt::Key key, const QString &text = {}) const
    {
        QWidget *target = m_form->focusWidget() ? m_form->focusWidget() : grid();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
    void keys(const QString &text) const
    {
        for (const QChar c : text)
            key(Qt::Key(c.toUpper().unicode()), QString(c));
    }

    // Whether the current cell's in-place editor is open.
    bool editing() const { return grid()->indexWidget(grid()->currentIndex()) != nullptr; }

    QList<QStringList> cells() const
    {
        QList<QStringList> rows;
        QTableWidget *table = grid();
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < table->columnCount(); ++c)
                row << (table->item(r, c) ? table->item(r, c)->text() : QString());
            rows << row;
        }
        return rows;
    }

    QStringList rowNumbers() const
    {
        QStringList numbers;
        QAbstractItemModel *model = grid()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            numbers << model->headerData(r, Qt::Vertical).toString();
        return numbers;
    }

private:
    QPointer<TRedForm> m_form;
};

static const QString kPrompt = QStringLiteral("Данные не сохранены. Сохранить?");
static const QByteArray kThreeZones("10;20;110;120\r\n1.5;2;3;4;5.25;6\r\n7;8;9;10\r\n");

class TestTRedForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newEditor();
    void emptyZoneTable();
    void layouts_data();
    void layouts();
    void titleFromPath();
    void opensNormalisedNumbers();
    void openFailures_data();
    void openFailures();
    void parameterLayout();
    void rowCommands();
    void rowCommandsAtTheEdges();
    void keyMarksModified();
    void editAndSave();
    void saveProposesOpenedName();
    void invalidSave();
    void cancelledSave();
    void failedWriteKeepsMark();
    void typingAfterClickEditsThatCell();
    void escapeRestoresCell_data();
    void escapeRestoresCell();
    void invalidSaveByKeysKeepsEdits();
    void closing_data();
    void closing();
    void exitMenuPrompts();
    void showModalReturnsOnClose();
    void largeTable();
    void screenshots();

private:
    QString writeTemp(const QString &name, const QByteArray &bytes);
    QString tempPath(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

// Every case gets a directory of its own, so it sees only its own files.
void TestTRedForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTRedForm::cleanup()
{
    m_dir.reset();
}

QString TestTRedForm::writeTemp(const QString &name, const QByteArray &bytes)
{
    const QString path = tempPath(name);
    TestSupport::writeFile(path, bytes);
    return path;
}

void TestTRedForm::newEditor()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->windowTitle(), QStringLiteral("Редактор"));
    QCOMPARE(editor->size(), QSize(710, 434));
    QCOMPARE(editor->minimumSize(), QSize(300, 200));
    QCOMPARE(editor->Mode(), 0);
    QVERIFY(editor->TableFileName().isEmpty());
    QVERIFY(!editor->Modified());
    QCOMPARE(editor.grid()->rowCount(), 1);
    QCOMPARE(editor.button("ToolButton10")->toolTip(), QStringLiteral("Сохранить"));
    QCOMPARE(editor.button("ToolButton3")->toolTip(), QStringLiteral("Добавить"));
    QCOMPARE(editor.button("ToolButton5")->toolTip(), QStringLiteral("Добавить в конец"));
    QCOMPARE(editor.button("ToolButton1")->toolTip(), QStringLiteral("Удалить"));
    QCOMPARE(editor.button("ToolButton8")->toolTip(), QStringLiteral("Очистить"));
    QCOMPARE(editor.button("ToolButton3")->iconSize(), QSize(24, 24));
    QCOMPARE(editor.menuItem("N3")->text(), QStringLiteral("Сохранить"));
    QCOMPARE(editor.menuItem("N6")->text(), QStringLiteral("Выход"));
    QVERIFY(dialogs.calls.isEmpty());
}

void TestTRedForm::emptyZoneTable()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(QString(), 11), 1);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Untitled Зоны"));
    QCOMPARE(editor->Mode(), 11);
    QVERIFY(!editor->Modified());
    QTableWidget *grid = editor.grid();
    QCOMPARE(grid->columnCount(), 6);
    const QStringList headers{"X1 (лев. верхн.)", "Y1 (лев. верхн.)", "X2 (прав. нижн.)",
                              "Y2 (прав. нижн.)", "X (ноль)", "Y (ноль)"};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(grid->horizontalHeaderItem(c)->text(), headers.at(c));
        QCOMPARE(grid->columnWidth(c), 110);
    }
    QCOMPARE(grid->verticalHeader()->width(), 50);
    QCOMPARE(editor.cells(), (QList<QStringList>{QStringList(6, QString())}));
    QCOMPARE(editor.rowNumbers(), QStringList{"1"});
    QCOMPARE(grid->rowHeight(0), 20);
    QVERIFY(dialogs.calls.isEmpty());
}

void TestTRedForm::layouts_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("dataColumns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("fixedColumnWidth");
    QTest::addColumn<bool>("listLayout");
    QTest::newRow("scene") << 1 << QSize(400, 500) << 3 << 1 << 20 << 50 << true;
    QTest::newRow("image") << 3 << QSize(300, 500) << 2 << 1 << 20 << 50 << true;
    QTest::newRow("corresponding") << 10 << QSize(300, 500) << 2 << 1 << 20 << 50 << true;
    QTest::newRow("point list") << 4 << QSize(300, 500) << 1 << 1 << 20 << 50 << true;
    QTest::newRow("camera") << 5 << QSize(520, 290) << 1 << 8 << 24 << 290 << false;
    QTest::newRow("orientation") << 8 << QSize(410, 0) << 1 << 21 << 24 << 260 << false;
}

// Parameter layouts have no header row and no row commands; saving stays.
void TestTRedForm::layouts()
{
    QFETCH(int, mode);
    QFETCH(QSize, window);
    QFETCH(int, dataColumns);
    QFETCH(int, rows);
    QFETCH(int, rowHeight);
    QFETCH(int, fixedColumnWidth);
    QFETCH(bool, listLayout);
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(QString(), mode), 1);
    editor->show();
    QTableWidget *grid = editor.grid();
    if (window.height() > 0) {
        QCOMPARE(editor->size(), window);
    } else {
        // Taller than its nominal 500 pixels, so that every row shows.
        QCOMPARE(editor->width(), window.width());
        QVERIFY(editor->height() > 500);
    }
    QVERIFY(grid->visualRect(grid->model()->index(rows - 1, 0)).bottom() < grid->viewport()->height());
    QCOMPARE(grid->columnCount(), dataColumns);
    QCOMPARE(grid->rowCount(), rows);
    QCOMPARE(grid->rowHeight(rows - 1), rowHeight);
    QCOMPARE(grid->verticalHeader()->width(), fixedColumnWidth);
    QCOMPARE(grid->horizontalHeader()->isVisible(), listLayout);
    for (const char *name : {"ToolButton3", "ToolButton5", "ToolButton1", "ToolButton8"})
        QCOMPARE(editor.button(name)->isEnabled(), listLayout);
    QVERIFY(editor.button("ToolButton10")->isEnabled());
    QVERIFY(editor.menuItem("N3")->isEnabled());
}

void TestTRedForm::titleFromPath()
{
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("z1.zon"), "1;2;3;4\r\n");
    QCOMPARE(editor->OpenTable(path, 11), 1);
    QCOMPARE(editor->windowTitle(), QStringLiteral("z1.zon Зоны"));
    QCOMPARE(editor->TableFileName(), path);
}

void TestTRedForm::opensNormalisedNumbers()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), "10;20;110;120\r\n 1.50 ; 2 ; 3e1 ; 4 ; 5.25;6\n"), 11),
             1);
    QCOMPARE(editor.cells(), (QList<QStringList>{{"10", "20", "110", "120", "-1", "-1"},
                                                 {"1.5", "2", "30", "4", "5.25", "6"}}));
    QCOMPARE(editor.rowNumbers(), (QStringList{"1", "2"}));
    QVERIFY(!editor->Modified());
}

void TestTRedForm::openFailures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("problem"); // the second line begins with it
    QTest::newRow("zone empty line") << 11 << QByteArray("1;2;3;4\r\n\r\n5;6;7;8\r\n") << true
                                     << "строка 2: пустая строка";
    QTest::newRow("zone three values") << 11 << QByteArray("1;2;3;4\r\n1;2;3\r\n") << true
                                       << "строка 2: меньше четырёх значений";
    QTest::newRow("zone X2 not a number") << 11 << QByteArray("1;2;3;4\r\n1;2;x;4\r\n") << true
                                          << "строка 2: X2 не является числом";
    QTest::newRow("missing file") << 11 << QByteArray() << false << "Файл ";
    QTest::newRow("scene four fields") << 1 << QByteArray("1;2;3\r\n1;2;3;4\r\n") << true
                                       << "строка 2: значений через \";\": 4, нужно 3";
    QTest::newRow("image y not a number") << 9 << QByteArray("1;2\r\n3;4\r\n5;y\r\n") << true
                                          << "строка 3: y не является числом";
    QTest::newRow("list not whole") << 4 << QByteArray("1\r\n2.5\r\n") << true
                                    << "строка 2: номер не является целым числом";
    QTest::newRow("camera short") << 6 << QByteArray("1 ; a\r\n").repeated(7) << true
                                  << "в файле строк: 7, нужно 8";
    QTest::newRow("orientation short") << 7 << QByteArray("1 ; a\r\n").repeated(20) << true
                                       << "в файле строк: 20, нужно 21";
    QTest::newRow("unknown mode") << 12 << QByteArray("1\r\n") << true << "неизвестный режим 12";
}

// The internal error, and the editor is closed (it deleted itself) without
// any other dialog; the caller never shows it.
void TestTRedForm::openFailures()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(QString, problem);
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = exists ? writeTemp(QStringLiteral("bad.txt"), bytes) : tempPath(QStringLiteral("none.zon"));
    QCOMPARE(editor->OpenTable(path, mode), 0);
    QCOMPARE(dialogs.calls.size(), 1);
    const ScriptedDialogs::Call call = dialogs.calls.first();
    QCOMPARE(call.caption, QStringLiteral("Ошибка!"));
    const QString first = QStringLiteral("Внутренняя ошибка. Обратитесь к разработчику.\n");
    QVERIFY2(call.text.startsWith(first + problem), qPrintable(call.text));
    QCOMPARE(call.buttons, DialogService::Buttons(DialogService::Ok));
    QCOMPARE(call.icon, DialogService::Icon::None);
    QVERIFY(editor.gone());
}

void TestTRedForm::parameterLayout()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QByteArray bytes;
    for (int i = 0; i < 9; ++i)
        bytes += QByteArray::number(i * 10) + " ; comment\r\n";
    bytes.replace("20 ;", "tab.dat ;");
    const QString path = writeTemp(QStringLiteral("c.cam"), bytes);
    QCOMPARE(editor->OpenTable(path, 5), 1);
    QCOMPARE(editor->windowTitle(), QStringLiteral("c.cam Внутренняя геометрия"));
    QTableWidget *grid = editor.grid();
    QCOMPARE(grid->rowCount(), 8);
    QCOMPARE(grid->verticalHeaderItem(0)->text(), QStringLiteral("Координата X центра изображения (пикс.)"));
    QCOMPARE(grid->verticalHeaderItem(2)->text(), QStringLiteral("Таблица коррекции"));
    QCOMPARE(editor.cells().at(2), QStringList{"tab.dat"});
    QCOMPARE(editor.cells().at(7), QStringList{"70"});

    // Saved unchanged, the comments are rewritten and the ninth line is gone.
    const QString target = tempPath(QStringLiteral("out.cam"));
    dialogs.answerFile(target);
    editor.button("ToolButton10")->click();
    const QByteArray written = TestSupport::readFile(target);
    QCOMPARE(written.count("\r\n"), 8);
    QVERIFY(written.startsWith("0 ; \xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xE0 X"));
    QVERIFY(written.contains("\r\ntab.dat ; \xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xEA\xEE\xF0\xF0\xE5\xEA\xF6\xE8\xE8\r\n"));
    QCOMPARE(dialogs.calls.last().filter, QStringLiteral("Cam Files|*.cam|All Files|*.*"));
    QCOMPARE(dialogs.calls.last().defaultSuffix, QStringLiteral("cam"));
}

void TestTRedForm::rowCommands()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    const QStringList a{"10", "20", "110", "120", "-1", "-1"};
    const QStringList b{"1.5", "2", "3", "4", "5.25", "6"};
    const QStringList c{"7", "8", "9", "10", "-1", "-1"};
    const QStringList empty(6, QString());

    editor.grid()->setCurrentCell(1, 3);
    editor.button("ToolButton3")->click();
    QCOMPARE(editor.cells(), (QList<QStringList>{a, empty, b, c}));
    QCOMPARE(editor.rowNumbers(), (QStringList{"1", "2", "3", "4"}));
    QCOMPARE(editor.grid()->currentRow(), 1);
    QVERIFY(editor->Modified());

    editor.grid()->setCurrentCell(2, 0);
    editor.button("ToolButton1")->click();
    QCOMPARE(editor.cells(), (QList<QStringList>{a, empty, c}));

    editor.button("ToolButton5")->click();
    QCOMPARE(editor.cells(), (QList<QStringList>{a, empty, c, empty}));
    QCOMPARE(editor.rowNumbers(), (QStringList{"1", "2", "3", "4"}));

    editor.grid()->setCurrentCell(3, 0);
    editor.button("ToolButton1")->click();
    QCOMPARE(editor.cells(), (QList<QStringList>{a, empty, c}));

    editor.button("ToolButton8")->click();
    QCOMPARE(editor.cells(), (QList<QStringList>{empty}));
    QCOMPARE(editor.rowNumbers(), QStringList{"1"});
}

void TestTRedForm::rowCommandsAtTheEdges()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("p.lst"), "5\r\n"), 4), 1);
    editor.button("ToolButton1")->click(); // the only row is emptied, not removed
    QCOMPARE(editor.cells(), (QList<QStringList>{{""}}));
    QVERIFY(editor->Modified());

    // An empty file opens with no rows at all; insert then gives the first.
    Editor fromEmpty;
    QCOMPARE(fromEmpty->OpenTable(writeTemp(QStringLiteral("e.lst"), ""), 4), 1);
    QCOMPARE(fromEmpty.grid()->rowCount(), 0);
    fromEmpty.button("ToolButton3")->click();
    QCOMPARE(fromEmpty.cells(), (QList<QStringList>{{""}}));
    QCOMPARE(fromEmpty.rowNumbers(), QStringList{"1"});
}

// Any key in the grid marks the table, also one that changes nothing; keys
// typed into a cell's editor count too.
void TestTRedForm::keyMarksModified()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor->show();
    QTest::keyClick(editor.grid(), Qt::Key_Down);
    QVERIFY(editor->Modified());

    dialogs.answerMessage(DialogService::No);
    QVERIFY(editor->close());
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls.first().caption, QStringLiteral("Предупреждение"));
    QCOMPARE(dialogs.calls.first().text, kPrompt);
    QCOMPARE(dialogs.calls.first().buttons, DialogService::Yes | DialogService::No);
    QCOMPARE(dialogs.calls.first().icon, DialogService::Icon::None);
    QVERIFY(editor.gone());

    Editor typing;
    QCOMPARE(typing->OpenTable(QString(), 1), 1);
    typing->show();
    typing.type(0, 0, QStringLiteral("5"));
    QVERIFY(typing->Modified());
}

// A cell still being edited is saved with what was typed; the file follows the
// number form and every line ends in CR LF.
void TestTRedForm::editAndSave()
{
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("z1.zon"), "10;20;110;120\r\n");
    QCOMPARE(editor->OpenTable(path, 11), 1);
    editor->show();
    editor.type(0, 4, QStringLiteral("120,50"));
    QVERIFY(editor->Modified());
    const QString target = tempPath(QStringLiteral("saved.zon"));
    dialogs.answerFile(target);
    editor.menuItem("N3")->trigger();

    QCOMPARE(dialogs.calls.size(), 1);
    const ScriptedDialogs::Call call = dialogs.calls.first();
    QCOMPARE(call.kind, QStringLiteral("save"));
    QCOMPARE(call.caption, QStringLiteral("Сохранить"));
    QCOMPARE(call.proposedName, path);
    QCOMPARE(call.directory, m_dir->path());
    QCOMPARE(call.filter, QStringLiteral("Zone Files|*.zon|All Files|*.*"));
    QCOMPARE(call.defaultSuffix, QStringLiteral("zon"));
    QCOMPARE(TestSupport::readFile(target), QByteArray("10 ; 20 ; 110 ; 120 ; 120,5 ; -1\r\n"));
    QCOMPARE(TestSupport::readFile(path), QByteArray("10;20;110;120\r\n"));
    QVERIFY(!editor->Modified());
    QCOMPARE(editor->windowTitle(), QStringLiteral("z1.zon Зоны"));
    QCOMPARE(editor->TableFileName(), path);

    // Nothing changed since: closing asks nothing.
    QVERIFY(editor->close());
    QCOMPARE(dialogs.calls.size(), 1);
}

void TestTRedForm::saveProposesOpenedName()
{
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("pts.crd"), "1;2\r\n");
    QCOMPARE(editor->OpenTable(path, 9), 1);
    dialogs.answerFile(tempPath(QStringLiteral("first.crd")));
    dialogs.answerFile(tempPath(QStringLiteral("second.crd")));
    editor.button("ToolButton10")->click();
    editor.button("ToolButton10")->click();
    QCOMPARE(dialogs.calls.size(), 2);
    QCOMPARE(dialogs.calls.at(1).proposedName, path);
    QCOMPARE(dialogs.calls.at(1).filter, QStringLiteral("Coordinate Files|*.crd|All Files|*.*"));
    QCOMPARE(TestSupport::readFile(tempPath(QStringLiteral("second.crd"))), QByteArray("1 ; 2\r\n"));
}

// The kind's message with the application title, no file dialog, nothing
// written; the table is still unsaved, so closing asks about it.
void TestTRedForm::invalidSave()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor->show();
    editor.type(1, 2, QString());
    editor.type(2, 0, QStringLiteral("x"));
    editor.menuItem("N3")->trigger();
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls.first().caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(dialogs.calls.first().text, QStringLiteral("Ошибка в 2-й строке!"));
    QCOMPARE(dialogs.calls.first().buttons, DialogService::Buttons(DialogService::Ok));
    QCOMPARE(dialogs.calls.first().icon, DialogService::Icon::None);
    QVERIFY(editor->Modified());
    QCOMPARE(editor.cells().at(1).at(2), QString());
    dialogs.answerMessage(DialogService::No);
    QVERIFY(editor->close());
    QCOMPARE(dialogs.messageTexts(), (QStringList{QStringLiteral("Ошибка в 2-й строке!"), kPrompt}));
}

void TestTRedForm::cancelledSave()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(QString(), 3), 1);
    editor->show();
    editor.type(0, 0, QStringLiteral("1"));
    editor.type(0, 1, QStringLiteral("2"));
    dialogs.answerFile(QString());
    editor.button("ToolButton10")->click();
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls.first().proposedName, QString());
    QCOMPARE(dialogs.calls.first().directory, QString());
    QVERIFY(editor->Modified());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

// The general error report, and the table is still unsaved.
void TestTRedForm::failedWriteKeepsMark()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor->show();
    editor.type(0, 0, QStringLiteral("11"));
    QVERIFY(editor->Modified());
    dialogs.answerFile(tempPath(QStringLiteral("missing/dir/z.zon")));
    editor.menuItem("N3")->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    const ScriptedDialogs::Call error = dialogs.messages().first();
    QCOMPARE(error.caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(error.icon, DialogService::Icon::Error);
    QVERIFY2(error.text.startsWith(QStringLiteral("Не удается создать файл ")), qPrintable(error.text));
    QVERIFY(editor->Modified());
}

// A click on the current cell opens its editor only after the double-click
// interval; keys typed before that still go into that cell, never to a row
// found by searching for the typed text.
void TestTRedForm::typingAfterClickEditsThatCell()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"),
                                         "10;1;2;3\r\n71;1;2;3\r\n1.5;1;2;3\r\n100;1;2;3\r\n"),
                               11),
             1);
    editor.showActive();
    editor.clickCell(2, 0);
    QCOMPARE(editor.grid()->currentRow(), 2);
    editor.clickCell(2, 0);
    editor.keys(QStringLiteral("1"));
    editor.key(Qt::Key_Tab);
    editor.keys(QStringLiteral("2"));
    editor.key(Qt::Key_Return);
    QCOMPARE(editor.cells().at(2), (QStringList{"1", "2", "2", "3", "-1", "-1"}));
    QCOMPARE(editor.cells().at(3), (QStringList{"100", "1", "2", "3", "-1", "-1"}));
    QCOMPARE(editor.grid()->currentRow(), 2);
    QVERIFY(editor->Modified());

    // The delayed edit of the click does not reopen the cell afterwards.
    QTest::qWait(QApplication::styleHints()->mouseDoubleClickInterval() + 50);
    QVERIFY(!editor.editing());
}

void TestTRedForm::escapeRestoresCell_data()
{
    QTest::addColumn<bool>("openByF2");
    QTest::newRow("typing starts the edit") << false;
    QTest::newRow("edit opened with F2") << true;
}

// Esc ends the edit and the cell has its text from before it, although each
// key was written to the cell as it was typed.
void TestTRedForm::escapeRestoresCell()
{
    QFETCH(bool, openByF2);
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor.showActive();
    editor.clickCell(1, 2);
    if (openByF2)
        editor.key(Qt::Key_F2);
    editor.keys(QStringLiteral("99"));
    QVERIFY(editor.editing());
    editor.key(Qt::Key_Escape);
    QVERIFY(!editor.editing());
    QCOMPARE(editor.cells().at(1).at(2), QStringLiteral("3"));

    // Another cell typed and confirmed keeps what was typed.
    editor.clickCell(0, 0);
    editor.keys(QStringLiteral("7"));
    editor.key(Qt::Key_Return);
    QCOMPARE(editor.cells().at(0).at(0), QStringLiteral("7"));
    QCOMPARE(editor.cells().at(1).at(2), QStringLiteral("3"));
}

// Typed with the keyboard, refused by the save: the edits stay, and so does
// the question when the window closes; a later good save clears it.
void TestTRedForm::invalidSaveByKeysKeepsEdits()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor.showActive();
    editor.clickCell(1, 0);
    editor.keys(QStringLiteral("x"));
    editor.key(Qt::Key_Return);
    QTest::mouseClick(editor.button("ToolButton10"), Qt::LeftButton);
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Ошибка в 2-й строке!")});
    QVERIFY(editor->Modified());

    dialogs.clear();
    editor.clickCell(1, 0);
    editor.keys(QStringLiteral("5"));
    editor.key(Qt::Key_Return);
    const QString target = tempPath(QStringLiteral("good.zon"));
    dialogs.answerFile(target);
    QTest::mouseClick(editor.button("ToolButton10"), Qt::LeftButton);
    QVERIFY(QFile::exists(target));
    QVERIFY(!editor->Modified());
}

void TestTRedForm::closing_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("breakTable");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QStringList>("messages"); // each text begins with its entry

    const QString invalid = QStringLiteral("Ошибка в 2-й строке!");
    QTest::newRow("unchanged: no prompt") << false << 0 << false << "out.zon" << true << false << QStringList{};
    QTest::newRow("No: closes, nothing written")
        << true << int(DialogService::No) << false << "out.zon" << true << false << QStringList{kPrompt};
    QTest::newRow("Yes: saved and closed")
        << true << int(DialogService::Yes) << false << "out.zon" << true << true << QStringList{kPrompt};
    // The edits are not dropped silently: the window stays open.
    QTest::newRow("Yes, invalid table: stays open")
        << true << int(DialogService::Yes) << true << "out.zon" << false << false << QStringList{kPrompt, invalid};
    QTest::newRow("Yes, dialog cancelled: stays open")
        << true << int(DialogService::Yes) << false << "" << false << false << QStringList{kPrompt};
    QTest::newRow("Yes, write fails: stays open")
        << true << int(DialogService::Yes) << false << "missing/out.zon" << false << false
        << QStringList{kPrompt, QStringLiteral("Не удается создать файл ")};
}

void TestTRedForm::closing()
{
    LocaleGuard guard(QLatin1Char('.'));
    QFETCH(bool, modify);
    QFETCH(int, answer);
    QFETCH(bool, breakTable);
    QFETCH(QString, file);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    QFETCH(QStringList, messages);
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor->show();
    if (modify)
        editor.type(0, 0, QStringLiteral("11"));
    if (breakTable)
        editor.type(1, 1, QStringLiteral("y"));
    if (answer)
        dialogs.answerMessage(DialogService::Button(answer));
    dialogs.answerFile(file.isEmpty() ? QString() : tempPath(file));

    QCOMPARE(editor->close(), closes);
    const QStringList texts = dialogs.messageTexts();
    QCOMPARE(texts.size(), messages.size());
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(texts.at(i).startsWith(messages.at(i)), qPrintable(texts.at(i)));
    QCOMPARE(QFile::exists(tempPath(QStringLiteral("out.zon"))), written);
    if (closes) {
        QVERIFY(editor.gone());
        return;
    }
    // Still open with the edits and the mark: the next close asks again, and
    // No then closes.
    QVERIFY(editor->isVisible());
    QVERIFY(editor->Modified());
    QCOMPARE(editor.cells().at(0).at(0), QStringLiteral("11"));
    dialogs.clear();
    dialogs.answerMessage(DialogService::No);
    QVERIFY(editor->close());
    QCOMPARE(dialogs.messageTexts(), QStringList{kPrompt});
    QVERIFY(editor.gone());
}

void TestTRedForm::exitMenuPrompts()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(QString(), 11), 1);
    editor->show();
    editor.button("ToolButton5")->click();
    dialogs.answerMessage(DialogService::No);
    editor.menuItem("N6")->trigger();
    QCOMPARE(dialogs.messageTexts(), QStringList{kPrompt});
    QVERIFY(editor.gone());
}

void TestTRedForm::showModalReturnsOnClose()
{
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(QString(), 11), 1);
    QTimer::singleShot(0, editor.get(), [&editor] {
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->windowModality(), Qt::ApplicationModal);
        editor->close();
    });
    editor->showModal();
    QVERIFY(editor.gone());
}

// A table of 10,000 zones opens and saves whole (its speed is measured apart).
void TestTRedForm::largeTable()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QByteArray bytes, expected;
    for (int i = 0; i < 10000; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray m = QByteArray::number(i * 10 + 9);
        bytes += n + ";" + n + ";" + m + ";" + m + ";" + n + ".5;0.25\r\n";
        expected += n + " ; " + n + " ; " + m + " ; " + m + " ; " + n + ".5 ; 0.25\r\n";
    }
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("big.zon"), bytes), 11), 1);
    QCOMPARE(editor.grid()->rowCount(), 10000);
    const QString target = tempPath(QStringLiteral("big-out.zon"));
    dialogs.answerFile(target);
    editor.menuItem("N3")->trigger();
    QCOMPARE(TestSupport::readFile(target), expected);
}

// Pictures of the editor for a person to look at: KELVARIN_SHOTS names the
// directory (run under a real X server).
void TestTRedForm::screenshots()
{
    const QString shots = qEnvironmentVariable("KELVARIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("KELVARIN_SHOTS names the directory for the pictures");
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor orientation;
    QCOMPARE(orientation->OpenTable(QString(), 7), 1);
    orientation.showActive();
    QTest::qWait(300);
    QVERIFY(orientation->grab().save(shots + QLatin1String("/editor-mode7.png")));
    Editor zones;
    QCOMPARE(zones->OpenTable(writeTemp(QStringLiteral("zones.zon"),
                                        "10;20;110;120\r\n71;20;90;40;80,5;30\r\n1,5;2;3;4\r\n100;1;2;3\r\n"),
                              11),
             1);
    zones.showActive();
    zones.clickCell(2, 0);
    zones.keys(QStringLiteral("12"));
    QTest::qWait(300);
    QVERIFY(zones->grab().save(shots + QLatin1String("/editor-mode11.png")));
    zones.key(Qt::Key_Escape);
    dialogs.answerMessage(DialogService::No);
}

QTEST_MAIN(TestTRedForm)
#include "tst_tredform.moc"

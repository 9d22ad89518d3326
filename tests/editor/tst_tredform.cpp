#include "EditorFileArguments.h"
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
    void otherLocaleFileKeepsRows_data();
    void otherLocaleFileKeepsRows();
    void rowCommandsKeepUntouchedLines();
    void resultFiles();
    void badCellRefusedWhenLeft_data();
    void badCellRefusedWhenLeft();
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
    QCOMPARE(editor->windowTitle(), QStringLiteral("Без имени Зоны"));
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
    QCOMPARE(editor.cells(), (QList<QStringList>{{"10", "20", "110", "120", "", ""},
                                                 {"1.5", "2", "30", "4", "5.25", "6"}}));
    QCOMPARE(editor.rowNumbers(), (QStringList{"1", "2"}));
    QVERIFY(!editor->Modified());
}

void TestTRedForm::openFailures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("problem"); // the message begins with it; $P the file's path
    QTest::newRow("zone empty line") << 11 << QByteArray("1;2;3;4\r\n\r\n5;6;7;8\r\n") << true
                                     << "Файл $P не открыт:\n" "строка 2: пустая строка";
    QTest::newRow("zone three values") << 11 << QByteArray("1;2;3;4\r\n1;2;3\r\n") << true
                                       << "Файл $P не открыт:\n" "строка 2: меньше четырёх значений";
    QTest::newRow("zone X2 not a number") << 11 << QByteArray("1;2;3;4\r\n1;2;x;4\r\n") << true
                                          << "Файл $P не открыт:\n" "строка 2: X2 не является числом";
    QTest::newRow("missing file") << 11 << QByteArray() << false << "$P: файл не найден";
    QTest::newRow("scene four fields") << 1 << QByteArray("1;2;3\r\n1;2;3;4\r\n") << true
                                       << "Файл $P не открыт:\n" "строка 2: значений через \";\": 4, нужно 3";
    QTest::newRow("image y not a number") << 9 << QByteArray("1;2\r\n3;4\r\n5;y\r\n") << true
                                          << "Файл $P не открыт:\n" "строка 3: y не является числом";
    QTest::newRow("list not whole") << 4 << QByteArray("1\r\n2.5\r\n") << true
                                    << "Файл $P не открыт:\n" "строка 2: номер не является целым числом";
    QTest::newRow("camera short") << 6 << QByteArray("1 ; a\r\n").repeated(7) << true
                                  << "Файл $P не открыт:\n" "в файле строк: 7, нужно 8";
    QTest::newRow("orientation short") << 7 << QByteArray("1 ; a\r\n").repeated(20) << true
                                       << "Файл $P не открыт:\n" "в файле строк: 20, нужно 21";
    QTest::newRow("unknown mode") << 13 << QByteArray("1\r\n") << true
                                  << "Внутренняя ошибка. Обратитесь к разработчику.\nнеизвестный режим 13";
    QTest::newRow("zone origin not a number") << 11 << QByteArray("1;2;3;4;5;6\r\n1;2;3;4;5;y\r\n") << true
                                              << "Файл $P не открыт:\nстрока 2: Y0 не является числом";
    QTest::newRow("result with a fourth field") << 12 << QByteArray("1\t2.0000\t3.0000\t4\r\n") << true
                                                << "Файл $P не открыт:\nстрока 1: значений через табуляцию: 4, нужно 3";
}

// The file and the reason (the internal error only for an unknown mode), and
// the editor is closed (it deleted itself) without any other dialog; the
// caller never shows it.
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
    QVERIFY2(call.text.startsWith(problem.replace("$P", path)), qPrintable(call.text));
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

    // Saved unchanged, the file is as it was: comments and the ninth line kept.
    const QString target = tempPath(QStringLiteral("out.cam"));
    dialogs.answerFile(target);
    editor.menuItem("actionSaveAs")->trigger();
    QCOMPARE(TestSupport::readFile(target), bytes);
    QCOMPARE(dialogs.calls.last().filter, QStringLiteral("Файлы внутренней геометрии|*.cam|Все файлы|*.*"));
    QCOMPARE(dialogs.calls.last().defaultSuffix, QStringLiteral("cam"));

    // A changed value keeps its comment as written; the others their lines.
    editor.type(7, 0, QStringLiteral("71.5"));
    editor.menuItem("N3")->trigger();
    QCOMPARE(TestSupport::readFile(target), QByteArray(bytes).replace("70 ; comment", "71.5 ; comment"));
}

void TestTRedForm::rowCommands()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    const QStringList a{"10", "20", "110", "120", "", ""};
    const QStringList b{"1.5", "2", "3", "4", "5.25", "6"};
    const QStringList c{"7", "8", "9", "10", "", ""};
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

// A key that changes nothing (an arrow, Esc after typing) leaves the table
// unmarked; keys typed into a cell's editor mark it, and the question on
// closing offers Cancel, which keeps the window and the edits.
void TestTRedForm::keyMarksModified()
{
    LocaleGuard guard(QLatin1Char('.'));
    ScriptedDialogs dialogs;
    Editor editor;
    QCOMPARE(editor->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    editor.showActive();
    QTest::keyClick(editor.grid(), Qt::Key_Down);
    QTest::keyClick(editor.grid(), Qt::Key_Right);
    QVERIFY(!editor->Modified());
    QVERIFY(editor->close());
    QVERIFY(dialogs.calls.isEmpty());
    QVERIFY(editor.gone());

    Editor typing;
    QCOMPARE(typing->OpenTable(writeTemp(QStringLiteral("z.zon"), kThreeZones), 11), 1);
    typing.showActive();
    typing.type(0, 0, QStringLiteral("5"));
    QVERIFY(typing->Modified());
    dialogs.answerMessage(DialogService::Cancel);
    QVERIFY(!typing->close());
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls.first().caption, QStringLiteral("Предупреждение"));
    QCOMPARE(dialogs.calls.first().text, kPrompt);
    QCOMPARE(dialogs.calls.first().buttons, DialogService::Yes | DialogService::No | DialogService::Cancel);
    QCOMPARE(dialogs.calls.first().icon, DialogService::Icon::None);
    QVERIFY(typing->isVisible());
    QCOMPARE(typing.cells().at(0).at(0), QStringLiteral("5"));
    QCOMPARE(TestSupport::readFile(typing->TableFileName()), kThreeZones);
    dialogs.answerMessage(DialogService::No);
    QVERIFY(typing->close());

}

void TestTRedForm::otherLocaleFileKeepsRows_data()
{
    QTest::addColumn<QChar>("locale");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("origin"); // row 1's X0 as shown
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("point file, comma locale")
        << QChar(',') << QByteArray("60.3000;10.0000;90.5000;40.0000;70.1000;20.2500\r\n1;2;3;4\r\n") << "70,1"
        << QByteArray("60.3000;10.0000;90.5000;40.0000;70.1000;20.2500\r\n8 ; 2 ; 3 ; 4\r\n");
    QTest::newRow("comma file, point locale")
        << QChar('.') << QByteArray("60,3000 ; 10 ; 90,5 ; 40 ; 70,1 ; 20,25\r\n1;2;3;4\r\n") << "70.1"
        << QByteArray("60,3000 ; 10 ; 90,5 ; 40 ; 70,1 ; 20,25\r\n8 ; 2 ; 3 ; 4\r\n");
}

// A file written under the other locale shows its numbers, never -1; after
// one edit only the edited row is written anew, the others as they were read.
void TestTRedForm::otherLocaleFileKeepsRows()
{
    QFETCH(QChar, locale);
    QFETCH(QByteArray, file);
    QFETCH(QString, origin);
    QFETCH(QByteArray, saved);
    LocaleGuard guard(locale);
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("z.zon"), file);
    QCOMPARE(editor->OpenTable(path, 11), 1);
    QCOMPARE(editor.cells().at(0).at(4), origin);
    QCOMPARE(editor.cells().at(1).mid(4), (QStringList{"", ""}));
    editor->show();
    editor.type(1, 0, QStringLiteral("8"));
    editor.menuItem("N3")->trigger();
    QVERIFY(dialogs.calls.isEmpty());
    QCOMPARE(TestSupport::readFile(path), saved);
}

// Rows moved by the row commands keep their lines; the new row is written
// in the number form.
void TestTRedForm::rowCommandsKeepUntouchedLines()
{
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("z.zon"), kThreeZones);
    QCOMPARE(editor->OpenTable(path, 11), 1);
    editor->show();
    editor.grid()->setCurrentCell(1, 0);
    editor.button("ToolButton3")->click();
    for (int c = 3; c >= 0; --c)
        editor.type(1, c, QString::number(c) + QStringLiteral(",5"));
    editor.grid()->setCurrentCell(3, 0);
    editor.button("ToolButton1")->click();
    editor.menuItem("N3")->trigger();
    QVERIFY(dialogs.calls.isEmpty());
    QCOMPARE(TestSupport::readFile(path), QByteArray("10;20;110;120\r\n0,5 ; 1,5 ; 2,5 ; 3,5\r\n1.5;2;3;4;5.25;6\r\n"));
}

// The program's own result files open as results (tab separated, the image's
// number first) and are written back as the program writes them.
void TestTRedForm::resultFiles()
{
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor editor;
    const QByteArray results("1\t3.0000\t3.0000\r\n2\t4.5000\t-0.2500\r\n");
    const QString path = writeTemp(QStringLiteral("w3.crd"), results);
    QCOMPARE(EditorFileArguments::modeForFile(path), 12);
    QCOMPARE(EditorFileArguments::modeForFile(writeTemp(QStringLiteral("p.crd"), "1;2\r\n")), 2);
    QCOMPARE(editor->OpenTable(path, 12), 1);
    QCOMPARE(editor->windowTitle(), QStringLiteral("w3.crd Результаты"));
    QCOMPARE(editor.cells(), (QList<QStringList>{{"1", "3,0000", "3,0000"}, {"2", "4,5000", "-0,2500"}}));
    editor->show();
    editor.type(1, 2, QStringLiteral("-0,3"));
    editor.menuItem("N3")->trigger();
    QVERIFY(dialogs.calls.isEmpty());
    QCOMPARE(TestSupport::readFile(path), QByteArray("1\t3.0000\t3.0000\r\n2\t4.5000\t-0.3000\r\n"));
}

void TestTRedForm::badCellRefusedWhenLeft_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::newRow("zone X1") << 11 << 0 << 0 << "12a" << "Строка 1, столбец «X1 (лев. верхн.)»: «12a» не является числом";
    QTest::newRow("zone origin, other separator") << 11 << 1 << 4 << "5.5" << "";
    QTest::newRow("zone origin emptied") << 11 << 1 << 5 << "" << "";
    QTest::newRow("point list") << 4 << 0 << 0 << "2,5" << "Строка 1, столбец «Номер»: «2,5» не является целым числом";
    QTest::newRow("camera focus") << 5 << 3 << 0 << "f" << "Строка «Фокусное расстояние (пикс.)»: «f» не является числом";
    QTest::newRow("camera correction table") << 5 << 2 << 0 << "tab.dat" << "";
}

// A cell left with text its column cannot hold: the column and the reason at
// once, and the cell is current again with the text kept for mending.
void TestTRedForm::badCellRefusedWhenLeft()
{
    QFETCH(int, mode);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor editor;
    const QString file = mode == 11 ? writeTemp(QStringLiteral("z.zon"), kThreeZones)
                       : mode == 4  ? writeTemp(QStringLiteral("p.lst"), "1\r\n2\r\n")
                                    : QString();
    QCOMPARE(editor->OpenTable(file, mode), 1);
    editor->show();
    editor.type(row, column, text);
    editor.grid()->setCurrentCell(row + 1, column);
    if (message.isEmpty()) {
        QVERIFY(dialogs.calls.isEmpty());
        QCOMPARE(editor.grid()->currentRow(), row + 1);
        return;
    }
    QCOMPARE(dialogs.messageTexts(), QStringList{message});
    QCOMPARE(editor.grid()->currentRow(), row);
    QCOMPARE(editor.grid()->currentColumn(), column);
    QCOMPARE(editor.cells().at(row).at(column), text);
}

// A cell still being edited is saved with what was typed; the file follows the
// number form and every line ends in CR LF. Save writes the same file; Save As
// asks for a name and the table goes on under it.
void TestTRedForm::editAndSave()
{
    LocaleGuard guard(QLatin1Char(','));
    ScriptedDialogs dialogs;
    Editor editor;
    const QString path = writeTemp(QStringLiteral("z1.zon"), "10;20;110;120\r\n");
    QCOMPARE(editor->OpenTable(path, 11), 1);
    editor.showActive();
    editor.type(0, 4, QStringLiteral("120,50"));
    editor.type(0, 5, QStringLiteral("-1"));
    QVERIFY(editor->Modified());
    // Ctrl+S: the same file, no dialog.
    QTest::keyClick(editor.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(dialogs.calls.isEmpty());
    QCOMPARE(TestSupport::readFile(path), QByteArray("10 ; 20 ; 110 ; 120 ; 120,5 ; -1\r\n"));
    QVERIFY(!editor->Modified());

    editor.type(0, 0, QStringLiteral("11"));
    const QString target = tempPath(QStringLiteral("saved.zon"));
    dialogs.answerFile(target);
    editor.menuItem("actionSaveAs")->trigger();
    QCOMPARE(dialogs.calls.size(), 1);
    const ScriptedDialogs::Call call = dialogs.calls.first();
    QCOMPARE(call.kind, QStringLiteral("save"));
    QCOMPARE(call.caption, QStringLiteral("Сохранить"));
    QCOMPARE(call.proposedName, path);
    QCOMPARE(call.directory, m_dir->path());
    QCOMPARE(call.filter, QStringLiteral("Файлы зон|*.zon|Все файлы|*.*"));
    QCOMPARE(call.defaultSuffix, QStringLiteral("zon"));
    QCOMPARE(TestSupport::readFile(target), QByteArray("11 ; 20 ; 110 ; 120 ; 120,5 ; -1\r\n"));
    QCOMPARE(TestSupport::readFile(path), QByteArray("10 ; 20 ; 110 ; 120 ; 120,5 ; -1\r\n"));
    QVERIFY(!editor->Modified());
    QCOMPARE(editor->windowTitle(), QStringLiteral("saved.zon Зоны"));
    QCOMPARE(editor->TableFileName(), target);

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
    editor.menuItem("actionSaveAs")->trigger();
    editor.menuItem("actionSaveAs")->trigger();
    QCOMPARE(dialogs.calls.size(), 2);
    QCOMPARE(dialogs.calls.at(0).proposedName, path);
    QCOMPARE(dialogs.calls.at(1).proposedName, tempPath(QStringLiteral("first.crd")));
    QCOMPARE(dialogs.calls.at(1).filter, QStringLiteral("Файлы координат|*.crd|Все файлы|*.*"));
    // An untouched row is written as it was read.
    QCOMPARE(TestSupport::readFile(tempPath(QStringLiteral("second.crd"))), QByteArray("1;2\r\n"));
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
    editor.menuItem("actionSaveAs")->trigger();
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
    QCOMPARE(editor.cells().at(2), (QStringList{"1", "2", "2", "3", "", ""}));
    QCOMPARE(editor.cells().at(3), (QStringList{"100", "1", "2", "3", "", ""}));
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
    QTest::mouseClick(editor.button("ToolButton10"), Qt::LeftButton);
    QVERIFY(TestSupport::readFile(editor->TableFileName()).contains("\r\n5 ; 2 ; 3 ; 4 ; 5.25 ; 6\r\n"));
    QVERIFY(dialogs.messageTexts().isEmpty());
    QVERIFY(!editor->Modified());
}

void TestTRedForm::closing_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("breakTable");
    QTest::addColumn<QString>("file"); // empty: a new table; "-": the table's file made unwritable
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QStringList>("messages"); // each text begins with its entry

    const QString invalid = QStringLiteral("Ошибка в 2-й строке!");
    QTest::newRow("unchanged: no prompt") << false << 0 << false << "z.zon" << true << false << QStringList{};
    QTest::newRow("No: closes, nothing written")
        << true << int(DialogService::No) << false << "z.zon" << true << false << QStringList{kPrompt};
    QTest::newRow("Cancel: stays open")
        << true << int(DialogService::Cancel) << false << "z.zon" << false << false << QStringList{kPrompt};
    QTest::newRow("Yes: saved to its file and closed")
        << true << int(DialogService::Yes) << false << "z.zon" << true << true << QStringList{kPrompt};
    // The edits are not dropped silently: the window stays open.
    QTest::newRow("Yes, invalid table: stays open")
        << true << int(DialogService::Yes) << true << "z.zon" << false << false << QStringList{kPrompt, invalid};
    QTest::newRow("Yes, new table, dialog cancelled: stays open")
        << true << int(DialogService::Yes) << false << "" << false << false << QStringList{kPrompt};
    QTest::newRow("Yes, write fails: stays open")
        << true << int(DialogService::Yes) << false << "-" << false << false << QStringList{kPrompt, QString()};
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
    const QString path = writeTemp(QStringLiteral("z.zon"), kThreeZones);
    QCOMPARE(editor->OpenTable(file.isEmpty() ? QString() : path, 11), 1);
    editor->show();
    if (modify) {
        for (int c = 3; c >= 0; --c)
            editor.type(0, c, QString::number(11 + c));
    }
    if (breakTable)
        editor.type(1, 1, QStringLiteral("y"));
    if (answer)
        dialogs.answerMessage(DialogService::Button(answer));
    if (file == QLatin1String("-")) {
        // A directory where the file was: it cannot be replaced.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    }
    dialogs.answerFile(QString());

    QCOMPARE(editor->close(), closes);
    const QStringList texts = dialogs.messageTexts();
    QCOMPARE(texts.size(), messages.size());
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(texts.at(i).startsWith(messages.at(i)), qPrintable(texts.at(i)));
    if (file == QLatin1String("z.zon"))
        QCOMPARE(TestSupport::readFile(path).startsWith("11 ; 12 ; 13 ; 14\r\n"), written);
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
    editor.menuItem("actionSaveAs")->trigger();
    // Untouched rows keep their lines; the edited one is written anew.
    QCOMPARE(TestSupport::readFile(target), bytes);
    editor->show();
    editor.type(9999, 5, QStringLiteral("0.250"));
    editor.menuItem("N3")->trigger();
    auto lastLine = [](const QByteArray &text) { return text.lastIndexOf("\r\n", text.size() - 3) + 2; };
    QCOMPARE(TestSupport::readFile(target), bytes.left(lastLine(bytes)) + expected.mid(lastLine(expected)));
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

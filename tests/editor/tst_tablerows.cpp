#include "TableRows.h"

#include <QtTest>

using Rows = QList<QStringList>;

// Rows "a1 a2", "b1 b2", ... of two columns, written compactly as "a|b|c".
static Rows rows(const QString &names)
{
    Rows result;
    for (const QString &name : names.split(QLatin1Char('|'))) {
        if (name == QLatin1String("_"))
            result << QStringList{QString(), QString()};
        else
            result << QStringList{name + QLatin1Char('1'), name + QLatin1Char('2')};
    }
    return result;
}

class TestTableRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
};

void TestTableRows::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("firstChanged");

    QTest::newRow("insert on row 2 of three") << "insert" << "a|b|c" << 1 << "a|_|b|c" << 1;
    QTest::newRow("insert on the first row") << "insert" << "a|b" << 0 << "_|a|b" << 0;
    QTest::newRow("insert on the last row") << "insert" << "a|b" << 1 << "a|_|b" << 1;
    QTest::newRow("insert without a current row") << "insert" << "a|b" << -1 << "_|a|b" << 0;
    QTest::newRow("insert into no rows") << "insert" << "" << -1 << "_" << 0;
    QTest::newRow("append") << "append" << "a|b" << 0 << "a|b|_" << 2;
    QTest::newRow("append to no rows") << "append" << "" << -1 << "_" << 0;
    QTest::newRow("delete the only row") << "delete" << "a" << 0 << "_" << 0;
    QTest::newRow("delete from no rows") << "delete" << "" << -1 << "_" << 0;
    QTest::newRow("delete a middle row") << "delete" << "a|b|c" << 1 << "a|c" << 1;
    QTest::newRow("delete the last row") << "delete" << "a|b|c" << 2 << "a|b" << 2;
    QTest::newRow("delete the first row") << "delete" << "a|b|c" << 0 << "b|c" << 0;
    QTest::newRow("clear") << "clear" << "a|b|c" << 2 << "_" << 0;
    QTest::newRow("clear one row") << "clear" << "a" << 0 << "_" << 0;
}

void TestTableRows::commands()
{
    QFETCH(QString, command);
    QFETCH(QString, before);
    QFETCH(int, current);
    QFETCH(QString, after);
    QFETCH(int, firstChanged);
    Rows table = before.isEmpty() ? Rows() : rows(before);
    int changed = -1;
    if (command == QLatin1String("insert"))
        changed = TableRows::insertRow(table, current, 2);
    else if (command == QLatin1String("append"))
        changed = TableRows::appendRow(table, 2);
    else if (command == QLatin1String("delete"))
        changed = TableRows::deleteRow(table, current, 2);
    else
        changed = TableRows::clear(table, 2);
    QCOMPARE(table, rows(after));
    QCOMPARE(changed, firstChanged);
}

QTEST_GUILESS_MAIN(TestTableRows)
#include "tst_tablerows.moc"

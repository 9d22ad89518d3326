#include "MarkerColors.h"

#include <QtTest>

// The eighteen named colours in both directions.
class TestMarkerColors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void table_data();
    void table();
    void namesInListOrder();
    void unknownNamesAndValues();
};

void TestMarkerColors::table_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("rgb");
    QTest::addColumn<QString>("nameBack");
    const auto row = [](const char *name, int value, QColor rgb, const char *back) {
        QTest::newRow(name) << QString::fromLatin1(name) << value << rgb << QString::fromLatin1(back);
    };
    row("Aqua", 16776960, QColor(0, 255, 255), "Aqua");
    row("Black", 0, QColor(0, 0, 0), "Black");
    row("Blue", 16711680, QColor(0, 0, 255), "Blue");
    row("Dark gray", 8421504, QColor(128, 128, 128), "Dark gray");
    row("Fuchsia", 16711935, QColor(255, 0, 255), "Fuchsia");
    row("Gray", 8421504, QColor(128, 128, 128), "Dark gray");
    row("Green", 32768, QColor(0, 128, 0), "Green");
    row("Lime green", 65280, QColor(0, 255, 0), "Lime green");
    row("Light gray", 12632256, QColor(192, 192, 192), "Light gray");
    row("Maroon", 128, QColor(128, 0, 0), "Maroon");
    row("Navy blue", 8388608, QColor(0, 0, 128), "Navy blue");
    row("Olive green", 32896, QColor(128, 128, 0), "Olive green");
    row("Purple", 8388736, QColor(128, 0, 128), "Purple");
    row("Red", 255, QColor(255, 0, 0), "Red");
    row("Silver", 12632256, QColor(192, 192, 192), "Light gray");
    row("Teal", 8421376, QColor(0, 128, 128), "Teal");
    row("White", 16777215, QColor(255, 255, 255), "White");
    row("Yellow", 65535, QColor(255, 255, 0), "Yellow");
}

void TestMarkerColors::table()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(QColor, rgb);
    QFETCH(QString, nameBack);
    QCOMPARE(MarkerColors::NameToColor(name), value);
    QCOMPARE(MarkerColors::ColorToName(value), nameBack);
    QCOMPARE(MarkerColors::toQColor(value), rgb);
}

void TestMarkerColors::namesInListOrder()
{
    const QStringList names = MarkerColors::names();
    QCOMPARE(names.size(), 18);
    QCOMPARE(names.first(), QStringLiteral("Aqua"));
    QCOMPARE(names.at(5), QStringLiteral("Gray"));
    QCOMPARE(names.last(), QStringLiteral("Yellow"));
}

void TestMarkerColors::unknownNamesAndValues()
{
    QCOMPARE(MarkerColors::NameToColor(QStringLiteral("red")), 0);
    QCOMPARE(MarkerColors::NameToColor(QStringLiteral("Dark grey")), 0);
    QCOMPARE(MarkerColors::NameToColor(QStringLiteral(" Red")), 0);
    QCOMPARE(MarkerColors::ColorToName(12345), QString());
    QCOMPARE(MarkerColors::ColorToName(-1), QString());
}

QTEST_GUILESS_MAIN(TestMarkerColors)
#include "tst_markercolors.moc"

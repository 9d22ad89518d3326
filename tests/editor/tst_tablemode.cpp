#include "TableMode.h"

#include <QtTest>

Q_DECLARE_METATYPE(TableKind)

class TestTableMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modes_data();
    void modes();
    void unknownModes();
    void parameterCaptions();
    void titles_data();
    void titles();
};

void TestTableMode::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("extension");

    const QList<int> zoneWidths{50, 110, 110, 110, 110, 110, 110};
    const QStringList zoneHeaders{"", "X1 (лев. верхн.)", "Y1 (лев. верхн.)", "X2 (прав. нижн.)",
                                  "Y2 (прав. нижн.)", "X (ноль)", "Y (ноль)"};
    QTest::newRow("11 zones") << 11 << TableKind::Zone << " Зоны" << zoneWidths << zoneHeaders << QSize(720, 500)
                              << 20 << "Файлы зон|*.zon|Все файлы|*.*" << "zon";

    const QString coordinates = QStringLiteral("Файлы координат|*.crd|Все файлы|*.*");
    QTest::newRow("1 scene") << 1 << TableKind::SceneCoordinates << " Реперные точки" << QList<int>{50, 100, 100, 100}
                             << QStringList{"", "x", "y", "z"} << QSize(400, 500) << 20 << coordinates << "crd";
    for (int mode : {2, 3, 9, 10}) {
        const QString suffix = mode < 9 ? QStringLiteral(" Реперные точки") : QStringLiteral(" Соответственные точки");
        QTest::addRow("%d image", mode) << mode << TableKind::ImageCoordinates << suffix << QList<int>{50, 100, 100}
                                        << QStringList{"", "x", "y"} << QSize(300, 500) << 20 << coordinates << "crd";
    }
    QTest::newRow("4 point list") << 4 << TableKind::PointList << " Список реперных точек" << QList<int>{50, 50}
                                  << QStringList{"", "Номер"} << QSize(300, 500) << 20
                                  << "Списки точек|*.lst|Все файлы|*.*" << "lst";
    for (int mode : {5, 6}) {
        QTest::addRow("%d camera", mode) << mode << TableKind::Camera << " Внутренняя геометрия"
                                         << QList<int>{290, 200} << QStringList{} << QSize(520, 290) << 24
                                         << "Файлы внутренней геометрии|*.cam|Все файлы|*.*" << "cam";
    }
    for (int mode : {7, 8}) {
        QTest::addRow("%d orientation", mode) << mode << TableKind::Orientation << " Внешняя геометрия"
                                              << QList<int>{260, 110} << QStringList{} << QSize(410, 500) << 24
                                              << "Файлы внешней геометрии|*.ort|Все файлы|*.*" << "ort";
    }
    QTest::newRow("12 results") << 12 << TableKind::Results << " Результаты" << QList<int>{50, 70, 100, 100}
                                << QStringList{"", "Снимок", "X", "Y"} << QSize(380, 500) << 20 << coordinates << "crd";
}

void TestTableMode::modes()
{
    QFETCH(int, mode);
    QFETCH(TableKind, kind);
    QFETCH(QString, suffix);
    QFETCH(QList<int>, widths);
    QFETCH(QStringList, headers);
    QFETCH(QSize, window);
    QFETCH(int, rowHeight);
    QFETCH(QString, filter);
    QFETCH(QString, extension);
    const std::optional<TableMode> table = TableMode::fromNumber(mode);
    QVERIFY(table.has_value());
    QCOMPARE(table->number(), mode);
    QCOMPARE(table->kind(), kind);
    QCOMPARE(table->titleSuffix(), suffix);
    QCOMPARE(table->columnWidths(), widths);
    QCOMPARE(table->columnCount(), widths.size());
    QCOMPARE(table->headerTexts(), headers);
    QCOMPARE(table->windowSize(), window);
    QCOMPARE(table->rowHeight(), rowHeight);
    QCOMPARE(table->fileFilter(), filter);
    QCOMPARE(table->defaultExtension(), extension);
    const bool parameters = kind == TableKind::Camera || kind == TableKind::Orientation;
    QCOMPARE(table->isParameterLayout(), parameters);
    QCOMPARE(table->captions().size(), kind == TableKind::Camera ? 8 : kind == TableKind::Orientation ? 21 : 0);
}

void TestTableMode::unknownModes()
{
    for (int mode : {0, -1, 13, 100})
        QVERIFY(!TableMode::fromNumber(mode).has_value());
}

void TestTableMode::parameterCaptions()
{
    const QStringList camera = TableMode::fromNumber(5)->captions();
    QCOMPARE(camera.at(0), QStringLiteral("Координата X центра изображения (пикс.)"));
    QCOMPARE(camera.at(2), QStringLiteral("Таблица коррекции"));
    QCOMPARE(camera.at(4), QStringLiteral("Ширина изображения (пикс.)"));
    QCOMPARE(camera.at(7), QStringLiteral("Координата Y главной точки (пикс.)"));
    const QStringList orientation = TableMode::fromNumber(8)->captions();
    QCOMPARE(orientation.at(5), QStringLiteral("Расстояние до точки визирования"));
    QCOMPARE(orientation.at(11), QStringLiteral("Угол поворота (стенд.) (градусы)"));
    QCOMPARE(orientation.mid(12), (QStringList{"axx", "axy", "axz", "ayx", "ayy", "ayz", "azx", "azy", "azz"}));
}

void TestTableMode::titles_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::newRow("untitled") << 11 << "" << "Без имени Зоны";
    QTest::newRow("bare name") << 11 << "z1.zon" << "z1.zon Зоны";
    QTest::newRow("with directories") << 11 << "/home/op/zones/z1.zon" << "z1.zon Зоны";
    QTest::newRow("backslashes") << 4 << "C:\\data\\points.lst" << "points.lst Список реперных точек";
    QTest::newRow("relative") << 9 << "sub/pts.crd" << "pts.crd Соответственные точки";
    QTest::newRow("orientation") << 7 << "a.ort" << "a.ort Внешняя геометрия";
}

void TestTableMode::titles()
{
    QFETCH(int, mode);
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    QCOMPARE(TableMode::fromNumber(mode)->title(fileName), title);
}

QTEST_GUILESS_MAIN(TestTableMode)
#include "tst_tablemode.moc"

// The main window's widget-free rules: the images of a run, the results base
// of a chosen save path, and the texts of the mouse read-outs under both
// decimal separators.

#include "MainFormRules.h"
#include "TestSupport.h"

#include <QTest>

class TestMainFormRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runImages_data();
    void runImages();
    void resultsBase_data();
    void resultsBase();
    void positionText();
    void brightnessText_data();
    void brightnessText();
    void progressText_data();
    void progressText();
    void runSummary();
    void spotsText_data();
    void spotsText();
};

void TestMainFormRules::runImages_data()
{
    QTest::addColumn<int>("startStyle");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("manual: the selection") << 3 << QStringList{"/d/b.bmp", "/d/d.bmp"};
    QTest::newRow("watched: the selection") << 2 << QStringList{"/d/b.bmp", "/d/d.bmp"};
    QTest::newRow("scheduled: every file") << 1 << QStringList{"/d/a.bmp", "/d/b.bmp", "/d/c.bmp", "/d/d.bmp"};
}

void TestMainFormRules::runImages()
{
    QFETCH(int, startStyle);
    QFETCH(QStringList, expected);
    const QStringList all = {"/d/a.bmp", "/d/b.bmp", "/d/c.bmp", "/d/d.bmp"};
    QCOMPARE(MainFormRules::runImages(all, {"/d/b.bmp", "/d/d.bmp"}, startStyle), expected);
    QCOMPARE(MainFormRules::runImages(all, {}, startStyle).isEmpty(), startStyle != 1);
}

void TestMainFormRules::resultsBase_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << "/data/run.crd" << "/data/run";
    QTest::newRow("first dot of the name") << "/data/res.v2.crd" << "/data/res";
    QTest::newRow("dotted directory kept") << "/data/run.2024/res.crd" << "/data/run.2024/res";
    QTest::newRow("hidden directory kept") << "/home/op/.local/res.crd" << "/home/op/.local/res";
    QTest::newRow("no dot") << "/data/res" << "/data/res";
    QTest::newRow("name is all suffix") << "/data/.crd" << "/data/";
    QTest::newRow("relative") << "res.crd" << "res";
}

void TestMainFormRules::resultsBase()
{
    QFETCH(QString, chosen);
    QFETCH(QString, base);
    QCOMPARE(MainFormRules::resultsBaseFromChosenPath(chosen), base);
}

void TestMainFormRules::positionText()
{
    QCOMPARE(MainFormRules::positionText(QPoint(50, 28)), QStringLiteral(" X= 50;  Y= 28 "));
    QCOMPARE(MainFormRules::positionText(QPoint(0, 1944)), QStringLiteral(" X= 0;  Y= 1944 "));
}

void TestMainFormRules::brightnessText_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<QString>("text");
    for (QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
        const char sep = separator.toLatin1();
        QTest::addRow("'%c' grey", sep) << separator << qRgb(85, 85, 85) << QStringLiteral("85");
        QTest::addRow("'%c' pure red", sep) << separator << qRgb(255, 0, 0) << QStringLiteral("85");
        QTest::addRow("'%c' sum 256", sep) << separator << qRgb(255, 1, 0)
                                          << QStringLiteral("85") + separator + QStringLiteral("3333333333333");
        QTest::addRow("'%c' black", sep) << separator << qRgb(0, 0, 0) << QStringLiteral("0");
        QTest::addRow("'%c' white", sep) << separator << qRgb(255, 255, 255) << QStringLiteral("255");
    }
}

void TestMainFormRules::brightnessText()
{
    QFETCH(QChar, separator);
    QFETCH(QRgb, colour);
    QFETCH(QString, text);
    LocaleGuard locale(separator);
    QCOMPARE(MainFormRules::brightnessText(colour), text);
}

void TestMainFormRules::progressText_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("before the first image") << 0 << 10 << qint64(0) << "0 из 10";
    QTest::newRow("seconds left, rounded up") << 3 << 10 << qint64(3000) << "3 из 10, осталось 0:07";
    QTest::newRow("a part of a second left") << 9 << 10 << qint64(900) << "9 из 10, осталось 0:01";
    QTest::newRow("minutes") << 1 << 100 << qint64(2500) << "1 из 100, осталось 4:08";
    QTest::newRow("hours") << 10 << 20000 << qint64(20000) << "10 из 20000, осталось 11:06:20";
    QTest::newRow("done") << 10 << 10 << qint64(9000) << "10 из 10";
}

void TestMainFormRules::progressText()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(qint64, elapsedMs);
    QTEST(MainFormRules::progressText(done, total, elapsedMs), "text");
}

// What a run's end says: images, points found per zone, where the results went.
void TestMainFormRules::runSummary()
{
    TZoneInfo one, two;
    one.points = {VT_Point(1, 2), VT_Point(3, 4), VT_Point(5, 6)};
    two.points = {VT_Point(1, 2), VT_Point(-1, -1), VT_Point(5, 6)};
    QCOMPARE(MainFormRules::runSummary(3, {one, two}, QStringLiteral("/w/work_0001")),
             QStringLiteral("Изображений: 3. Зона 1: точек найдено 3 из 3. Зона 2: точек найдено 2 из 3. "
                            "Результаты: /w/work_0001_<зона>.crd, /w/work_0001_time.log."));
    QCOMPARE(MainFormRules::runSummary(1, {one}, QString()).endsWith(QStringLiteral("из 1.")), true);
}

void TestMainFormRules::spotsText_data()
{
    QTest::addColumn<QList<int>>("spots");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one spot each") << QList<int>{1, 1, 1} << "";
    QTest::newRow("not counted, none") << QList<int>{0, 0} << "";
    QTest::newRow("third zone") << QList<int>{1, 0, 2} << "Зона 3: несколько пятен (2)";
    QTest::newRow("two zones") << QList<int>{4, 1, 1, 1, 2} << "Зоны 1 (4), 5 (2): несколько пятен";
    QTest::newRow("no zones") << QList<int>{} << "";
}

void TestMainFormRules::spotsText()
{
    QFETCH(QList<int>, spots);
    QFETCH(QString, expected);
    QList<TZoneMeasurement> zones;
    for (int n : spots) {
        TZoneMeasurement zone;
        zone.found = n > 0;
        zone.spots = n;
        zones << zone;
    }
    QCOMPARE(MainFormRules::spotsText(zones), expected);
}

QTEST_GUILESS_MAIN(TestMainFormRules)
#include "tst_mainformrules.moc"

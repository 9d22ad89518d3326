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

QTEST_GUILESS_MAIN(TestMainFormRules)
#include "tst_mainformrules.moc"

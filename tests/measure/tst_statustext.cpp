#include "StatusText.h"
#include "TestSupport.h"

#include <QtTest>

// Status bar texts: six significant digits, three decimals, the locale's separator.
class TestStatusText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void number_data();
    void number();
    void texts();
};

void TestStatusText::number_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected"); // with "." for the separator

    QTest::newRow("12.2") << 12.2 << "12.200";
    QTest::newRow("1234.5678") << 1234.5678 << "1234.570";
    QTest::newRow("12345.678") << 12345.678 << "12345.700";
    QTest::newRow("123456.78") << 123456.78 << "123457.000";
    QTest::newRow("1234567.8") << 1234567.8 << "1234570.000";
    QTest::newRow("99999.96 carries") << 99999.96 << "100000.000";
    QTest::newRow("zero") << 0.0 << "0.000";
    QTest::newRow("-1") << -1.0 << "-1.000";
    QTest::newRow("0.4") << 0.4 << "0.400";
    QTest::newRow("0.2 step") << 10.2 << "10.200";
    QTest::newRow("small") << 0.00012 << "0.000";
    QTest::newRow("-1234.5678") << -1234.5678 << "-1234.570";
}

void TestStatusText::number()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    for (QChar separator : {QChar('.'), QChar(',')}) {
        LocaleGuard locale(separator);
        QString text = expected;
        text.replace(QLatin1Char('.'), separator);
        QCOMPARE(StatusText::number(value), text);
    }
}

void TestStatusText::texts()
{
    LocaleGuard locale(QChar(','));
    QCOMPARE(StatusText::column(17.4), QStringLiteral("X=17,400"));
    QCOMPARE(StatusText::row(240), QStringLiteral("Y=240,000"));
    QCOMPARE(StatusText::place(17.4, 240), QStringLiteral("Поставить точку: 17,400 - 240,000    "));
    QCOMPARE(StatusText::point(1, 2.5), QStringLiteral("Точка: 1,000 - 2,500    "));
    QCOMPARE(StatusText::remove(-1, -1), QStringLiteral("Удалить точку: -1,000 - -1,000    "));
    // What the points file will hold, not the pixel: 260.4 is not 260.
    QCOMPARE(StatusText::active(260.4, 242.2), QStringLiteral("260,4 ; 242,2"));
    QCOMPARE(StatusText::active(-0.5, -1), QStringLiteral("-0,5 ; -1"));
}

QTEST_GUILESS_MAIN(TestStatusText)
#include "tst_statustext.moc"

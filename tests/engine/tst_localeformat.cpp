#include "LocaleFormat.h"
#include "TestSupport.h"

#include <QtTest>

#include <cmath>

// Number and date texts under both decimal separators.
class TestLocaleFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatFixed_data();
    void formatFixed();
    void formatGeneral_data();
    void formatGeneral();
    void parseReal_data();
    void parseReal();
    void parseRealTakesEitherSeparator();
    void parseInteger_data();
    void parseInteger();
    void generalRoundTrip();
    void dateAndTime();
};

void TestLocaleFormat::formatFixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tie up") << 0.03125 << "0.0313";
    QTest::newRow("tie down negative") << -0.03125 << "-0.0313";
    QTest::newRow("binary below tie") << 12.34565 << "12.3456";
    QTest::newRow("half") << 12.5 << "12.5000";
    QTest::newRow("quarter negative") << -0.25 << "-0.2500";
    QTest::newRow("integer") << 1024.0 << "1024.0000";
    QTest::newRow("zero") << 0.0 << "0.0000";
    QTest::newRow("negative zero") << -0.0 << "0.0000";
    QTest::newRow("negative to zero") << -0.00001 << "-0.0000";
    QTest::newRow("small up") << 0.00005 << "0.0001";
    QTest::newRow("carry") << 9.99996 << "10.0000";
    QTest::newRow("carry across digits") << 99.99996875 << "100.0000";
    QTest::newRow("minus one") << -1.0 << "-1.0000";
    QTest::newRow("large") << 123456789.123456 << "123456789.1235";
    QTest::newRow("tiny") << 1e-300 << "0.0000";
}

void TestLocaleFormat::formatFixed()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        QString want = expected;
        want.replace(QLatin1Char('.'), sep);
        QCOMPARE(LocaleFormat::formatFixed(value, 4), want);
        QCOMPARE(LocaleFormat::formatFixed(value, 4, QLatin1Char('.')), expected);
    }
}

void TestLocaleFormat::formatGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 17.0 << "17";
    QTest::newRow("fraction") << 17.25 << "17.25";
    QTest::newRow("negative half") << -0.5 << "-0.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("default B") << 0.75 << "0.75";
    QTest::newRow("small plain") << 0.0001 << "0.0001";
    QTest::newRow("small scientific") << 0.00001 << "1E-5";
    QTest::newRow("big scientific") << 2.5e20 << "2.5E20";
    QTest::newRow("just below 1E15") << 999999999999999.0 << "999999999999999";
    QTest::newRow("1E15") << 1e15 << "1E15";
    QTest::newRow("rounds up to 1E15") << 999999999999999.9 << "1E15";
    QTest::newRow("15 digits") << 0.1 + 0.2 << "0.3";
    QTest::newRow("third") << 1.0 / 3.0 << "0.333333333333333";
    QTest::newRow("85 and thirds") << 256.0 / 3.0 << "85.3333333333333";
    QTest::newRow("date") << 46000.5 << "46000.5";
    QTest::newRow("negative scientific") << -1.5e-7 << "-1.5E-7";
    QTest::newRow("tiny keeps 15 digits") << 1.23456789012345e-30 << "1.23456789012345E-30";
    QTest::newRow("below 1E-40") << -1.5e-45 << "-1.5E-45";
    QTest::newRow("smallest denormal") << 5e-324 << "4.94065645841247E-324";
    QTest::newRow("colour") << 16711680.0 << "16711680";
}

void TestLocaleFormat::formatGeneral()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        QString want = expected;
        want.replace(QLatin1Char('.'), sep);
        QCOMPARE(LocaleFormat::formatGeneral(value), want);
    }
}

void TestLocaleFormat::parseReal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "100" << true << 100.0;
    QTest::newRow("blanks") << "  120.5  " << true << 120.5;
    QTest::newRow("sign") << "-0.5" << true << -0.5;
    QTest::newRow("plus") << "+7" << true << 7.0;
    QTest::newRow("exponent") << "7.25E1" << true << 72.5;
    QTest::newRow("small exponent") << "1e-3" << true << 0.001;
    QTest::newRow("exponent plus") << "1E+2" << true << 100.0;
    QTest::newRow("separator alone") << "." << true << 0.0;
    QTest::newRow("leading separator") << ".5" << true << 0.5;
    QTest::newRow("trailing separator") << "5." << true << 5.0;
    QTest::newRow("underflow") << "1e-999" << true << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("spaces only") << "   " << false << 0.0;
    QTest::newRow("tab") << "\t5" << false << 0.0;
    QTest::newRow("letter") << "abc" << false << 0.0;
    QTest::newRow("trailing garbage") << "5x" << false << 0.0;
    QTest::newRow("two separators") << "1.2.3" << false << 0.0;
    QTest::newRow("bare exponent") << "1e" << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("inner blank") << "1 2" << false << 0.0;
    QTest::newRow("overflow") << "1e999" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("other separator") << "1,5" << true << 1.5;
    QTest::newRow("other separator alone") << "," << true << 0.0;
    QTest::newRow("both separators") << "1.2,3" << false << 0.0;
    QTest::newRow("other separator twice") << "1,2,3" << false << 0.0;
    QTest::newRow("thousands grouping") << "1,234.5" << false << 0.0;
}

void TestLocaleFormat::parseReal()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        // The same cases written with the locale's own separator, and the
        // other separator's cases swapped accordingly.
        QString localText = text;
        if (sep == QLatin1Char(',')) {
            localText.replace(QLatin1Char(','), QLatin1Char('#'));
            localText.replace(QLatin1Char('.'), QLatin1Char(','));
            localText.replace(QLatin1Char('#'), QLatin1Char('.'));
        }
        double parsed = -12345;
        QCOMPARE(LocaleFormat::parseReal(localText, &parsed), ok);
        if (ok)
            QCOMPARE(parsed, value);
    }
}

void TestLocaleFormat::parseRealTakesEitherSeparator()
{
    // A file written under one locale read under the other, both ways; the
    // one-separator form stays strict.
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        double value = 0;
        QVERIFY(LocaleFormat::parseReal(QStringLiteral("12,9"), &value));
        QCOMPARE(value, 12.9);
        QVERIFY(LocaleFormat::parseReal(QStringLiteral("70.1000"), &value));
        QCOMPARE(value, 70.1);
    }
    double value = 0;
    QVERIFY(!LocaleFormat::parseReal(QStringLiteral("200.5"), QLatin1Char(','), &value));
    QVERIFY(LocaleFormat::parseReal(QStringLiteral("200.5"), QLatin1Char('.'), &value));
    QCOMPARE(value, 200.5);
}

void TestLocaleFormat::parseInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allowHex");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("decimal") << "3000" << true << true << 3000;
    QTest::newRow("hex") << "0x10" << true << true << 16;
    QTest::newRow("hex capital") << "0XfF" << true << true << 255;
    QTest::newRow("hex not allowed") << "0x10" << false << false << 0;
    QTest::newRow("negative") << "-5" << true << true << -5;
    QTest::newRow("leading blanks") << "  2" << true << true << 2;
    QTest::newRow("trailing blank") << "2 " << true << false << 0;
    QTest::newRow("word") << "yes" << true << false << 0;
    QTest::newRow("real") << "3.5" << true << false << 0;
    QTest::newRow("empty") << "" << true << false << 0;
    QTest::newRow("bare hex prefix") << "0x" << true << false << 0;
    QTest::newRow("max") << "2147483647" << true << true << 2147483647;
    QTest::newRow("min") << "-2147483648" << true << true << int(-2147483647 - 1);
    QTest::newRow("overflow") << "2147483648" << true << false << 0;
    QTest::newRow("hex full width") << "0xFFFFFFFF" << true << true << -1;
}

void TestLocaleFormat::parseInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, allowHex);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int parsed = 777;
    QCOMPARE(LocaleFormat::parseInteger(text, &parsed, allowHex), ok);
    if (ok)
        QCOMPARE(parsed, value);
}

void TestLocaleFormat::generalRoundTrip()
{
    // What the settings file writes must read back to the same 15 digits.
    const double values[] = {0.75, 200.5, 46000.416666666664, 1e-7, -3.25e18, 123456.789012345};
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        for (double v : values) {
            double back = 0;
            QVERIFY(LocaleFormat::parseReal(LocaleFormat::formatGeneral(v), &back));
            QCOMPARE(LocaleFormat::formatGeneral(back), LocaleFormat::formatGeneral(v));
            QVERIFY(std::fabs(back - v) <= std::fabs(v) * 1e-14);
        }
    }
}

void TestLocaleFormat::dateAndTime()
{
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(LocaleFormat::shortDate(QDate(1899, 12, 30)), QStringLiteral("30.12.1899"));
    // No time zone name in the long time.
    QCOMPARE(LocaleFormat::longTime(QTime(9, 5, 3)), QStringLiteral("09:05:03"));
}

QTEST_GUILESS_MAIN(TestLocaleFormat)
#include "tst_localeformat.moc"

// The one CSV field writer and the one ISO 8601 time formatter.
#include "CsvField.h"
#include "IsoTime.h"

#include <QTest>
#include <QTimeZone>

class TestTableFields : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvField_data();
    void csvField();
    void isoTime_data();
    void isoTime();
    void utcTextOrdersAsTime();
};

void TestTableFields::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << "img0001.bmp" << QByteArray("img0001.bmp");
    QTest::newRow("empty") << "" << QByteArray("");
    QTest::newRow("only a comma") << "," << QByteArray("\",\"");
    QTest::newRow("quote") << "a \"b\"" << QByteArray("\"a \"\"b\"\"\"");
    QTest::newRow("line break") << "a\nb" << QByteArray("\"a\nb\"");
    QTest::newRow("carriage return") << "a\rb" << QByteArray("\"a\rb\"");
    QTest::newRow("leading blank") << " a" << QByteArray("\" a\"");
    QTest::newRow("trailing tab") << "a\t" << QByteArray("\"a\t\"");
    QTest::newRow("inner blank") << "a b" << QByteArray("a b");
    QTest::newRow("cyrillic") << "Архив.zip:снимок,1.bmp" << QByteArray("\"Архив.zip:снимок,1.bmp\"");
}

void TestTableFields::csvField()
{
    QFETCH(QString, text);
    QTEST(CsvField::encode(text), "field");
}

void TestTableFields::isoTime_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<bool>("milliseconds");
    QTest::addColumn<QString>("text");
    const QDate day(2026, 3, 1);
    QTest::newRow("east") << QDateTime(day, QTime(12, 0, 5, 250), QTimeZone(3 * 3600)) << true
                          << "2026-03-01T12:00:05.250+03:00";
    QTest::newRow("west, half hours") << QDateTime(day, QTime(1, 2, 3, 4), QTimeZone(-(3 * 3600 + 1800))) << true
                                      << "2026-03-01T01:02:03.004-03:30";
    QTest::newRow("utc, seconds") << QDateTime(day, QTime(23, 59, 59, 999), QTimeZone::utc()) << false
                                  << "2026-03-01T23:59:59+00:00";
    QTest::newRow("invalid") << QDateTime() << true << "";
}

void TestTableFields::isoTime()
{
    QFETCH(QDateTime, time);
    QFETCH(bool, milliseconds);
    QTEST(IsoTime::text(time, milliseconds ? IsoTime::Precision::Milliseconds : IsoTime::Precision::Seconds), "text");
    if (time.isValid())
        QCOMPARE(QDateTime::fromString(IsoTime::utcText(time), Qt::ISODateWithMs), time);
}

// Times of stations in other zones: the UTC texts sort as the times do.
void TestTableFields::utcTextOrdersAsTime()
{
    const QDateTime moscow(QDate(2026, 3, 1), QTime(12, 0), QTimeZone(3 * 3600));
    const QDateTime london = moscow.addSecs(-60).toTimeZone(QTimeZone(0));
    const QDateTime vancouver = moscow.addSecs(60).toTimeZone(QTimeZone(-8 * 3600));
    QStringList texts{IsoTime::utcText(vancouver), IsoTime::utcText(moscow), IsoTime::utcText(london)};
    texts.sort();
    QCOMPARE(texts, (QStringList{IsoTime::utcText(london), IsoTime::utcText(moscow), IsoTime::utcText(vancouver)}));
    QCOMPARE(IsoTime::utcText(moscow), QStringLiteral("2026-03-01T09:00:00.000+00:00"));
}

QTEST_GUILESS_MAIN(TestTableFields)
#include "tst_tablefields.moc"

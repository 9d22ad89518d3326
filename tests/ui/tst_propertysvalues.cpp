// The settings dialog's values without its widgets: what it shows for the
// settings under both decimal separators, and taking the values over in
// order, with the group a conversion stops at.

#include "KelvarinError.h"
#include "PropertysValues.h"
#include "TDateTime.h"
#include "TParameters.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

TParameters sample()
{
    TParameters p;
    p.StartStyle = 1;
    p.Koeff_A = 2.5;
    p.Koeff_n = 0.5;
    p.Koeff_B = 1.0 / 3.0;
    p.Koeff_C = -12.25;
    p.Steps = true;
    p.WorkDir = QStringLiteral("/data/work");
    p.BufferDir = QStringLiteral("/data/buffer");
    p.ZonesFileName = QStringLiteral("/data/z1.zon");
    p.BMPInputFormat = false;
    p.AverageYPorog = 200.5;
    p.MaxSCount = 3000;
    p.MinSCount = 1000;
    // 1 March 2024, 10:15:37.25: seconds the time field does not show.
    p.StartDate = TDateTime::fromDateAndTime(QDate(2024, 3, 1), QTime(10, 15, 37, 250));
    p.NeedVisualization = false;
    p.ResAutoSave = true;
    p.GlobalAverageYPercent = 0.123456789;
    p.SaveToOneZip = true;
    p.SaveToManyZip = false;
    return p;
}

const auto acceptAnyDir = [](const QString &) {};

} // namespace

class TestPropertysValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shown_data();
    void shown();
    void unchangedKeepsEverything();
    void edited_data();
    void edited();
    void stopsAtFirstFailure_data();
    void stopsAtFirstFailure();
    void workDirThatCannotBeEntered();
    void startDate_data();
    void startDate();
    void sameDirectory();
    void noStoredDateOffersToday();
    void areasOutOfOrder_data();
    void areasOutOfOrder();
};

void TestPropertysValues::shown_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow("point") << QChar(u'.');
    QTest::newRow("comma") << QChar(u',');
}

void TestPropertysValues::shown()
{
    QFETCH(QChar, separator);
    LocaleGuard locale(separator);
    TParameters p = sample();
    p.Koeff_B = 0.75;
    p.GlobalAverageYPercent = 0.8;
    const PropertysValues v = PropertysValues::fromSettings(p);
    auto local = [&](QString text) { return text.replace(QLatin1Char('.'), separator); };
    QCOMPARE(v.koeffB, local(QStringLiteral("0.75")));
    QCOMPARE(v.koeffC, local(QStringLiteral("-12.25")));
    QCOMPARE(v.porog, local(QStringLiteral("200.5")));
    QCOMPARE(v.percent, QStringLiteral("80"));
    QCOMPARE(v.minS, QStringLiteral("1000"));
    QCOMPARE(v.maxS, QStringLiteral("3000"));
    QCOMPARE(v.date, QDate(2024, 3, 1));
    QCOMPARE(v.time, QTime(10, 15));
    QCOMPARE(v.startStyle, 1);
    QVERIFY(v.steps);
    QVERIFY(!v.visualization);
    QVERIFY(v.oneZip);
    QCOMPARE(v.workDir, p.WorkDir);
    QCOMPARE(v.bufferDir, p.BufferDir);
    QCOMPARE(v.zonesFile, p.ZonesFileName);

    // A style the dialog does not know is the manual one.
    p.StartStyle = 0;
    QCOMPARE(PropertysValues::fromSettings(p).startStyle, 3);
}

// Texts of 15 digits, a percentage and a time to the minute would not give
// these values back bit for bit; left as shown, they are kept as they are.
void TestPropertysValues::unchangedKeepsEverything()
{
    for (QChar separator : {QChar(u'.'), QChar(u',')}) {
        LocaleGuard locale(separator);
        const TParameters before = sample();
        TParameters p = before;
        const PropertysValues shown = PropertysValues::fromSettings(p);
        QStringList entered;
        QCOMPARE(shown.takeOver(shown, p, [&](const QString &dir) { entered << dir; }),
                 PropertysValues::AllTakenOver);
        QVERIFY(p == before);
        // The working directory is entered at every OK.
        QCOMPARE(entered, QStringList{before.WorkDir});
    }
}

void TestPropertysValues::edited_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("80 %") << QChar(u'.') << "percent" << "80" << 0.8;
    QTest::newRow("75 %") << QChar(u',') << "percent" << "75" << 0.75;
    QTest::newRow("percent with comma") << QChar(u',') << "percent" << "62,5" << 0.625;
    QTest::newRow("B with point") << QChar(u'.') << "koeffB" << "0.5" << 0.5;
    QTest::newRow("B with comma") << QChar(u',') << "koeffB" << "0,5" << 0.5;
    QTest::newRow("C in exponent form") << QChar(u'.') << "koeffC" << " -1.5E2 " << -150.0;
    QTest::newRow("threshold") << QChar(u',') << "porog" << "172" << 172.0;
    QTest::newRow("minimum area") << QChar(u'.') << "minS" << "5" << 5.0;
    QTest::newRow("B with point under comma") << QChar(u',') << "koeffB" << "0.5" << 0.5;
    QTest::newRow("threshold with comma under point") << QChar(u'.') << "porog" << "172,5" << 172.5;
    QTest::newRow("maximum area") << QChar(u',') << "maxS" << "5000" << 5000.0;
}

void TestPropertysValues::edited()
{
    QFETCH(QChar, separator);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(double, value);
    LocaleGuard locale(separator);
    TParameters p = sample();
    const PropertysValues shown = PropertysValues::fromSettings(p);
    PropertysValues edited = shown;
    QString *slot = field == QLatin1String("percent") ? &edited.percent
                  : field == QLatin1String("koeffB")  ? &edited.koeffB
                  : field == QLatin1String("koeffC")  ? &edited.koeffC
                  : field == QLatin1String("porog")   ? &edited.porog
                  : field == QLatin1String("minS")    ? &edited.minS
                                                      : &edited.maxS;
    *slot = text;
    QCOMPARE(edited.takeOver(shown, p, acceptAnyDir), PropertysValues::AllTakenOver);
    const double stored = field == QLatin1String("percent") ? p.GlobalAverageYPercent
                        : field == QLatin1String("koeffB")  ? p.Koeff_B
                        : field == QLatin1String("koeffC")  ? p.Koeff_C
                        : field == QLatin1String("porog")   ? p.AverageYPorog
                        : field == QLatin1String("minS")    ? double(p.MinSCount)
                                                            : double(p.MaxSCount);
    QCOMPARE(stored, value);
    // Shown again as entered.
    if (field == QLatin1String("percent"))
        QCOMPARE(PropertysValues::fromSettings(p).percent, text);
}

void TestPropertysValues::stopsAtFirstFailure_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("group");
    QTest::newRow("B") << "koeffB" << int(PropertysValues::KoeffB);
    QTest::newRow("C") << "koeffC" << int(PropertysValues::KoeffC);
    QTest::newRow("threshold") << "porog" << int(PropertysValues::Brightness);
    QTest::newRow("percent") << "percent" << int(PropertysValues::Brightness);
    QTest::newRow("minimum area") << "minS" << int(PropertysValues::Areas);
    QTest::newRow("maximum area") << "maxS" << int(PropertysValues::Areas);
}

// Every value before the bad one is taken over, none after it.
void TestPropertysValues::stopsAtFirstFailure()
{
    QFETCH(QString, field);
    QFETCH(int, group);
    LocaleGuard locale(QChar(u','));
    const TParameters before = sample();
    TParameters p = before;
    const PropertysValues shown = PropertysValues::fromSettings(p);
    PropertysValues e = shown;
    e.steps = false;
    e.zonesFile = QStringLiteral("/data/z2.zon");
    e.koeffB = QStringLiteral("0,5");
    e.koeffC = QStringLiteral("7");
    e.porog = QStringLiteral("150");
    e.percent = QStringLiteral("50");
    e.minS = QStringLiteral("10");
    e.maxS = QStringLiteral("20");
    e.visualization = true;
    e.manyZip = true;
    e.oneZip = false;
    e.date = QDate(2025, 1, 2);
    e.bufferDir = QStringLiteral("/data/other");
    // A point where the locale's separator is a comma does not convert either.
    const QString bad = field == QLatin1String("minS") || field == QLatin1String("maxS") ? QStringLiteral("1,5")
                                                                                          : QStringLiteral("abc");
    (field == QLatin1String("koeffB")    ? e.koeffB
     : field == QLatin1String("koeffC")  ? e.koeffC
     : field == QLatin1String("porog")   ? e.porog
     : field == QLatin1String("percent") ? e.percent
     : field == QLatin1String("minS")    ? e.minS
                                         : e.maxS) = bad;
    QCOMPARE(int(e.takeOver(shown, p, acceptAnyDir)), group);

    QCOMPARE(p.Steps, false);
    QCOMPARE(p.ZonesFileName, QStringLiteral("/data/z2.zon"));
    QCOMPARE(p.Koeff_B, field == QLatin1String("koeffB") ? before.Koeff_B : 0.5);
    QCOMPARE(p.Koeff_C, group > PropertysValues::KoeffC ? 7.0 : before.Koeff_C);
    QCOMPARE(p.AverageYPorog, group > PropertysValues::Brightness || field == QLatin1String("percent")
                                  ? 150.0
                                  : before.AverageYPorog);
    QCOMPARE(p.GlobalAverageYPercent, group > PropertysValues::Brightness ? 0.5 : before.GlobalAverageYPercent);
    QCOMPARE(p.MinSCount, field == QLatin1String("maxS") ? 10 : before.MinSCount);
    QCOMPARE(p.MaxSCount, before.MaxSCount);
    // The groups after the areas are never reached.
    QCOMPARE(p.NeedVisualization, before.NeedVisualization);
    QCOMPARE(p.SaveToManyZip, before.SaveToManyZip);
    QCOMPARE(p.StartDate, before.StartDate);
    QCOMPARE(p.BufferDir, before.BufferDir);
    QCOMPARE(p.Koeff_A, before.Koeff_A);
    QCOMPARE(p.BMPInputFormat, before.BMPInputFormat);
}

void TestPropertysValues::workDirThatCannotBeEntered()
{
    const TParameters before = sample();
    TParameters p = before;
    const PropertysValues shown = PropertysValues::fromSettings(p);
    PropertysValues e = shown;
    e.steps = false;
    e.workDir = QStringLiteral("/nowhere");
    e.koeffB = QStringLiteral("2");
    const auto refuse = [](const QString &dir) { throw KelvarinError(QStringLiteral("Не удается открыть директорию ") + dir); };
    QCOMPARE(e.takeOver(shown, p, refuse), PropertysValues::Paths);
    // The new text is the setting; the groups after it keep their values.
    QCOMPARE(p.WorkDir, QStringLiteral("/nowhere"));
    QCOMPARE(p.Steps, false);
    QCOMPARE(p.Koeff_B, before.Koeff_B);
}

void TestPropertysValues::startDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("unchanged: seconds kept") << QDate(2024, 3, 1) << QTime(10, 15)
                                             << QDateTime(QDate(2024, 3, 1), QTime(10, 15, 37, 250));
    QTest::newRow("date changed: seconds kept") << QDate(2024, 12, 31) << QTime(10, 15)
                                                << QDateTime(QDate(2024, 12, 31), QTime(10, 15, 37, 250));
    QTest::newRow("time changed: whole minute") << QDate(2024, 3, 1) << QTime(23, 59)
                                                << QDateTime(QDate(2024, 3, 1), QTime(23, 59));
    QTest::newRow("the day count's first day") << QDate(1899, 12, 30) << QTime(0, 0)
                                               << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

void TestPropertysValues::startDate()
{
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(QDateTime, expected);
    const TParameters before = sample();
    const PropertysValues shown = PropertysValues::fromSettings(before);
    PropertysValues e = shown;
    e.date = date;
    e.time = time;
    const double days = e.startDate(shown, before.StartDate);
    QCOMPARE(TDateTime::toDateTime(days), expected);
    if (date == shown.date && time == shown.time)
        QCOMPARE(days, before.StartDate);
}

// Never 30.12.1899: with no date stored the pickers show today; the timer then
// starts at what they show, any other style keeps the 0 it had.
void TestPropertysValues::noStoredDateOffersToday()
{
    TParameters p = sample();
    p.StartDate = 0;
    const PropertysValues shown = PropertysValues::fromSettings(p);
    QCOMPARE(shown.date, QDate::currentDate());
    PropertysValues e = shown;
    e.startStyle = 3;
    QCOMPARE(e.startDate(shown, 0), 0.0);
    e.startStyle = 1;
    QCOMPARE(TDateTime::toDateTime(e.startDate(shown, 0)), QDateTime(shown.date, shown.time));
}

void TestPropertysValues::areasOutOfOrder_data()
{
    QTest::addColumn<QString>("minS");
    QTest::addColumn<QString>("maxS");
    QTest::addColumn<int>("group");
    QTest::newRow("minimum above maximum") << "5000" << "3000" << int(PropertysValues::AreaOrder);
    QTest::newRow("equal") << "3000" << "3000" << int(PropertysValues::AreaOrder);
    QTest::newRow("one apart") << "2999" << "3000" << int(PropertysValues::AllTakenOver);
}

// No spot can be larger than the minimum and smaller than the maximum when the
// minimum is not below it: refused, nothing after the areas taken over.
void TestPropertysValues::areasOutOfOrder()
{
    QFETCH(QString, minS);
    QFETCH(QString, maxS);
    QFETCH(int, group);
    const TParameters before = sample();
    TParameters p = before;
    const PropertysValues shown = PropertysValues::fromSettings(p);
    PropertysValues e = shown;
    e.minS = minS;
    e.maxS = maxS;
    e.visualization = !before.NeedVisualization;
    QCOMPARE(int(e.takeOver(shown, p, acceptAnyDir)), group);
    QCOMPARE(p.NeedVisualization, group == PropertysValues::AllTakenOver ? e.visualization : before.NeedVisualization);
}

void TestPropertysValues::sameDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("a"));
    QVERIFY(QDir().mkpath(a + QLatin1String("/inner")));
    QVERIFY(QFile::link(a, dir.filePath(QStringLiteral("link"))));
    QVERIFY(PropertysValues::sameDirectory(a, a));
    QVERIFY(PropertysValues::sameDirectory(a, a + QLatin1Char('/')));
    QVERIFY(PropertysValues::sameDirectory(a, a + QLatin1String("/inner/..")));
    QVERIFY(PropertysValues::sameDirectory(a, dir.filePath(QStringLiteral("link"))));
    QVERIFY(!PropertysValues::sameDirectory(a, a + QLatin1String("/inner")));
    QVERIFY(!PropertysValues::sameDirectory(a, QString()));
    QVERIFY(!PropertysValues::sameDirectory(QString(), QString()));
}

QTEST_GUILESS_MAIN(TestPropertysValues)
#include "tst_propertysvalues.moc"

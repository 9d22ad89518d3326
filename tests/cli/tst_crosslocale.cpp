// Files written under one locale and read under another: a zone file with "."
// and a settings file with "," (what the window writes under a Russian locale)
// give the same results and the same check status under every locale a
// station, cron or a monitoring plugin may run with.
#include "WatchStation.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

class TestCrossLocale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameResultsUnderEveryLocale();
    void badNumberRefusedNamingFileLineAndKey_data();
    void badNumberRefusedNamingFileLineAndKey();
};

namespace {

const QStringList locales = {QStringLiteral("ru_RU.UTF-8"), QStringLiteral("C.UTF-8"), QStringLiteral("C")};

// Runs the tool under LC_ALL=locale; its exit code, or -1 when it crashed or hung.
int runUnder(const QString &locale, const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    process.setProcessEnvironment(env);
    process.start(WatchStation::tool(), arguments);
    if (!process.waitForFinished(60000))
        return -1;
    *out = process.readAllStandardOutput();
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A station whose zone file has "." and whose settings have "," in every real.
void writeMixedStation(const WatchStation &station)
{
    TestSupport::writeFile(station.zones, "0.0000 ; 0.0000 ; 19.0000 ; 31.0000 ; 2.5000 ; 2.2500\r\n"
                                          "20;0;39;31;22.5;2.25\r\n");
    TestSupport::writeFile(station.settings,
                           TestSupport::readFile(station.settings)
                               + "Koeff_B=0,75\r\nGlobalAverageYPercent=0,75\r\n"
                                 "PixelSize=0,5\r\nWarningLimit=0,6\r\nAlarmLimit=2,5\r\n");
    for (int i = 0; i < 3; ++i)
        TestSupport::writeFile(QDir(station.buffer).filePath(QString("img%1.bmp").arg(i)), WatchStation::image(1 + i, 1));
}

} // namespace

void TestCrossLocale::sameResultsUnderEveryLocale()
{
    QList<QByteArray> firstZone, secondZone, checkLines;
    QList<int> checkCodes;
    for (const QString &locale : locales) {
        WatchStation station;
        writeMixedStation(station);
        QByteArray out, err;
        QCOMPARE(runUnder(locale, {"process", "--settings", station.settings, station.buffer}, &out, &err), 0);
        QVERIFY2(!err.contains("Ошибка"), err.constData());
        firstZone << TestSupport::readFile(station.base() + "_1.crd");
        secondZone << TestSupport::readFile(station.base() + "_2.crd");
        checkCodes << runUnder(locale, {"check", "--settings", station.settings}, &out, &err);
        // The image's time differs from station to station; the rest must not.
        checkLines << QString::fromUtf8(out).remove(QRegularExpression(QStringLiteral("\\(\\d{4}-[^)]*\\)"))).toUtf8();
    }
    // The origin was read: the spot's centre (2, 2) less (2.5, 2.25), not less (-1, -1).
    QCOMPARE(firstZone.first(), QByteArray("1\t-0.5000\t-0.2500\r\n2\t0.5000\t-0.2500\r\n3\t1.5000\t-0.2500\r\n"));
    QCOMPARE(secondZone.first(), firstZone.first());
    // The limits were read: 1.5 pixels of 0.5 mm is above the warning limit of 0.6.
    QVERIFY2(checkLines.first().startsWith("KELVARIN2 WARNING"), checkLines.first().constData());
    for (int i = 1; i < locales.size(); ++i) {
        QCOMPARE(firstZone.at(i), firstZone.first());
        QCOMPARE(secondZone.at(i), secondZone.first());
        QCOMPARE(checkLines.at(i), checkLines.first());
        QCOMPARE(checkCodes.at(i), checkCodes.first());
    }
}

void TestCrossLocale::badNumberRefusedNamingFileLineAndKey_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : locales)
        QTest::newRow(qPrintable(locale)) << locale;
}

// A value that is neither notation stops the run before anything is written;
// a zone origin is named with a warning.
void TestCrossLocale::badNumberRefusedNamingFileLineAndKey()
{
    QFETCH(QString, locale);
    WatchStation station;
    writeMixedStation(station);
    const QByteArray goodSettings = TestSupport::readFile(station.settings);
    TestSupport::writeFile(station.settings, goodSettings + "Koeff_C=1;5\r\n");
    const int line = int(goodSettings.count('\n')) + 1;
    QByteArray out, err;
    QCOMPARE(runUnder(locale, {"process", "--settings", station.settings, station.buffer}, &out, &err), 2);
    const QString text = QString::fromUtf8(err);
    QVERIFY2(text.contains(QStringLiteral("%1, строка %2, ключ Koeff_C: «1;5» - не число").arg(station.settings).arg(line)),
             qPrintable(text));
    QCOMPARE(QDir(station.work).entryList({"*.crd"}, QDir::Files), QStringList());

    // A limit the watch cannot read would leave the station without alarms.
    TestSupport::writeFile(station.settings, goodSettings + "AlarmLimit_1=2,5.0\r\n");
    QCOMPARE(runUnder(locale, {"watch", "--settings", station.settings, station.buffer}, &out, &err), 2);
    QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("неверные значения: AlarmLimit_1 (строка %1)").arg(line)),
             err.constData());

    // A zone origin that cannot be read is named by its line and field (the
    // zone is measured without it, as the family's files are read).
    TestSupport::writeFile(station.settings, goodSettings);
    TestSupport::writeFile(station.zones, "0;0;19;31;2.5;2.25\r\n20;0;39;31;22.5;2.2.5\r\n");
    QCOMPARE(runUnder(locale, {"process", "--settings", station.settings, station.buffer}, &out, &err), 0);
    QVERIFY2(QString::fromUtf8(err).contains("Начало координат зоны не прочитано: " + station.zones
                                             + ", строка 2: поле Y0: «2.2.5» - не число"),
             err.constData());
}

QTEST_GUILESS_MAIN(TestCrossLocale)
#include "tst_crosslocale.moc"

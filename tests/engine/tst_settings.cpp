#include "IniFile.h"
#include "KelvarinError.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RecordingReporter : TIssueSink
{
    QStringList captions, texts;
    void report(const TIssue &issue) override
    {
        captions << issue.caption;
        texts << issue.text;
    }
};

} // namespace

// The ini service and the settings record: encodings, key order, step messages.
class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void missingFileGivesDefaults();
    void encodings_data();
    void encodings();
    void badNumbersNamed_data();
    void badNumbersNamed();
    void workDirFailures_data();
    void workDirFailures();
    void freshFileListsKeysInWriterOrder();
    void existingKeysReplacedInPlace();
    void roundTripUnderBothSeparators();
    void failedWriteReportsOnce();
    void iniReadsCaseInsensitiveAndTrims();
    void iniReadsWindowsCodePage();
    void iniCutsLongTexts();
    void centroidWeightingRead_data();
    void centroidWeightingRead();
    void unmatchedQuotesKept_data();
    void unmatchedQuotesKept();

private:
    QString writeIni(const QByteArray &body);
    TParameters read(const QString &file, RecordingReporter *reporter, QStringList *applied = nullptr,
                     QStringList *zoneLoads = nullptr);
    QTemporaryDir m_dir;
};

void TestSettings::init()
{
    QVERIFY(m_dir.isValid());
}

QString TestSettings::writeIni(const QByteArray &body)
{
    const QString path = m_dir.filePath(QStringLiteral("Kelvarin2.ini"));
    TestSupport::writeFile(path, "[Parameters]\r\n" + body);
    return path;
}

TParameters TestSettings::read(const QString &file, RecordingReporter *reporter, QStringList *applied,
                               QStringList *zoneLoads)
{
    TParametersActions actions;
    actions.startDirectory = m_dir.path();
    actions.applyWorkDir = [applied](const QString &dir) {
        if (dir.isEmpty() || !QDir(dir).exists())
            throw KelvarinError(dir);
        if (applied)
            *applied << dir;
    };
    actions.loadZones = [zoneLoads](const QString &zones) {
        if (zoneLoads)
            *zoneLoads << zones;
    };
    TParameters params;
    ReadParameters(file, params, actions, *reporter);
    return params;
}

void TestSettings::missingFileGivesDefaults()
{
    RecordingReporter reporter;
    QStringList zoneLoads;
    const TParameters p = read(m_dir.filePath(QStringLiteral("absent.ini")), &reporter, nullptr, &zoneLoads);
    QVERIFY(reporter.texts.isEmpty());
    TParameters expected;
    expected.WorkDir = m_dir.path();
    expected.ZonesFileName = m_dir.path() + QLatin1String("/z1.zon");
    QVERIFY(p == expected);
    QCOMPARE(p.StartStyle, 3);
    QCOMPARE(zoneLoads, QStringList{m_dir.path() + QLatin1String("/z1.zon")});
}

void TestSettings::encodings_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    const QChar dot('.'), comma(',');
    QTest::newRow("hex integer") << dot << QByteArray("MinSCount=0x10") << "MinSCount" << "16";
    QTest::newRow("boolean 2") << dot << QByteArray("Steps=2") << "Steps" << "1";
    QTest::newRow("boolean word") << dot << QByteArray("Steps=yes") << "Steps" << "0";
    QTest::newRow("comma under point") << dot << QByteArray("Koeff_B=0,5") << "Koeff_B" << "0.5";
    QTest::newRow("point under point") << dot << QByteArray("Koeff_B=0.5") << "Koeff_B" << "0.5";
    QTest::newRow("point under comma") << comma << QByteArray("AverageYPorog=200.5") << "AverageYPorog" << "200.5";
    QTest::newRow("percent point under comma") << comma << QByteArray("GlobalAverageYPercent=0.5")
                                               << "GlobalAverageYPercent" << "0.5";
    QTest::newRow("date point under comma") << comma << QByteArray("StartDate=46000.25") << "StartDate" << "46000.25";
    QTest::newRow("exponent comma under point") << dot << QByteArray("Koeff_A=2,5E-3") << "Koeff_A" << "0.0025";
    QTest::newRow("comma under comma") << comma << QByteArray("AverageYPorog=200,5") << "AverageYPorog" << "200.5";
    QTest::newRow("empty real") << dot << QByteArray("Koeff_C=") << "Koeff_C" << "0";
    QTest::newRow("bad integer") << dot << QByteArray("MaxSCount=lots") << "MaxSCount" << "3000";
    QTest::newRow("start date") << comma << QByteArray("StartDate=46000,5") << "StartDate" << "46000.5";
}

void TestSettings::encodings()
{
    QFETCH(QChar, separator);
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    LocaleGuard guard(separator);
    RecordingReporter reporter;
    const TParameters p = read(writeIni(line + "\r\n"), &reporter);
    QVERIFY(reporter.texts.isEmpty());
    const QHash<QString, double> values = {
        {"MinSCount", p.MinSCount}, {"MaxSCount", p.MaxSCount}, {"Steps", p.Steps ? 1 : 0},
        {"Koeff_B", p.Koeff_B},     {"Koeff_C", p.Koeff_C},     {"AverageYPorog", p.AverageYPorog},
        {"StartDate", p.StartDate}, {"GlobalAverageYPercent", p.GlobalAverageYPercent}, {"Koeff_A", p.Koeff_A}};
    QCOMPARE(values.value(field), expected.toDouble());
}

void TestSettings::badNumbersNamed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::newRow("coefficient") << QByteArray("AverageYPorog=120,5\r\nKoeff_B=0.5x\r\n")
                                 << "Ошибка чтения настроечных коэффициентов из ini-файла!\n$F, строка 3, ключ Koeff_B: «0.5x» - не число";
    QTest::newRow("both separators") << QByteArray("koeff_c = 1.000,5\r\n")
                                     << "Ошибка чтения настроечных коэффициентов из ini-файла!\n$F, строка 2, ключ Koeff_C: «1.000,5» - не число";
    QTest::newRow("percent") << QByteArray("Steps=1\r\n\r\nGlobalAverageYPercent=75%\r\n")
                             << "Ошибка чтения процента порога средней яркости из ini-файла!\n$F, строка 4, ключ GlobalAverageYPercent: «75%» - не число";
}

void TestSettings::badNumbersNamed()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    // Never a silent default: the reader names the file, the line and the key,
    // reads the other steps, and tells its caller.
    RecordingReporter reporter;
    const QString file = writeIni(body);
    TParametersActions actions;
    actions.startDirectory = m_dir.path();
    TParameters params;
    QVERIFY(!ReadParameters(file, params, actions, reporter));
    QCOMPARE(reporter.texts, QStringList{QString(message).replace("$F", file)});
    QCOMPARE(params.MaxSCount, 3000);
    if (body.startsWith("AverageYPorog"))
        QCOMPARE(params.AverageYPorog, 120.5);
    QVERIFY(ReadParameters(writeIni("Koeff_B=0,25\r\n"), params, actions, reporter));
    QCOMPARE(params.Koeff_B, 0.25);
}

void TestSettings::workDirFailures_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("missing directory") << QByteArray("WorkDir=/no/such/directory/here");
    QTest::newRow("empty value") << QByteArray("WorkDir=");
}

void TestSettings::workDirFailures()
{
    QFETCH(QByteArray, line);
    RecordingReporter reporter;
    QStringList applied;
    const TParameters p = read(writeIni(line + "\r\nMinSCount=5\r\n"), &reporter, &applied);
    QCOMPARE(reporter.texts, QStringList{"Ошибка чтения имени рабочей директории из ini-файла!"});
    QCOMPARE(reporter.captions, QStringList{"Ошибка"});
    QVERIFY(applied.isEmpty());
    // The value read is kept and the later steps go on.
    QCOMPARE(p.WorkDir, QString::fromLatin1(line.mid(8)));
    QCOMPARE(p.MinSCount, 5);
    QCOMPARE(p.StartStyle, 3);
}

void TestSettings::freshFileListsKeysInWriterOrder()
{
    LocaleGuard guard(QLatin1Char(','));
    RecordingReporter reporter;
    TParameters p;
    p.WorkDir = QStringLiteral("/data/Мост");
    p.ZonesFileName = QStringLiteral("/data/z1.zon");
    const QString path = m_dir.filePath(QStringLiteral("fresh.ini"));
    QVERIFY(WriteParameters(path, p, reporter));
    QCOMPARE(QString::fromUtf8(TestSupport::readFile(path)),
             QStringLiteral("[Parameters]\nStartStyle=3\nKoeff_A=0\nKoeff_n=0\nKoeff_B=0,75\nKoeff_C=0\n"
                            "WorkDir=/data/Мост\nBufferDir=\nSteps=0\nZonesFileName=/data/z1.zon\n"
                            "BMPInputFormat=1\nAverageYPorog=200\nMinSCount=1000\nMaxSCount=3000\n"
                            "StartDate=0\nNeedVisualization=1\nResAutoSave=1\nGlobalAverageYPercent=0,75\n"
                            "SaveToOneZip=0\nSaveToManyZip=0\n"
                            // The journal's keys, after the nineteen.
                            "JournalFile=\nJournalUrl=\n"
                            "CentroidWeighting=0\n"
                            // The spot centre's further options, off.
                            "SpotBackground=0\nConnectedSpot=0\nCentroidWindow=0\n"
                            "Station=\n"));
}

void TestSettings::existingKeysReplacedInPlace()
{
    const QString path = m_dir.filePath(QStringLiteral("kept.ini"));
    TestSupport::writeFile(path, "; station 4\r\n[Other]\r\nx=1\r\n[Parameters]\r\nMaxSCount=5\r\n"
                                 "Unknown=keep me\r\n\r\n[Tail]\r\ny=2\r\n");
    RecordingReporter reporter;
    TParameters p;
    p.MaxSCount = 4000;
    QVERIFY(WriteParameters(path, p, reporter));
    const QStringList lines = QString::fromUtf8(TestSupport::readFile(path)).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 6), (QStringList{"; station 4", "[Other]", "x=1", "[Parameters]", "MaxSCount=4000",
                                          "Unknown=keep me"}));
    QCOMPARE(lines.at(6), QStringLiteral("StartStyle=3"));
    QVERIFY(lines.contains(QStringLiteral("[Tail]")));
    QCOMPARE(lines.indexOf(QStringLiteral("y=2")), lines.indexOf(QStringLiteral("[Tail]")) + 1);
    QCOMPARE(lines.count(QStringLiteral("MaxSCount=4000")), 1);
}

void TestSettings::roundTripUnderBothSeparators()
{
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        TParameters p;
        p.StartStyle = 2;
        p.Koeff_A = 1.5e-7;
        p.Koeff_n = 0.5;
        p.Koeff_B = 0.8;
        p.Koeff_C = -3.25;
        p.Steps = true;
        p.WorkDir = m_dir.path();
        p.BufferDir = QStringLiteral("/buffer");
        p.ZonesFileName = QStringLiteral("/z/zones.zon");
        p.BMPInputFormat = false;
        p.AverageYPorog = 180.5;
        p.MinSCount = 16;
        p.MaxSCount = 2500;
        p.StartDate = 46000.25;
        p.NeedVisualization = false;
        p.ResAutoSave = false;
        p.GlobalAverageYPercent = 0.8;
        p.SaveToOneZip = true;
        p.SaveToManyZip = true;
        p.JournalFile = QStringLiteral("/j/Журнал.sqlite");
        p.JournalUrl = QStringLiteral("postgresql://kel@db:5432/fleet");
        p.CentroidWeighting = TParameters::WeightAboveThreshold;
        p.SpotBackground = true;
        p.CentroidWindow = true;
        p.Station = QStringLiteral("Мост-2");
        RecordingReporter reporter;
        const QString path = m_dir.filePath(QStringLiteral("round-%1.ini").arg(sep == QLatin1Char(',')));
        QVERIFY(WriteParameters(path, p, reporter));
        const TParameters back = read(path, &reporter);
        QVERIFY(reporter.texts.isEmpty());
        QVERIFY(back == p);
    }
}

void TestSettings::failedWriteReportsOnce()
{
    RecordingReporter reporter;
    TParameters p;
    const QString path = m_dir.filePath(QStringLiteral("no/such/dir/Kelvarin2.ini"));
    QVERIFY(!WriteParameters(path, p, reporter));
    QCOMPARE(reporter.texts, QStringList{"Ошибка записи ini-файла!"});
    QCOMPARE(reporter.captions, QStringList{"Ошибка"});
    QVERIFY(!QFile::exists(path));

    // A line break in a text would smuggle keys of its own into the file.
    const QString injected = m_dir.filePath(QStringLiteral("injected.ini"));
    p.WorkDir = QStringLiteral("/data\nMinSCount=1");
    reporter.texts.clear();
    QVERIFY(!WriteParameters(injected, p, reporter));
    QCOMPARE(reporter.texts, QStringList{"Ошибка записи ini-файла!"});
    IniFile ini(injected);
    QVERIFY(ini.load());
    QCOMPARE(ini.readInteger(QStringLiteral("Parameters"), QStringLiteral("MinSCount"), -7), -7);

    // Nothing half done: a settings file that was there stays byte for byte.
    const QByteArray before = "; kept\r\n[Parameters]\r\nMinSCount=5\r\n";
    TestSupport::writeFile(injected, before);
    reporter.texts.clear();
    QVERIFY(!WriteParameters(injected, p, reporter));
    QCOMPARE(reporter.texts, QStringList{"Ошибка записи ini-файла!"});
    QCOMPARE(TestSupport::readFile(injected), before);
}

void TestSettings::iniReadsCaseInsensitiveAndTrims()
{
    const QString path = m_dir.filePath(QStringLiteral("case.ini"));
    TestSupport::writeFile(path, "[parameters]\nminscount = 0x20 \nWorkDir=\"/quoted dir\"\n");
    IniFile ini(path);
    QVERIFY(ini.load());
    QCOMPARE(ini.readInteger(QStringLiteral("Parameters"), QStringLiteral("MinSCount"), 0), 32);
    QCOMPARE(ini.readString(QStringLiteral("Parameters"), QStringLiteral("WorkDir"), QString()),
             QStringLiteral("/quoted dir"));
    QCOMPARE(ini.readString(QStringLiteral("Parameters"), QStringLiteral("Absent"), QStringLiteral("d")),
             QStringLiteral("d"));
}

void TestSettings::iniReadsWindowsCodePage()
{
    const QString path = m_dir.filePath(QStringLiteral("cp.ini"));
    // "WorkDir=C:\Мост" in the Cyrillic code page, as a Windows station writes it.
    TestSupport::writeFile(path, "[Parameters]\r\nWorkDir=C:\\\xCC\xEE\xF1\xF2\r\n");
    IniFile ini(path);
    QVERIFY(ini.load());
    QCOMPARE(ini.readString(QStringLiteral("Parameters"), QStringLiteral("WorkDir"), QString()),
             QStringLiteral("C:\\Мост"));
}

void TestSettings::iniCutsLongTexts()
{
    const QString path = m_dir.filePath(QStringLiteral("long.ini"));
    TestSupport::writeFile(path, "[Parameters]\nWorkDir=" + QByteArray(3000, 'a') + "\n");
    IniFile ini(path);
    QVERIFY(ini.load());
    QCOMPARE(ini.readString(QStringLiteral("Parameters"), QStringLiteral("WorkDir"), QString()).size(), 2047);
}

void TestSettings::centroidWeightingRead_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");
    QTest::newRow("absent") << QByteArray() << 0;
    QTest::newRow("0") << QByteArray("CentroidWeighting=0\r\n") << 0;
    QTest::newRow("1") << QByteArray("CentroidWeighting=1\r\n") << 1;
    QTest::newRow("hex 1, lower case key") << QByteArray("centroidweighting = 0x1\r\n") << 1;
    // Values no weighting has fall back to the brightness weighting.
    QTest::newRow("2") << QByteArray("CentroidWeighting=2\r\n") << 0;
    QTest::newRow("-1") << QByteArray("CentroidWeighting=-1\r\n") << 0;
    QTest::newRow("text") << QByteArray("CentroidWeighting=yes\r\n") << 0;
}

void TestSettings::centroidWeightingRead()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    RecordingReporter reporter;
    const TParameters p = read(writeIni("MinSCount=7\r\n" + line), &reporter);
    QCOMPARE(p.CentroidWeighting, expected);
    QCOMPARE(p.MinSCount, 7);
    QVERIFY(reporter.texts.isEmpty());
}

void TestSettings::unmatchedQuotesKept_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("double then single") << QByteArray("\"abc'") << QStringLiteral("\"abc'");
    QTest::newRow("single then double") << QByteArray("'abc\"") << QStringLiteral("'abc\"");
    QTest::newRow("opening only") << QByteArray("\"abc") << QStringLiteral("\"abc");
    QTest::newRow("one quote") << QByteArray("\"") << QStringLiteral("\"");
    QTest::newRow("matched single") << QByteArray("'abc'") << QStringLiteral("abc");
}

void TestSettings::unmatchedQuotesKept()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    const QString path = writeIni("BufferDir=" + value + "\r\n");
    IniFile ini(path);
    QVERIFY(ini.load());
    QCOMPARE(ini.readString(QStringLiteral("Parameters"), QStringLiteral("BufferDir"), QString()), expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"

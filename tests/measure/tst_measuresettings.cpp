#include "IniFile.h"
#include "MeasureSettings.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// "ZymKelvarin.ini": every key, its encoding and its default.
class TestMeasureSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void missingFileGivesDefaults();
    void values_data();
    void values();
    void writesKeysInOrder_data();
    void writesKeysInOrder();
    void roundTripRegularFont();
    void unreadableFileFailsAndKeepsFields();
    void unwritableFileStopsAtFirstKey();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("ZymKelvarin.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMeasureSettings::missingFileGivesDefaults()
{
    IniFile ini(path());
    MeasureSettings s;
    QVERIFY(s.read(ini));
    QCOMPARE(s.lupaSize, 20);
    QCOMPARE(s.lupaScale, 5);
    QCOMPARE(s.lupaVisible, false);
    QCOMPARE(s.crossSize, 8);
    QCOMPARE(s.activeColor, 255);
    QCOMPARE(s.passiveColor, 16711680);
    QCOMPARE(s.fontName, QStringLiteral("Tahoma"));
    QCOMPARE(s.fontSize, 12);
    QCOMPARE(s.fontBold, true);
    QCOMPARE(s.fontItalic, false);
    QCOMPARE(s.fontUnderline, false);
    QCOMPARE(s.fontStrikeOut, false);
    QCOMPARE(s.workDir, QString());
}

void TestMeasureSettings::values_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");

    const QChar point('.'), comma(',');
    QTest::newRow("hex size") << point << QByteArray("LupaSize=0x10") << "lupaSize" << QVariant(16);
    QTest::newRow("garbage size") << point << QByteArray("LupaSize=big") << "lupaSize" << QVariant(20);
    QTest::newRow("empty scale") << point << QByteArray("LupaScale=") << "lupaScale" << QVariant(5);
    QTest::newRow("visible 2 is true") << point << QByteArray("LupaVisible=2") << "lupaVisible" << QVariant(true);
    QTest::newRow("visible yes is default") << point << QByteArray("LupaVisible=yes") << "lupaVisible" << QVariant(false);
    QTest::newRow("colour truncated") << point << QByteArray("Active_color=255.7") << "activeColor" << QVariant(255);
    QTest::newRow("colour comma under point") << point << QByteArray("Active_color=255,7") << "activeColor" << QVariant(255);
    QTest::newRow("colour comma under comma") << comma << QByteArray("Passive_color=65535,9") << "passiveColor" << QVariant(65535);
    QTest::newRow("colour point under comma") << comma << QByteArray("Passive_color=65535.9") << "passiveColor" << QVariant(65535);
    QTest::newRow("colour not a number") << point << QByteArray("FontColor=red") << "fontColor" << QVariant(0);
    QTest::newRow("colour beyond integers") << point << QByteArray("Passive_color=1E20") << "passiveColor" << QVariant(16711680);
    QTest::newRow("negative font colour") << point << QByteArray("FontColor=-16777208") << "fontColor" << QVariant(-16777208);
    QTest::newRow("font name") << point << QByteArray("FontName=DejaVu Sans") << "fontName" << QVariant("DejaVu Sans");
    QTest::newRow("not bold") << point << QByteArray("FontStyleBold=0") << "fontBold" << QVariant(false);
    QTest::newRow("underline key as spelled") << point << QByteArray("FontStyleUndeline=1") << "fontUnderline" << QVariant(true);
    QTest::newRow("strike-out") << point << QByteArray("FontStyleStrikeout=1") << "fontStrikeOut" << QVariant(true);
    QTest::newRow("work dir") << point << QByteArray("WorkDir=/srv/points") << "workDir" << QVariant("/srv/points");
}

void TestMeasureSettings::values()
{
    QFETCH(QChar, separator);
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    LocaleGuard locale(separator);
    TestSupport::writeFile(path(), "[ZymParameters]\r\n" + line + "\r\n");
    IniFile ini(path());
    MeasureSettings s;
    QStringList problems;
    QVERIFY(s.read(ini, &problems));
    // Only a colour that is no number is named, with its file, line and key.
    QCOMPARE(problems, line.endsWith("red") ? QStringList{path() + ", строка 2, ключ FontColor: «red» - не число"}
                                            : QStringList{});
    const QHash<QString, QVariant> fields = {
        {"lupaSize", s.lupaSize}, {"lupaScale", s.lupaScale}, {"lupaVisible", s.lupaVisible},
        {"activeColor", s.activeColor}, {"passiveColor", s.passiveColor}, {"fontColor", s.fontColor},
        {"fontName", s.fontName}, {"fontBold", s.fontBold}, {"fontUnderline", s.fontUnderline},
        {"fontStrikeOut", s.fontStrikeOut}, {"workDir", s.workDir}};
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field), expected);
}

void TestMeasureSettings::writesKeysInOrder_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow(".") << QChar('.');
    QTest::newRow(",") << QChar(',');
}

void TestMeasureSettings::writesKeysInOrder()
{
    QFETCH(QChar, separator);
    LocaleGuard locale(separator);
    MeasureSettings s;
    s.lupaSize = 17;
    s.lupaVisible = true;
    s.activeColor = 65280;
    s.fontItalic = true;
    s.workDir = QStringLiteral("/home/оператор/точки");
    IniFile ini(path());
    QVERIFY(s.write(ini));
    // Colours are whole reals, so both separators give the same text.
    QCOMPARE(QString::fromUtf8(TestSupport::readFile(path())),
             QStringLiteral("[ZymParameters]\nLupaSize=17\nLupaScale=5\nLupaVisible=1\nCross_size=8\n"
                            "Active_color=65280\nPassive_color=16711680\nFontName=Tahoma\nFontSize=12\n"
                            "FontColor=0\nFontStyleBold=1\nFontStyleItalic=1\nFontStyleUndeline=0\n"
                            "FontStyleStrikeout=0\nWorkDir=/home/оператор/точки\n"));
    MeasureSettings back;
    back.lupaSize = back.crossSize = -5;
    QVERIFY(back.read(ini));
    QCOMPARE(back.lupaSize, 17);
    QCOMPARE(back.crossSize, 8);
    QCOMPARE(back.lupaVisible, true);
    QCOMPARE(back.activeColor, 65280);
    QCOMPARE(back.fontItalic, true);
    QCOMPARE(back.workDir, s.workDir);
}

void TestMeasureSettings::roundTripRegularFont()
{
    // Other sections and keys in the file survive; existing keys are replaced in place.
    TestSupport::writeFile(path(), "[Other]\nA=1\n[ZymParameters]\nFontStyleBold=1\nExtra=x\n");
    MeasureSettings s;
    s.fontBold = false;
    IniFile ini(path());
    QVERIFY(s.write(ini));
    const QString text = QString::fromUtf8(TestSupport::readFile(path()));
    QVERIFY(text.startsWith(QStringLiteral("[Other]\nA=1\n[ZymParameters]\nFontStyleBold=0\nExtra=x\nLupaSize=20\n")));
    MeasureSettings back;
    QVERIFY(back.read(ini));
    QCOMPARE(back.fontBold, false);
}

void TestMeasureSettings::unreadableFileFailsAndKeepsFields()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ZymKelvarin.ini")));
    IniFile ini(path());
    MeasureSettings s;
    s.lupaSize = 33;
    QVERIFY(!s.read(ini));
    QCOMPARE(s.lupaSize, 33);
    QCOMPARE(s.crossSize, 8);
}

void TestMeasureSettings::unwritableFileStopsAtFirstKey()
{
    IniFile ini(m_dir->filePath(QStringLiteral("missing/ZymKelvarin.ini")));
    MeasureSettings s;
    QVERIFY(!s.write(ini));
    QVERIFY(!QFile::exists(ini.path()));
}

QTEST_GUILESS_MAIN(TestMeasureSettings)
#include "tst_measuresettings.moc"

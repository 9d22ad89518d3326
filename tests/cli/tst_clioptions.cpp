// The tool's command line read without running it: where options end and
// paths begin, both ways of giving a value, and every refusal's text.

#include "CliOptions.h"

#include <QtTest>

class TestCliOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
};

void TestCliOptions::accepted_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    // "settings|zones|out|journal|noJournal|jobs|paths", as read.
    QTest::addColumn<QString>("read");
    const int command = int(CliOptions::Action::Command);
    const int help = int(CliOptions::Action::Help);
    const int version = int(CliOptions::Action::Version);
    QTest::newRow("values both ways")
        << QStringList{"process", "--settings=s.ini", "--zones", "z.zon", "--out=o", "--jobs", "3", "a.bmp"}
        << command << "s.ini|z.zon|o||0|3|a.bmp";
    QTest::newRow("a value holding =") << QStringList{"process", "--out=a=b", "x"} << command << "||a=b||0|0|x";
    QTest::newRow("no journal") << QStringList{"watch", "--no-journal", "buf"} << command << "||||1|0|buf";
    QTest::newRow("after --, options are paths")
        << QStringList{"process", "--", "--out", "-h"} << command << "||||0|0|--out,-h";
    QTest::newRow("after a path, help is a path") << QStringList{"process", "a", "-h", "--version"} << command
                                                 << "||||0|0|a,-h,--version";
    QTest::newRow("help among options") << QStringList{"process", "--out", "o", "--help", "a"} << help << "||||0|0|";
    QTest::newRow("version among options") << QStringList{"calibrate", "--version"} << version << "||||0|0|";
    QTest::newRow("help first") << QStringList{"-h", "process"} << help << "||||0|0|";
}

void TestCliOptions::accepted()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, read);
    const CliOptions options = CliOptions::parse(QStringList{"kelvarin2-cli"} + args);
    QCOMPARE(options.error, QString());
    QCOMPARE(int(options.action), action);
    const QStringList fields = {options.settingsFile, options.zonesFile, options.outBase, options.journal,
                                QString::number(options.noJournal), QString::number(options.jobs),
                                options.paths.join(QLatin1Char(','))};
    QCOMPARE(fields.join(QLatin1Char('|')), read);
}

void TestCliOptions::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("no command") << QStringList{} << "не указана команда";
    QTest::newRow("unknown command") << QStringList{"run"} << "неизвестная команда: run";
    QTest::newRow("option of another command") << QStringList{"watch", "--out", "o", "b"}
                                               << "неизвестный параметр: --out";
    QTest::newRow("flag of another command") << QStringList{"runs", "--no-journal"}
                                             << "неизвестный параметр: --no-journal";
    QTest::newRow("unknown with =") << QStringList{"process", "--colour=red"} << "неизвестный параметр: --colour";
    QTest::newRow("no value at the end") << QStringList{"process", "a", "--out"} << "у параметра --out нет значения";
    QTest::newRow("empty value") << QStringList{"process", "--out=", "a"} << "у параметра --out пустое значение";
    QTest::newRow("jobs zero") << QStringList{"process", "--jobs", "0", "a"}
                               << "у параметра --jobs должно быть целое число не меньше 1: 0";
    QTest::newRow("jobs not a number") << QStringList{"process", "--jobs=two", "a"}
                                       << "у параметра --jobs должно быть целое число не меньше 1: two";
    QTest::newRow("journal and no journal") << QStringList{"process", "--journal", "j", "--no-journal", "a"}
                                            << "--journal и --no-journal вместе";
    QTest::newRow("run and base") << QStringList{"export", "--run", "1", "--base", "b"} << "--run и --base вместе";
    QTest::newRow("format") << QStringList{"export", "--format", "xml"} << "неизвестный формат: xml (csv или json)";
}

void TestCliOptions::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QCOMPARE(CliOptions::parse(QStringList{"kelvarin2-cli"} + args).error, error);
}

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_clioptions.moc"

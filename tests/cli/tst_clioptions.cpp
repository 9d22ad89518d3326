// The tool's command line read without running it: where options end and
// paths begin, both ways of giving a value, every refusal's text, and the
// help that must say exactly what the parser accepts.

#include "CliOptions.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

class TestCliOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void helpAgreesWithParser();
    void helpListsEachOptionOnce();
    void manualPage();
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
    QTest::newRow("version first") << QStringList{"--version"} << version << "||||0|0|";
    QTest::newRow("manual page") << QStringList{"--help-man"} << int(CliOptions::Action::Manual) << "||||0|0|";
    QTest::newRow("a lone dash is a path") << QStringList{"process", "-"} << command << "||||0|0|-";
    QTest::newRow("options after a path") << QStringList{"process", "a", "--jobs=2", "b", "--", "--jobs"} << command
                                          << "||||0|2|a,b,--jobs";
    QTest::newRow("the last value counts") << QStringList{"process", "--out", "a", "--out=b", "x"} << command
                                           << "||b||0|0|x";
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
    QTest::newRow("short unknown is no image") << QStringList{"process", "-V", "a.bmp"} << "неизвестный параметр: -V";
    QTest::newRow("option before the command") << QStringList{"--out", "o", "process"}
                                               << "неизвестная команда: --out";
    QTest::newRow("switch given a value") << QStringList{"watch", "--no-journal=yes", "b"}
                                          << "у параметра --no-journal не бывает значения";
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

// Every "kelvarin2-cli COMMAND [...]" line of the help, continuation lines joined.
static QStringList synopses(const QString &usage)
{
    QStringList lines;
    for (const QString &line : usage.section(QStringLiteral("\n\n"), 0, 0).split('\n').mid(1)) {
        if (line.startsWith(QLatin1String("  kelvarin2-cli ")))
            lines << line.trimmed();
        else if (!lines.isEmpty())
            lines.last() += ' ' + line.trimmed();
    }
    return lines;
}

// Each command's synopsis names what its parser takes and nothing else: an
// option shown for a command is accepted by it, one shown for another is refused.
void TestCliOptions::helpAgreesWithParser()
{
    const QStringList lines = synopses(CliOptions::usage());
    QCOMPARE(lines.size(), 7); // six commands and --help | --version
    QSet<QString> everyOption;
    QHash<QString, QStringList> shown;
    static const QRegularExpression optionPattern(QStringLiteral("\\[(--[a-z-]+)( [^\\]]+)?\\]"));
    for (const QString &line : lines.mid(0, 6)) {
        const QString command = line.section(' ', 1, 1);
        for (const QRegularExpressionMatch &match : optionPattern.globalMatch(line)) {
            shown[command] << match.captured(1) + (match.captured(2).isEmpty() ? QString() : "=1");
            everyOption << match.captured(1);
        }
    }
    QCOMPARE(shown.size(), 6);
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        for (const QString &option : everyOption) {
            const QString given = it.value().filter(QRegularExpression("^" + option + "(=|$)")).value(0);
            const QString error = CliOptions::parse({"kelvarin2-cli", it.key(), given.isEmpty() ? option : given}).error;
            const bool refused = error.startsWith(QStringLiteral("неизвестный параметр"));
            QVERIFY2(refused == given.isEmpty(), qPrintable(it.key() + ' ' + option + ": " + error));
        }
    }
}

// The list of options shows each option once with one value name (the old
// hand-kept text had drifted into listing --journal and --run twice).
void TestCliOptions::helpListsEachOptionOnce()
{
    const QString usage = CliOptions::usage();
    static const QRegularExpression termPattern(QStringLiteral("^  (-\\w, )?(--[a-z-]+)( \\S+)?( |$)"),
                                                QRegularExpression::MultilineOption);
    QStringList terms;
    for (const QRegularExpressionMatch &match : termPattern.globalMatch(usage.section("Параметры:\n", 1)))
        terms << match.captured(2) + match.captured(3);
    QVERIFY(terms.contains("--journal LOCATION"));
    QVERIFY(terms.contains("--help"));
    QVERIFY(!terms.contains("--help-man")); // for the build, not for the user
    QCOMPARE(QSet<QString>(terms.cbegin(), terms.cend()).size(), terms.size());
    QCOMPARE(terms.filter(QRegularExpression("^--run ")).size(), 1);
    for (const QString &line : usage.split('\n'))
        QVERIFY2(line.size() <= 79, qPrintable(line));
}

// The manual page carries the same options, in roff with its hyphens escaped,
// and groff reads it without a warning.
void TestCliOptions::manualPage()
{
    const QString page = CliOptions::manPage();
    QVERIFY(page.startsWith(".TH KELVARIN2-CLI 1 "));
    QVERIFY(page.contains(".B \\-\\-journal LOCATION\n"));
    QVERIFY(page.contains(".B \\-h, \\-\\-help\n"));
    QVERIFY(!page.contains("help\\-man"));
    const QString groff = QStandardPaths::findExecutable("groff");
    if (groff.isEmpty())
        QSKIP("groff is not installed");
    QProcess process;
    process.start(groff, {"-k", "-man", "-Tutf8", "-ww", "-z"});
    process.write(page.toUtf8());
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), QString());
}

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_clioptions.moc"

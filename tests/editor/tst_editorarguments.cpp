#include "EditorFileArguments.h"

#include <QProcess>
#include <QtTest>

// `kelvarin2 FILE`: which mode a file opens in, and what the command line refuses.
class TestEditorArguments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requests_data();
    void requests();
    void noArgumentsStartsMainWindow();
    void usageErrorExitsWithTwo();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
};

void TestEditorArguments::requests_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error"); // the beginning of the message, when refused
    QTest::newRow("zones") << QStringList{"/data/a.zon"} << "/data/a.zon" << 11 << "";
    QTest::newRow("upper-case extension") << QStringList{"A.ZON"} << "A.ZON" << 11 << "";
    QTest::newRow("point list") << QStringList{"p.lst"} << "p.lst" << 4 << "";
    QTest::newRow("camera") << QStringList{"c.cam"} << "c.cam" << 5 << "";
    QTest::newRow("orientation") << QStringList{"o.ort"} << "o.ort" << 7 << "";
    QTest::newRow("image points") << QStringList{"r.crd"} << "r.crd" << 2 << "";
    QTest::newRow("scene points by --mode") << QStringList{"--mode", "1", "r.crd"} << "r.crd" << 1 << "";
    QTest::newRow("--mode after the file") << QStringList{"r.crd", "--mode", "10"} << "r.crd" << 10 << "";
    QTest::newRow("unknown extension") << QStringList{"notes.txt"} << "notes.txt" << 0 << "вид файла";
    QTest::newRow("unknown extension with --mode") << QStringList{"--mode", "11", "z.txt"} << "z.txt" << 11 << "";
    QTest::newRow("mode 13") << QStringList{"--mode", "13", "a.zon"} << "" << 0 << "--mode";
    QTest::newRow("mode missing") << QStringList{"a.zon", "--mode"} << "a.zon" << 0 << "--mode";
    QTest::newRow("mode not a number") << QStringList{"--mode", "x", "a.zon"} << "" << 0 << "--mode";
    QTest::newRow("unknown option") << QStringList{"--fast", "a.zon"} << "" << 0 << "неизвестный параметр --fast";
    QTest::newRow("two files") << QStringList{"a.zon", "b.zon"} << "a.zon" << 0 << "можно открыть только один";
    QTest::newRow("only a mode") << QStringList{"--mode", "4"} << "" << 0 << "не указан файл";
    QTest::newRow("short unknown") << QStringList{"-V", "a.zon"} << "" << 0 << "неизвестный параметр -V";
    QTest::newRow("a file after --") << QStringList{"--", "--mode.zon"} << "--mode.zon" << 11 << "";
}

void TestEditorArguments::requests()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(int, mode);
    QFETCH(QString, error);
    QString message;
    const auto request = EditorFileArguments::parse(arguments, &message);
    QVERIFY(request);
    QCOMPARE(request->shown, EditorFileArguments::Shown::None);
    QCOMPARE(request->mode, mode);
    if (mode != 0)
        QCOMPARE(request->file, file);
    QVERIFY2(error.isEmpty() || message.startsWith(error), qPrintable(message));
    QCOMPARE(message.isEmpty(), error.isEmpty());
}

void TestEditorArguments::noArgumentsStartsMainWindow()
{
    QString message;
    QVERIFY(!EditorFileArguments::parse({}, &message));
    QVERIFY(message.isEmpty());
}

// The program itself: a command line it does not understand ends it with
// status 2 and the usage on the error output, before any window.
void TestEditorArguments::usageErrorExitsWithTwo()
{
    const QString program = QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2");
    if (!QFileInfo::exists(program))
        QSKIP("the program is not built");
    QProcess process;
    process.start(program, {QStringLiteral("--mode"), QStringLiteral("99"), QStringLiteral("a.zon")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("kelvarin2 [--mode N]")));
}

void TestEditorArguments::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("output"); // the beginning of what is printed
    QTest::newRow("help") << QStringList{"--help"} << int(EditorFileArguments::Shown::Help)
                          << "Использование:\n  kelvarin2\n  kelvarin2 [--mode N] ФАЙЛ\n";
    QTest::newRow("-h after a file") << QStringList{"a.zon", "-h"} << int(EditorFileArguments::Shown::Help)
                                     << "Использование:";
    QTest::newRow("version") << QStringList{"--version"} << int(EditorFileArguments::Shown::Version)
                             << "kelvarin2 " KELVARIN_VERSION "\n";
    QTest::newRow("manual page") << QStringList{"--help-man"} << int(EditorFileArguments::Shown::Manual)
                                 << ".TH KELVARIN2 1 ";
}

// The parser's answer, then the program itself without any display: it
// prints and exits 0 before an application object needs one.
void TestEditorArguments::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, shown);
    QFETCH(QString, output);
    QString message;
    const auto request = EditorFileArguments::parse(arguments, &message);
    QVERIFY(request);
    QCOMPARE(int(request->shown), shown);
    const QString program = QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2");
    if (!QFileInfo::exists(program))
        QSKIP("the program is not built");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(printed.startsWith(output), qPrintable(printed));
    QCOMPARE(process.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestEditorArguments)
#include "tst_editorarguments.moc"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Runs the headless tool over every golden case folder (settings, zones, images)
// and compares the coordinate files it writes, byte for byte, with the ones an
// independent implementation of the measurement rules wrote for the same input.
class TestGolden : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void casesArePresent();
    void matchesReference_data();
    void matchesReference();

private:
    static QString goldenDir() { return QStringLiteral(KELVARIN_TEST_DATA "/golden"); }
    static QString toolPath() { return QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2-cli"); }
    static QStringList caseFolders();
    static QStringList imageArguments(const QString &caseDir);
    static QStringList coordinateFiles(const QString &dir);
    static QString firstDifference(const QByteArray &expected, const QByteArray &actual);
};

QStringList TestGolden::caseFolders()
{
    QStringList cases;
    const QDir golden(goldenDir());
    for (const QString &name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo::exists(golden.filePath(name + QStringLiteral("/settings.ini"))))
            cases << name;
    }
    return cases;
}

// args.txt names the images on the tool's command line, paths relative to the case
// folder; when it is empty the case's images directory is passed.
QStringList TestGolden::imageArguments(const QString &caseDir)
{
    const QDir dir(caseDir);
    const QString text = QString::fromUtf8(TestSupport::readFile(dir.filePath(QStringLiteral("args.txt"))));
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return {dir.filePath(QStringLiteral("images"))};
    QStringList arguments;
    for (const QString &token : tokens)
        arguments << (token.startsWith(QLatin1Char('-')) ? token : dir.filePath(token));
    return arguments;
}

QStringList TestGolden::coordinateFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("res_*.crd")}, QDir::Files, QDir::Name);
}

QString TestGolden::firstDifference(const QByteArray &expected, const QByteArray &actual)
{
    const QList<QByteArray> want = expected.split('\n');
    const QList<QByteArray> got = actual.split('\n');
    for (qsizetype i = 0; i < qMax(want.size(), got.size()); ++i) {
        const QByteArray a = i < want.size() ? want.at(i) : QByteArrayLiteral("<none>");
        const QByteArray b = i < got.size() ? got.at(i) : QByteArrayLiteral("<none>");
        if (a != b) {
            return QStringLiteral("line %1: expected \"%2\", got \"%3\"")
                .arg(i + 1)
                .arg(QString::fromLatin1(a.toPercentEncoding(" .-")),
                     QString::fromLatin1(b.toPercentEncoding(" .-")));
        }
    }
    return QStringLiteral("sizes %1 and %2").arg(expected.size()).arg(actual.size());
}

void TestGolden::casesArePresent()
{
    QVERIFY2(caseFolders().size() >= 20, qPrintable(goldenDir()));
}

void TestGolden::matchesReference_data()
{
    QTest::addColumn<QString>("caseDir");
    QTest::addColumn<QString>("mode");
    // Each case one image after the other, with three jobs (same bytes), and,
    // where the case takes its whole image folder, from a zip archive of it.
    for (const QString &name : caseFolders()) {
        const QString dir = QDir(goldenDir()).filePath(name);
        QTest::newRow(qPrintable(name + QStringLiteral(" jobs 1"))) << dir << QStringLiteral("--jobs=1");
        QTest::newRow(qPrintable(name + QStringLiteral(" jobs 3"))) << dir << QStringLiteral("--jobs=3");
        if (TestSupport::readFile(QDir(dir).filePath(QStringLiteral("args.txt"))).trimmed().isEmpty())
            QTest::newRow(qPrintable(name + QStringLiteral(" zip"))) << dir << QStringLiteral("zip");
    }
}

void TestGolden::matchesReference()
{
    QFETCH(QString, caseDir);
    QFETCH(QString, mode);
    QVERIFY2(QFileInfo(toolPath()).isExecutable(), qPrintable(toolPath() + QStringLiteral(" is not built")));

    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QDir dir(caseDir);
    QStringList arguments{QStringLiteral("process"),
                          QStringLiteral("--settings"), dir.filePath(QStringLiteral("settings.ini")),
                          QStringLiteral("--zones"), dir.filePath(QStringLiteral("zones.zon")),
                          QStringLiteral("--out"), out.filePath(QStringLiteral("res"))};
    arguments << imageArguments(caseDir);

    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The reference wrote its files under a "." decimal separator.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(out.path());
    tool.start(toolPath(), arguments);
    QVERIFY2(tool.waitForFinished(120000), "the tool did not finish");
    const QString diagnostics = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    const QString expectedDir = dir.filePath(QStringLiteral("expected"));
    const QStringList expected = coordinateFiles(expectedDir);
    // A zone file without any zone is refused as bad input, and nothing is written.
    if (expected.isEmpty()) {
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY2(diagnostics.contains(QStringLiteral("нет ни одной зоны")), qPrintable(diagnostics));
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());
        return;
    }
    QVERIFY2(tool.exitCode() == 0,
             qPrintable(QStringLiteral("exit code %1: %2").arg(tool.exitCode()).arg(diagnostics)));

    QCOMPARE(coordinateFiles(out.path()), expected);
    for (const QString &name : expected) {
        const QByteArray want = TestSupport::readFile(QDir(expectedDir).filePath(name));
        const QByteArray got = TestSupport::readFile(out.filePath(name));
        QVERIFY2(got == want, qPrintable(name + QStringLiteral(": ") + firstDifference(want, got)));
    }
    QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("res_time.log"))));
}

QTEST_GUILESS_MAIN(TestGolden)
#include "tst_golden.moc"

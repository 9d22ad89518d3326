// What `cmake --install` puts on a system, checked as a distribution's tools
// check it: every XML file well-formed, the desktop entry and the AppStream
// description valid, ".zon" known to a MIME database built from the installed
// description, the service unit verified, the manual pages readable. The
// tools that are not installed are skipped; scripts/install-deps.sh installs
// them all.

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestInstalledFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void xmlWellFormed_data();
    void xmlWellFormed();
    void desktopEntryValid();
    void zoneFilesRecognised();
    void appStreamValid();
    void serviceUnitVerifies_data();
    void serviceUnitVerifies();
    void manualPages_data();
    void manualPages();
    void licenceInstalled();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }
    // Runs a tool to its end; skips the test when the tool is not installed.
    static QString tool(const QString &name)
    {
        return QStandardPaths::findExecutable(name);
    }
    static int run(const QString &program, const QStringList &arguments, QString *output,
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(120000))
            return -1;
        *output = QString::fromUtf8(process.readAll());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir m_prefix;
};

void TestInstalledFiles::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    QString output;
    const int status = run(QStringLiteral(KELVARIN_CMAKE_COMMAND),
                           {"--install", KELVARIN_BINARY_DIR, "--prefix", m_prefix.path()}, &output);
    QVERIFY2(status == 0, qPrintable(output));
}

void TestInstalledFiles::xmlWellFormed_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("MIME description") << "share/mime/packages/kelvarin2.xml";
    QTest::newRow("AppStream description") << "share/metainfo/org.kelvarin2.Kelvarin2.metainfo.xml";
}

void TestInstalledFiles::xmlWellFormed()
{
    QFETCH(QString, file);
    QVERIFY2(QFileInfo(installed(file)).isFile(), qPrintable(file));
    const QString xmllint = tool("xmllint");
    if (xmllint.isEmpty())
        QSKIP("xmllint is not installed");
    QString output;
    QVERIFY2(run(xmllint, {"--noout", installed(file)}, &output) == 0, qPrintable(output));
    QCOMPARE(output, QString());
}

void TestInstalledFiles::desktopEntryValid()
{
    const QString validate = tool("desktop-file-validate");
    if (validate.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    QString output;
    QVERIFY2(run(validate, {installed("share/applications/kelvarin2.desktop")}, &output) == 0, qPrintable(output));
    QCOMPARE(output, QString());
}

// A MIME database of the installed description alone: update-mime-database
// takes the ".zon" glob (it skips a file that is not well-formed), and GIO,
// reading that database, names a zone file's type.
void TestInstalledFiles::zoneFilesRecognised()
{
    const QString update = tool("update-mime-database");
    if (update.isEmpty())
        QSKIP("update-mime-database is not installed");
    QTemporaryDir data;
    QVERIFY(QDir().mkpath(data.filePath("mime/packages")));
    QVERIFY(QFile::copy(installed("share/mime/packages/kelvarin2.xml"), data.filePath("mime/packages/kelvarin2.xml")));
    QString output;
    QVERIFY2(run(update, {"-V", data.filePath("mime")}, &output) == 0, qPrintable(output));
    QVERIFY2(!output.contains("rror"), qPrintable(output));
    QFile globs(data.filePath("mime/globs2"));
    QVERIFY(globs.open(QIODevice::ReadOnly));
    const QByteArray globLines = globs.readAll();
    QVERIFY2(globLines.contains(":application/x-kelvarin2-zones:*.zon"), globLines.constData());
    const QString gio = tool("gio");
    if (gio.isEmpty())
        QSKIP("gio is not installed");
    const QString zones = data.filePath("station.zon");
    QFile file(zones);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("10;10;50;50\r\n");
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", data.path());
    environment.insert("XDG_DATA_DIRS", data.path());
    QVERIFY(run(gio, {"info", "--attributes=standard::content-type", zones}, &output, environment) == 0);
    QVERIFY2(output.contains("standard::content-type: application/x-kelvarin2-zones"), qPrintable(output));
}

void TestInstalledFiles::appStreamValid()
{
    const QString appstreamcli = tool("appstreamcli");
    if (appstreamcli.isEmpty())
        QSKIP("appstreamcli is not installed");
    QString output;
    QVERIFY2(run(appstreamcli, {"validate", "--no-net", installed("share/metainfo/org.kelvarin2.Kelvarin2.metainfo.xml")}, &output)
                 == 0,
             qPrintable(output));
}

void TestInstalledFiles::serviceUnitVerifies_data()
{
    QTest::addColumn<QString>("unit");
    QTest::newRow("system") << "lib/systemd/system/kelvarin2-watch@.service";
    QTest::newRow("user") << "lib/systemd/user/kelvarin2-watch@.service";
}

// The unit as installed under this prefix: its program is the one installed
// here (the build's own prefix is not installed in a test); systemd-analyze
// checks every directive and that the program exists.
void TestInstalledFiles::serviceUnitVerifies()
{
    QFETCH(QString, unit);
    QFile file(installed(unit));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains("ExecStart=" KELVARIN_INSTALL_BINDIR "/kelvarin2-cli watch --settings %E/kelvarin2/%i.ini\n"));
    QVERIFY(text.contains("Restart=on-failure\n"));
    QCOMPARE(text.contains("User=kelvarin2\n"), unit.contains("/system/"));
    const QString analyze = tool("systemd-analyze");
    if (analyze.isEmpty())
        QSKIP("systemd-analyze is not installed");
    text.replace(KELVARIN_INSTALL_BINDIR "/kelvarin2-cli", installed("bin/kelvarin2-cli"));
    // A user that exists here stands for the station's own.
    text.replace("User=kelvarin2\nGroup=kelvarin2\n", "User=root\nGroup=root\n");
    QTemporaryDir units;
    QFile copy(units.filePath("kelvarin2-watch@.service"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(text.toUtf8());
    copy.close();
    // The unit's documentation is looked up with man(1) in this prefix; a
    // user's manager needs a runtime directory of its own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MANPATH", installed("share/man"));
    QTemporaryDir runtime;
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    QStringList arguments{"verify"};
    if (unit.contains("/user/"))
        arguments << "--user";
    arguments << units.filePath("kelvarin2-watch@pier7.service");
    QString output;
    const int status = run(analyze, arguments, &output, environment);
    QVERIFY2(status == 0 && output.trimmed().isEmpty(), qPrintable(output));
}

void TestInstalledFiles::manualPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("option"); // one the page must describe
    QTest::newRow("kelvarin2") << "kelvarin2.1" << "\\-\\-mode N";
    QTest::newRow("kelvarin2-cli") << "kelvarin2-cli.1" << "\\-\\-max\\-age AGE";
}

// Each page names its program (lexgrog finds the NAME line for whatis) and
// renders without a warning.
void TestInstalledFiles::manualPages()
{
    QFETCH(QString, page);
    QFETCH(QString, option);
    QFile file(installed("share/man/man1/" + page));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(".TH "));
    QVERIFY2(text.contains(option), qPrintable(option));
    QString output;
    const QString lexgrog = tool("lexgrog");
    if (!lexgrog.isEmpty()) {
        QVERIFY2(run(lexgrog, {file.fileName()}, &output) == 0, qPrintable(output));
        QVERIFY2(output.contains(page.chopped(2) + " - "), qPrintable(output));
    }
    const QString groff = tool("groff");
    if (groff.isEmpty())
        QSKIP("groff is not installed");
    QVERIFY2(run(groff, {"-k", "-man", "-Tutf8", "-ww", "-z", file.fileName()}, &output) == 0, qPrintable(output));
    QCOMPARE(output, QString());
}

void TestInstalledFiles::licenceInstalled()
{
    QFile licence(installed("share/doc/kelvarin2/LICENSE"));
    QVERIFY(licence.open(QIODevice::ReadOnly));
    QVERIFY(licence.readAll().contains("Copyright (c) 2026 Kelvarin-2 developers"));
    QVERIFY(QFileInfo(installed("share/doc/kelvarin2/station.md")).isFile());
    QVERIFY(QFileInfo(installed("bin/kelvarin2-cli")).isExecutable());
}

QTEST_GUILESS_MAIN(TestInstalledFiles)
#include "tst_installedfiles.moc"

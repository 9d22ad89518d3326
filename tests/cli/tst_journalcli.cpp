#include "../journal/PostgresForTests.h"
#include "TJournal.h"
#include "WatchStation.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QtTest>

#include <csignal>

namespace {

// Spots too dim for the mean filter (AverageYPorog=50 in the station): none found.
QByteArray dimImage()
{
    BmpWriter::Image image;
    image.width = WatchStation::Width;
    image.height = WatchStation::Height;
    image.bitsPerPixel = 8;
    image.pixels = QList<quint32>(image.width * image.height, 5);
    for (int i = 0; i < 9; ++i)
        image.pixels[(3 + i / 3) * image.width + 3 + i % 3] = 40;
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    return BmpWriter::encode(image);
}

// The found rows of an export as "number TAB dx TAB dy" per zone, as the coordinate files hold them.
QMap<int, QList<QByteArray>> foundLines(const QByteArray &csv)
{
    QMap<int, QList<QByteArray>> lines;
    const QList<QByteArray> rows = csv.split('\n');
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> f = rows.at(i).trimmed().split(',');
        if (f.size() == 19 && f.at(7) == "1")
            lines[f.at(6).toInt()] << f.at(2) + '\t' + f.at(10) + '\t' + f.at(11) + '\r';
    }
    return lines;
}

// The columns that do not depend on where or when the run took place.
QList<QByteArray> measuredColumns(const QByteArray &csv)
{
    QList<QByteArray> out;
    for (const QByteArray &row : csv.split('\n')) {
        QList<QByteArray> f = row.split(',');
        if (f.size() == 19)
            out << f.mid(6).join(',') + ',' + f.at(2) + ',' + f.at(3);
    }
    return out;
}

int runWithEnvironment(const QStringList &arguments, const QStringList &environment, QByteArray *out,
                       QByteArray *err)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &pair : environment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(WatchStation::tool(), arguments);
    if (!process.waitForFinished(120000))
        return -1;
    *out = process.readAllStandardOutput();
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

// The journal as the tool's user meets it: process, runs and export, the
// failures, a killed run and two tools writing at once.
class TestJournalCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void processRunsAndExportMatchCoordinateFiles();
    void noJournalWritesNone();
    void unwritableJournalExitsOneWithResultsIntact();
    void watchRecordsWhatBecameOfEachImage();
    void failureWhileWritingExitsOne();
    void killedRunLeavesWholeImages_data();
    void killedRunLeavesWholeImages();
    void twoToolsAtOnceLoseNothing();
    void russianLocaleExportsWithPoint();
    void postgresRunEqualsSqliteRun();
    void exportRefusesWhatItCannotDo_data();
    void exportRefusesWhatItCannotDo();

private:
    static QStringList images(const WatchStation &station, int count);
};

QStringList TestJournalCli::images(const WatchStation &station, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << QDir(station.buffer).filePath(QStringLiteral("f%1.bmp").arg(i, 4, 10, QLatin1Char('0')));
        // Every fifth image has its spots outside the zones' filters (too dim: none found).
        TestSupport::writeFile(paths.last(), i % 5 == 4 ? dimImage() : WatchStation::image(1 + i % 15, 1 + i % 20));
    }
    return paths;
}

void TestJournalCli::processRunsAndExportMatchCoordinateFiles()
{
    WatchStation station;
    const QStringList paths = images(station, 10);
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, station.buffer}, &out, &err), 0);
    const QString journal = QDir(station.work).filePath("kelvarin2-journal.sqlite");
    QVERIFY(QFile::exists(journal));

    QCOMPARE(WatchStation::run({"runs", "--settings", station.settings}, &out, &err), 0);
    const QList<QByteArray> runs = out.trimmed().split('\n');
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs.at(0), QByteArray("id\tkind\tbase\tstart\tend\timages\tstation"));
    QVERIFY2(runs.at(1).startsWith(QByteArray("1\tcli\t" + station.base().toUtf8() + '\t')), runs.at(1).constData());
    QVERIFY(runs.at(1).endsWith(QByteArray("\t10\t" + QSysInfo::machineHostName().toUtf8())));

    QByteArray csv;
    QCOMPARE(WatchStation::run({"export", "--journal", journal}, &csv, &err), 0);
    QCOMPARE(csv.count('\n'), 1 + 10 * 2);
    const QMap<int, QList<QByteArray>> found = foundLines(csv);
    for (int zone = 1; zone <= 2; ++zone) {
        QList<QByteArray> crd = station.crdLines(zone);
        QCOMPARE(found.value(zone), crd);
        QCOMPARE(crd.size(), 8);
    }
    // The same through --base and --run, JSON into a file.
    QByteArray byBase;
    QCOMPARE(WatchStation::run({"export", "--settings", station.settings, "--base", "work_0001"}, &byBase, &err), 0);
    QCOMPARE(byBase, csv);
    const QString jsonFile = station.dir.filePath("run.json");
    QCOMPARE(WatchStation::run({"export", "--journal", journal, "--run", "1", "--format", "json", "--out", jsonFile},
                               &out, &err), 0);
    QCOMPARE(QJsonDocument::fromJson(TestSupport::readFile(jsonFile)).array().size(), 20);

    // Python's csv module reads it as a table of 19 columns.
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("python3 is not installed: the CSV was not read by Python");
    const QString csvFile = station.dir.filePath("run.csv");
    QCOMPARE(WatchStation::run({"export", "--journal", journal, "--out", csvFile}, &out, &err), 0);
    QProcess reader;
    reader.start(python, {"-c", "import csv,sys\n"
                                "rows=list(csv.DictReader(open(sys.argv[1],newline='',encoding='utf-8')))\n"
                                "assert len(rows)==20 and all(len(r)==19 for r in rows)\n"
                                "assert all(float(r['dx'])==round(float(r['dx']),4) for r in rows if r['found']=='1')\n"
                                "print(sum(r['found']=='1' for r in rows))\n",
                          csvFile});
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    QCOMPARE(reader.readAllStandardOutput().trimmed(), QByteArray("16"));
}

void TestJournalCli::noJournalWritesNone()
{
    WatchStation station;
    images(station, 2);
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--no-journal", station.buffer}, &out, &err), 0);
    QCOMPARE(QDir(station.work).entryList(QDir::Files),
             (QStringList{"work_0001_1.crd", "work_0001_2.crd", "work_0001_time.log"}));
    QCOMPARE(WatchStation::run({"process", "--journal", "x.sqlite", "--no-journal", station.buffer}, &out, &err), 2);
}

void TestJournalCli::unwritableJournalExitsOneWithResultsIntact()
{
    WatchStation station;
    images(station, 5);
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--no-journal", "--out",
                                station.dir.filePath("plain"), station.buffer}, &out, &err), 0);
    // A directory where the journal's file would be: it cannot be opened.
    const QString journal = station.dir.filePath("journal.sqlite");
    QDir().mkpath(journal);
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--journal", journal, "--out",
                                station.dir.filePath("res"), station.buffer}, &out, &err), 1);
    QVERIFY2(err.contains(QByteArray("kelvarin2-cli: предупреждение: Журнал измерений " + journal.toUtf8())), err.constData());
    QCOMPARE(err.count("предупреждение"), 1);
    for (int zone = 1; zone <= 2; ++zone) {
        QCOMPARE(TestSupport::readFile(station.dir.filePath("res_%1.crd").arg(zone)),
                 TestSupport::readFile(station.dir.filePath("plain_%1.crd").arg(zone)));
    }
    QVERIFY(out.contains("Результаты: "));
}

void TestJournalCli::watchRecordsWhatBecameOfEachImage()
{
    if (!WatchStation::haveZip())
        QSKIP("zip and unzip are not installed");
    WatchStation station("SaveToOneZip=1\r\n");
    TestSupport::writeFile(QDir(station.buffer).filePath("a.bmp"), WatchStation::image(2, 2));
    TestSupport::writeFile(QDir(station.buffer).filePath("b.bmp"), WatchStation::image(3, 2));
    TestSupport::writeFile(QDir(station.buffer).filePath("damaged.bmp"), "BM");
    QProcess tool;
    tool.start(WatchStation::tool(), {"watch", "--settings", station.settings, station.buffer});
    QVERIFY(tool.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(station.bufferFiles(), QStringList(), 30000);
    tool.terminate();
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);

    const QString journal = QDir(station.work).filePath("kelvarin2-journal.sqlite");
    TJournal reader(journal);
    const QList<TJournalRun> runs = reader.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().kind, QStringLiteral("watch"));
    QCOMPARE(runs.first().base, station.base());
    QVERIFY(runs.first().end.isValid());
    QCOMPARE(runs.first().images, 3);  // the damaged one too, with no measurements
    const QList<TJournalRow> rows = reader.rows(runs.first().id);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0).image, QStringLiteral("work_0001.zip:a.bmp"));
    QCOMPARE(rows.at(2).image, QStringLiteral("work_0001.zip:b.bmp"));
    QCOMPARE(rows.at(2).number, 2);

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fates");
    db.setDatabaseName(journal);
    QVERIFY(db.open());
    {
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT path, fate, stored_as, detail, number FROM images ORDER BY id"));
        QStringList fates;
        while (query.next()) {
            fates << QFileInfo(query.value(0).toString()).fileName() + ' ' + query.value(1).toString() + ' '
                         + QFileInfo(query.value(2).toString()).fileName() + ' ' + query.value(4).toString();
            if (query.value(1).toString() == "set_aside")
                QVERIFY(!query.value(3).toString().isEmpty());
        }
        QCOMPARE(fates, (QStringList{"a.bmp archived work_0001.zip:a.bmp 1", "b.bmp archived work_0001.zip:b.bmp 2",
                                     "damaged.bmp set_aside damaged.bmp 0"}));
        // The watch's notices are the run's events.
        QVERIFY(query.exec("SELECT run_id, severity, source, text FROM events ORDER BY id"));
        QStringList events;
        while (query.next()) {
            QCOMPARE(query.value(0).toLongLong(), runs.first().id);
            events << query.value(1).toString() + ' ' + query.value(2).toString() + ' ' + query.value(3).toString();
        }
        QVERIFY2(events.size() >= 1 && events.last().startsWith("warning watch Изображение damaged.bmp отложено"),
                 qPrintable(events.join('\n')));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("fates");
}

// A journal that opens but refuses one image in the middle of the run: the
// warning on stderr and in the event log, exit 1, the results as without it.
void TestJournalCli::failureWhileWritingExitsOne()
{
    WatchStation station;
    images(station, 6);
    const QString journal = station.dir.filePath("j.sqlite");
    {
        TJournal created(journal);
        QVERIFY(created.open());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "trigger");
        db.setDatabaseName(journal);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("CREATE TRIGGER refuse BEFORE INSERT ON images WHEN NEW.number = 4 "
                                   "BEGIN SELECT RAISE(ABORT, 'disk quota exceeded'); END"));
        db.close();
    }
    QSqlDatabase::removeDatabase("trigger");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--no-journal", "--out",
                                station.dir.filePath("plain"), station.buffer}, &out, &err), 0);
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--journal", journal, "--out",
                                station.dir.filePath("res"), station.buffer}, &out, &err), 1);
    QCOMPARE(err.count("предупреждение"), 1);
    const QByteArray warning = "kelvarin2-cli: предупреждение: Журнал измерений " + journal.toUtf8()
                             + ": изображение f0003.bmp не записано: disk quota exceeded";
    QVERIFY2(err.contains(warning), err.constData());
    const QByteArray events = TestSupport::readFile(QDir(station.work).filePath("kelvarin2-events.log"));
    QVERIFY2(events.contains("изображение f0003.bmp не записано") && events.contains("warning"), events.constData());
    for (int zone = 1; zone <= 2; ++zone) {
        QCOMPARE(TestSupport::readFile(station.dir.filePath("res_%1.crd").arg(zone)),
                 TestSupport::readFile(station.dir.filePath("plain_%1.crd").arg(zone)));
    }
    TJournal reader(journal);
    QCOMPARE(reader.runs().size(), 1);
    QCOMPARE(reader.runs().first().images, 5);
    QVERIFY(reader.runs().first().end.isValid());
}

void TestJournalCli::killedRunLeavesWholeImages_data()
{
    QTest::addColumn<QString>("jobs");
    QTest::newRow("one job") << "1";
    QTest::newRow("two jobs") << "2";
}

void TestJournalCli::killedRunLeavesWholeImages()
{
    QFETCH(QString, jobs);
    WatchStation station;
    constexpr int Count = 1500;
    images(station, Count);
    const QString journal = station.dir.filePath("j.sqlite");
    QProcess tool;
    tool.start(WatchStation::tool(), {"process", "--settings", station.settings, "--journal", journal, "--jobs", jobs,
                                      "--out", station.dir.filePath("res"), station.buffer});
    QVERIFY(tool.waitForStarted());
    // Killed once some images are in: whatever it was doing then.
    int recorded = 0;
    while (recorded < 30 && tool.state() == QProcess::Running) {
        QThread::msleep(5);
        TJournal reader(journal);
        if (QFile::exists(journal) && reader.open())
            recorded = int(reader.rows(1).size() / 2);
    }
    QVERIFY2(tool.state() == QProcess::Running, "the run ended before it could be killed");
    ::kill(pid_t(tool.processId()), SIGKILL);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::CrashExit);

    TJournal reader(journal);
    QVERIFY2(reader.open(), qPrintable(reader.errorString()));
    const QList<TJournalRun> runs = reader.runs();
    QCOMPARE(runs.size(), 1);
    QVERIFY(!runs.first().end.isValid());
    QVERIFY(runs.first().images >= 30 && runs.first().images < Count);
    // Every image recorded has both its zones; numbers run 1..n without a gap.
    const QList<TJournalRow> rows = reader.rows(runs.first().id);
    QCOMPARE(rows.size(), runs.first().images * 2);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).number, i / 2 + 1);
        QCOMPARE(rows.at(i).zone, i % 2 + 1);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
    db.setDatabaseName(journal);
    QVERIFY(db.open());
    QSqlQuery check(db);
    QVERIFY(check.exec("PRAGMA integrity_check") && check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    check = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("check");
}

void TestJournalCli::twoToolsAtOnceLoseNothing()
{
    WatchStation station;
    images(station, 60);
    const QString journal = station.dir.filePath("shared.sqlite");
    QProcess first, second;
    for (QProcess *tool : {&first, &second}) {
        tool->start(WatchStation::tool(), {"process", "--settings", station.settings, "--journal", journal, "--out",
                                           station.dir.filePath(tool == &first ? "a" : "b"), station.buffer});
    }
    for (QProcess *tool : {&first, &second}) {
        QVERIFY(tool->waitForFinished(120000));
        QVERIFY2(tool->exitCode() == 0, tool->readAllStandardError().constData());
    }
    TJournal reader(journal);
    const QList<TJournalRun> runs = reader.runs();
    QCOMPARE(runs.size(), 2);
    for (const TJournalRun &run : runs) {
        QCOMPARE(run.images, 60);
        QCOMPARE(reader.rows(run.id).size(), 120);
    }
}

void TestJournalCli::russianLocaleExportsWithPoint()
{
    WatchStation station;
    images(station, 6);
    const QStringList russian{"LC_ALL=ru_RU.UTF-8", "LANG=ru_RU.UTF-8"};
    QByteArray out, err;
    QCOMPARE(runWithEnvironment({"process", "--settings", station.settings, station.buffer}, russian, &out, &err), 0);
    QByteArray csv;
    QCOMPARE(runWithEnvironment({"export", "--settings", station.settings}, russian, &csv, &err), 0);
    const QList<QByteArray> lines = csv.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        QCOMPARE(lines.at(i).count(','), 18);
        if (lines.at(i).split(',').at(7) == "1")
            QVERIFY2(lines.at(i).split(',').at(8).contains('.'), lines.at(i).constData());
    }
    QCOMPARE(foundLines(csv).value(1), station.crdLines(1));
}

void TestJournalCli::postgresRunEqualsSqliteRun()
{
    const QString server = testPostgres();
    KELVARIN_NEED_SERVER(server);
    WatchStation station;
    images(station, 10);
    QByteArray out, err;
    const QString base = station.dir.filePath("pg");
    QVERIFY2(WatchStation::run({"process", "--settings", station.settings, "--journal", server, "--out", base,
                                station.buffer}, &out, &err) == 0, err.constData());
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, station.buffer}, &out, &err), 0);
    QByteArray fromServer, fromFile;
    QCOMPARE(WatchStation::run({"export", "--journal", server, "--base", base}, &fromServer, &err), 0);
    QCOMPARE(WatchStation::run({"export", "--settings", station.settings}, &fromFile, &err), 0);
    QCOMPARE(measuredColumns(fromServer), measuredColumns(fromFile));
    QCOMPARE(foundLines(fromServer).value(2), station.crdLines(2));
    QCOMPARE(WatchStation::run({"runs", "--journal", server}, &out, &err), 0);
    QVERIFY(out.contains(base.toUtf8()));
}

void TestJournalCli::exportRefusesWhatItCannotDo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("no journal") << QStringList{"export", "--journal", "$D/none.sqlite"} << 2 << "журнал измерений $D/none.sqlite не найден";
    QTest::newRow("no such run") << QStringList{"export", "--journal", "$J", "--run", "42"} << 2 << "в журнале нет прогона 42";
    QTest::newRow("no such base") << QStringList{"export", "--journal", "$J", "--base", "other"} << 2 << "в журнале нет прогона с набором other";
    QTest::newRow("bad format") << QStringList{"export", "--journal", "$J", "--format", "xml"} << 2 << "неизвестный формат: xml";
    QTest::newRow("run and base") << QStringList{"export", "--run", "1", "--base", "b"} << 2 << "--run и --base вместе";
    QTest::newRow("unwritable output") << QStringList{"export", "--journal", "$J", "--out", "$D/no/dir/x.csv"} << 1 << "$D/no/dir/x.csv";
}

void TestJournalCli::exportRefusesWhatItCannotDo()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    WatchStation station;
    images(station, 1);
    const QString journal = station.dir.filePath("j.sqlite");
    QByteArray out, err;
    QCOMPARE(WatchStation::run({"process", "--settings", station.settings, "--journal", journal, station.buffer}, &out, &err), 0);
    for (QString &argument : arguments)
        argument.replace("$D", station.dir.path()).replace("$J", journal);
    QCOMPARE(WatchStation::run(arguments, &out, &err), code);
    QVERIFY2(QString::fromUtf8(err).contains(message.replace("$D", station.dir.path())), err.constData());
    QVERIFY(out.isEmpty());
}

QTEST_GUILESS_MAIN(TestJournalCli)
#include "tst_journalcli.moc"

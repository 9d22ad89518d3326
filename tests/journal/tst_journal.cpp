#include "BmpWriter.h"
#include "DisplacementReader.h"
#include "JournalExport.h"
#include "JournalLocation.h"
#include "LocaleFormat.h"
#include "PostgresForTests.h"
#include "ResultFiles.h"
#include "TIssue.h"
#include "TJournal.h"
#include "TJournalRecorder.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TProcessingRun.h"
#include "TRunHost.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <tuple>

#include <sys/stat.h>

#include <cmath>

namespace {

struct QuietHost : TRunHost
{
    QStringList errors;
    void SetStatusText(const QString &) override {}
    void EnableCommands(bool) override {}
    void ProcessEvents() override {}
    void report(const TIssue &issue) override { errors << issue.text; }
};

constexpr int Width = 40;
constexpr int Height = 30;

// An 8-bit image with a 3 x 3 spot at (x1, y1) in the left zone (none when x1 < 0)
// and another at (x2, y2) in the right one.
void writeImage(const QString &path, int x1, int y1, int x2, int y2)
{
    BmpWriter::Image image;
    image.width = Width;
    image.height = Height;
    image.bitsPerPixel = 8;
    image.pixels = QList<quint32>(Width * Height, 5);
    for (int dy = 0; dy < 3; ++dy) {
        for (int dx = 0; dx < 3; ++dx) {
            if (x1 >= 0)
                image.pixels[(y1 + dy) * Width + x1 + dx] = 200;
            image.pixels[(y2 + dy) * Width + x2 + dx] = 180 + dx * 10;
        }
    }
    for (quint32 g = 0; g < 256; ++g)
        image.palette << (g << 16 | g << 8 | g);
    BmpWriter::write(path, image);
}

// A measurement of every zone, as detection would hand it over.
// origins: X0, Y0 per zone (none: -1, -1), as the record's dx, dy are built.
TRecordedImage fakeImage(const QString &name, int number, int zones, const QList<QPointF> &origins = {})
{
    TRecordedImage image;
    image.path = QStringLiteral("/station/buffer/") + name;
    image.number = number;
    image.modified = QDateTime::currentDateTime();
    image.size = 1234;
    for (int k = 0; k < zones; ++k) {
        TZoneMeasurement m;
        m.found = k % 3 != 2;
        m.x = m.found ? 100.125 + k + number / 7.0 : -1;
        m.y = m.found ? 50.5 - k : -1;
        m.maximum = 250;
        m.threshold = 187.5;
        m.area = 9 + k;
        m.mean = 201.25;
        const QPointF origin = k < origins.size() ? origins.at(k) : QPointF(-1, -1);
        m.hasOrigin = origin.x() > -1 && origin.y() > -1;
        m.dx = m.found ? m.x - origin.x() : 0;
        m.dy = m.found ? m.y - origin.y() : 0;
        image.zones << m;
    }
    return image;
}

// Runs one statement on the journal file through a connection of its own.
bool execOn(const QString &file, const QString &statement)
{
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("direct"));
        db.setDatabaseName(file);
        done = db.open() && QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("direct"));
    return done;
}

} // namespace

// The measurement journal: what a run leaves in it, on SQLite and on a real
// PostgreSQL server, its export, and what happens when it cannot be written.
class TestJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void locations_data();
    void locations();
    void rowsEqualCoordinateFiles_data();
    void rowsEqualCoordinateFiles();
    void exportCsvWhateverTheLocale();
    void exportJson();
    void exportSpotFigures_data();
    void exportSpotFigures();
    void spotFiguresAreJournaledAsMeasured();
    void exportNumbersAsTheCoordinateFiles();
    void twoWritersLoseNothing_data();
    void twoWritersLoseNothing();
    void unwritableJournalWarnsAndRunGoesOn_data();
    void unwritableJournalWarnsAndRunGoesOn();
    void failureWhileWritingIsToldOnTheRunsThread_data();
    void failureWhileWritingIsToldOnTheRunsThread();
    void runEndsOnlyOnceAllIsWritten();
    void checkpointLeavesTheFileWhole();
    void runWhoseResultsFailKeepsNoBase();
    void recorderGoneDuringARunEndsIt();
    void laterFateGoesToTheLastImageOfItsPath();
    void everyZoneOfALargeImageIsRecorded();
    void newerSchemaIsRefused();
    void displacementsEqualRows_data();
    void displacementsEqualRows();
    void displacementsOfAnUnreadableJournal();
    void journalTimes_data();
    void journalTimes();
    void settingsInForceNameTheCentreWeighting();

private:
    QString location(const QString &kind) const;
    // One run over five images; the third has no spot in zone 1.
    qint64 runOver(const QString &journal, const QString &base, QStringList *images = nullptr, int jobs = 1);
    QStringList writeImages() const;
    TProcessingRun::Outcome runWith(TJournalRecorder &recorder, const QStringList &images, const QString &base,
                                    int jobs);

    QTemporaryDir m_dir;
    TParameters m_params;
    int m_testNumber = 0;
};

void TestJournal::init()
{
    QVERIFY(m_dir.isValid());
    m_params = TParameters();
    m_params.MinSCount = 0;
    m_params.MaxSCount = 100;
    m_params.AverageYPorog = 100;
    m_params.WorkDir = m_dir.filePath(QStringLiteral("work%1").arg(++m_testNumber));
    QDir().mkpath(m_params.WorkDir);
    m_params.ZonesFileName = m_dir.filePath(QStringLiteral("z.zon"));
    // Zone 1 without an origin, zone 2 with one.
    TestSupport::writeFile(m_params.ZonesFileName, "0;0;19;29\r\n20;0;39;29;21;11\r\n");
}

QString TestJournal::location(const QString &kind) const
{
    if (kind == QLatin1String("postgresql"))
        return testPostgres();
    return QDir(m_params.WorkDir).filePath(QStringLiteral("kelvarin2-journal.sqlite"));
}

QStringList TestJournal::writeImages() const
{
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths << QDir(m_params.WorkDir).filePath(QStringLiteral("img%1.bmp").arg(i));
        writeImage(paths.last(), i == 2 ? -1 : 3 + i, 10, 22 + 2 * i, 5 + i);
    }
    return paths;
}

TProcessingRun::Outcome TestJournal::runWith(TJournalRecorder &recorder, const QStringList &images,
                                             const QString &base, int jobs)
{
    QuietHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    run.setResultsBase(base);
    run.setJobs(jobs);
    run.setRecorder(&recorder, QStringLiteral("cli"));
    return run.Run(images);
}

qint64 TestJournal::runOver(const QString &journal, const QString &base, QStringList *images, int jobs)
{
    const QStringList paths = writeImages();
    if (images)
        *images = paths;
    TJournalRecorder recorder(journal);
    const TProcessingRun::Outcome outcome = runWith(recorder, paths, base, jobs);
    if (!outcome.saveError.isEmpty() || recorder.failed())
        qWarning() << outcome.saveError << recorder.failure();
    return recorder.failed() ? 0 : recorder.lastRunId();
}

void TestJournal::locations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("usable");
    QTest::newRow("file") << "/data/j.sqlite" << false << "" << -1 << "" << "" << true;
    QTest::newRow("server") << "postgresql://kel@db.example:5433/fleet" << true << "db.example" << 5433 << "kel"
                            << "fleet" << true;
    QTest::newRow("short scheme") << "postgres://kel@db/fleet" << true << "db" << -1 << "kel" << "fleet" << true;
    QTest::newRow("socket") << "postgresql://postgres@/j?host=/tmp/pg%20dir" << true << "/tmp/pg dir" << -1
                            << "postgres" << "j" << true;
    QTest::newRow("no database") << "postgresql://kel@db:5432/" << true << "db" << 5432 << "kel" << "" << false;
    QTest::newRow("empty") << "" << false << "" << -1 << "" << "" << false;
}

void TestJournal::locations()
{
    QFETCH(QString, text);
    const JournalLocation location = JournalLocation::parse(text);
    QTEST(location.postgres, "postgres");
    QTEST(location.host, "host");
    QTEST(location.port, "port");
    QTEST(location.user, "user");
    QTEST(location.database, "database");
    QTEST(location.error.isEmpty(), "usable");
    // The password never reaches the screen.
    QVERIFY(!JournalLocation::parse("postgresql://kel:secret@db/fleet").display().contains("secret"));
}

void TestJournal::rowsEqualCoordinateFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("jobs");
    QTest::newRow("sqlite") << "sqlite" << 1;
    QTest::newRow("sqlite, two jobs") << "sqlite" << 2;
    QTest::newRow("postgresql") << "postgresql" << 1;
    QTest::newRow("postgresql, two jobs") << "postgresql" << 2;
}

void TestJournal::rowsEqualCoordinateFiles()
{
    QFETCH(QString, kind);
    QFETCH(int, jobs);
    const QString journalLocation = location(kind);
    KELVARIN_NEED_SERVER(journalLocation);
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("res"));
    QStringList images;
    const qint64 runId = runOver(journalLocation, base, &images, jobs);
    QVERIFY(runId > 0);

    TJournal journal(journalLocation);
    const QList<TJournalRow> rows = journal.rows(runId);
    QVERIFY2(journal.errorString().isEmpty(), qPrintable(journal.errorString()));
    QCOMPARE(rows.size(), images.size() * 2);
    for (int zone = 1; zone <= 2; ++zone) {
        // Every found row is a line of the zone's file, and every line has its row.
        QStringList fromJournal;
        for (const TJournalRow &row : rows) {
            if (row.zone == zone && row.found) {
                fromJournal << QStringLiteral("%1\t%2\t%3").arg(row.number).arg(ResultFiles::FormatCoordinate(row.dx),
                                                                                 ResultFiles::FormatCoordinate(row.dy));
            }
        }
        const QString crd = QString::fromLatin1(TestSupport::readFile(base + QStringLiteral("_%1.crd").arg(zone)));
        QCOMPARE(fromJournal, crd.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    }
    QCOMPARE(rows.at(4).found, false);  // image 3, zone 1
    QCOMPARE(rows.at(4).number, 3);
    QVERIFY(rows.at(5).found);
    QVERIFY(!rows.at(0).hasOrigin);
    QVERIFY(rows.at(1).hasOrigin);
    for (int i = 0; i < rows.size(); ++i) {
        const TJournalRow &row = rows.at(i);
        QCOMPARE(row.base, base);
        QCOMPARE(row.image, QFileInfo(images.at(i / 2)).fileName());
        QCOMPARE(row.imageTime.toMSecsSinceEpoch(), QFileInfo(images.at(i / 2)).lastModified().toMSecsSinceEpoch());
        QVERIFY(row.processedAt.isValid());
        QVERIFY(row.maximum >= row.threshold || !row.found);
    }
    const QList<TJournalRun> runs = journal.runs();
    const auto run = std::find_if(runs.cbegin(), runs.cend(), [&](const TJournalRun &r) { return r.id == runId; });
    QVERIFY(run != runs.cend());
    QCOMPARE(run->kind, QStringLiteral("cli"));
    QCOMPARE(run->base, base);
    QCOMPARE(run->images, images.size());
    QVERIFY(run->end.isValid() && run->end >= run->start);
    QCOMPARE(journal.schemaVersion(), TJournal::SchemaVersion);
}

void TestJournal::exportCsvWhateverTheLocale()
{
    // The run and the export under a "," locale, a base that needs quoting.
    LocaleGuard russian(QLatin1Char(','));
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("res, \"north\""));
    const qint64 runId = runOver(location(QStringLiteral("sqlite")), base);
    QVERIFY(runId > 0);
    TJournal journal(location(QStringLiteral("sqlite")));
    QByteArray csv;
    QString error;
    QVERIFY(JournalExport::write(journal, runId, JournalExport::Format::Csv,
                                 [&csv](const QByteArray &piece) { csv += piece; return true; }, &error));
    const QList<QByteArray> lines = csv.split('\n');
    QCOMPARE(lines.first(), QByteArray("station,base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,"
                                       "mean,maximum,threshold,sx,sy,spots\r"));
    QCOMPARE(lines.size(), 1 + 10 + 1);
    QVERIFY(lines.last().isEmpty());
    const QByteArray quotedBase =
        QSysInfo::machineHostName().toUtf8() + ",\"" + base.toUtf8().replace("\"", "\"\"") + "\",";
    const QList<TJournalRow> rows = journal.rows(runId);
    for (int i = 1; i <= 10; ++i) {
        QVERIFY2(lines.at(i).startsWith(quotedBase), lines.at(i).constData());
        QVERIFY(lines.at(i).endsWith('\r'));
        // After the quoted base: exactly the 17 other fields, "." inside numbers.
        const QList<QByteArray> fields = lines.at(i).mid(quotedBase.size()).chopped(1).split(',');
        QCOMPARE(fields.size(), 17);
        const TJournalRow &row = rows.at(i - 1);
        QCOMPARE(fields.at(0), QByteArray::number(row.number));
        QVERIFY(QDateTime::fromString(QString::fromLatin1(fields.at(2)), Qt::ISODateWithMs).isValid());
        QVERIFY2(fields.at(2).contains('T') && (fields.at(2).contains('+') || fields.at(2).count('-') == 3),
                 fields.at(2).constData());
        QCOMPARE(fields.at(5), row.found ? QByteArray("1") : QByteArray("0"));
        if (row.found) {
            QCOMPARE(fields.at(6), QString::number(row.x, 'f', 6).toLatin1());
            QCOMPARE(fields.at(8), ResultFiles::FormatCoordinate(row.dx).toLatin1());
            QVERIFY(fields.at(8).contains('.'));
        } else {
            for (int f = 6; f <= 9; ++f)
                QVERIFY(fields.at(f).isEmpty());
        }
        QCOMPARE(fields.at(11).toDouble(), row.mean);
    }
}

void TestJournal::exportJson()
{
    const qint64 runId = runOver(location(QStringLiteral("sqlite")), QDir(m_params.WorkDir).filePath("res"));
    QVERIFY(runId > 0);
    TJournal journal(location(QStringLiteral("sqlite")));
    QByteArray json;
    QString error;
    QVERIFY(JournalExport::write(journal, runId, JournalExport::Format::Json,
                                 [&json](const QByteArray &piece) { json += piece; return true; }, &error));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    const QJsonArray array = document.array();
    const QList<TJournalRow> rows = journal.rows(runId);
    QCOMPARE(rows.size(), 10);
    QCOMPARE(array.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject object = array.at(i).toObject();
        QCOMPARE(object.keys().size(), 19);
        QCOMPARE(object.value("station").toString(), QSysInfo::machineHostName());
        QCOMPARE(object.value("zone").toInt(), rows.at(i).zone);
        QCOMPARE(object.value("image").toString(), rows.at(i).image);
        if (rows.at(i).found)
            QCOMPARE(object.value("dx").toDouble(), ResultFiles::FormatCoordinate(rows.at(i).dx).toDouble());
        else
            QVERIFY(object.value("x").isNull() && object.value("dy").isNull());
    }
    // An empty run is an empty array.
    QByteArray empty;
    QVERIFY(JournalExport::write(journal, 999999, JournalExport::Format::Json,
                                 [&empty](const QByteArray &piece) { empty += piece; return true; }, &error));
    QCOMPARE(QJsonDocument::fromJson(empty).array().size(), 0);
    // A sink that refuses (a full disk) makes the export fail with a reason,
    // and it is asked once: nothing more is pushed at it after the refusal.
    int offered = 0;
    error.clear();
    QVERIFY(!JournalExport::write(journal, runId, JournalExport::Format::Csv,
                                  [&offered](const QByteArray &) { ++offered; return false; }, &error));
    QCOMPARE(offered, 1);
    QCOMPARE(error, QStringLiteral("экспорт не записан"));
}

// A run with ConnectedSpot: zone 1 holds a second, dimmer spot, zone 2 one
// spot; the journal keeps the spots counted and every found centre's
// uncertainty, NULL where the target was not found.
void TestJournal::spotFiguresAreJournaledAsMeasured()
{
    m_params.ConnectedSpot = true;
    const QString file = location(QStringLiteral("sqlite"));
    const QString twoSpots = QDir(m_params.WorkDir).filePath(QStringLiteral("two.bmp"));
    const QString none = QDir(m_params.WorkDir).filePath(QStringLiteral("none.bmp"));
    writeImage(none, -1, 0, 25, 8);
    {
        BmpWriter::Image image;
        image.width = Width;
        image.height = Height;
        image.bitsPerPixel = 8;
        image.pixels = QList<quint32>(Width * Height, 5);
        // (x, y, brightness): two spots in zone 1, the second dimmer and 12 rows lower; one in zone 2.
        for (const auto &[x, y, value] : {std::tuple{3, 4, 200}, std::tuple{10, 16, 170}, std::tuple{25, 8, 200}}) {
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx)
                    image.pixels[(y + dy) * Width + x + dx] = quint32(value);
        }
        for (quint32 g = 0; g < 256; ++g)
            image.palette << (g << 16 | g << 8 | g);
        BmpWriter::write(twoSpots, image);
    }
    TJournalRecorder recorder(file);
    const TProcessingRun::Outcome outcome = runWith(recorder, {twoSpots, none},
                                                    QDir(m_params.WorkDir).filePath(QStringLiteral("res")), 1);
    QVERIFY(outcome.saveError.isEmpty());
    QVERIFY(!recorder.failed());
    QStringList figures;
    QStringList uncertain;
    TJournal journal(file, TJournal::Access::Read);
    for (const TJournalRow &row : journal.rows(recorder.lastRunId())) {
        figures << QStringLiteral("%1/%2 found %3 spots %4").arg(row.number).arg(row.zone).arg(row.found).arg(row.spots);
        if (row.hasUncertainty() && row.sx > 0 && row.sy > 0 && row.sx < 1 && row.sy < 1)
            uncertain << QStringLiteral("%1/%2").arg(row.number).arg(row.zone);
    }
    QCOMPARE(figures, (QStringList{"1/1 found 1 spots 2", "1/2 found 1 spots 1", "2/1 found 0 spots 1",
                                   "2/2 found 1 spots 1"}));
    QCOMPARE(uncertain, (QStringList{"1/1", "1/2", "2/2"}));
}

void TestJournal::exportSpotFigures_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("csv") << false;
    QTest::newRow("json") << true;
}

// sx, sy and spots follow the threshold as the journal holds them: zone 1's
// found spots with a tiny uncertainty and two spots, its empty image with no
// spot and no uncertainty, zone 2 with none of the figures (NULL).
void TestJournal::exportSpotFigures()
{
    QFETCH(bool, json);
    LocaleGuard russian(QLatin1Char(','));
    const QString file = location(QStringLiteral("sqlite"));
    const qint64 runId = runOver(file, QDir(m_params.WorkDir).filePath("res"));
    QVERIFY(runId > 0);
    QVERIFY(execOn(file, "UPDATE measurements SET sx = 0.00000025, sy = 1.5, spots = 2 WHERE zone = 1 AND found = 1"));
    QVERIFY(execOn(file, "UPDATE measurements SET sx = NULL, sy = NULL, spots = 0 WHERE zone = 1 AND found = 0"));
    QVERIFY(execOn(file, "UPDATE measurements SET sx = NULL, sy = NULL, spots = NULL WHERE zone = 2"));
    TJournal journal(file, TJournal::Access::Read);
    QByteArray out;
    QString error;
    QVERIFY2(JournalExport::write(journal, runId, json ? JournalExport::Format::Json : JournalExport::Format::Csv,
                                  [&out](const QByteArray &piece) { out += piece; return true; }, &error),
             qPrintable(error));
    const QList<TJournalRow> rows = journal.rows(runId);
    QCOMPARE(rows.size(), 10);
    QList<QByteArray> lines = out.split('\n');
    lines.removeFirst(); // the header or "["
    for (int i = 0; i < rows.size(); ++i) {
        const TJournalRow &row = rows.at(i);
        const QByteArray line = lines.at(i);
        const QByteArray expected = row.zone == 2 ? ",," : row.found ? "0.00000025,1.5,2" : ",,0";
        if (!json) {
            const QByteArray tail = JournalExport::exactNumber(row.threshold) + ',' + expected + '\r';
            QVERIFY2(line.endsWith(QByteArray(',' + tail)), line.constData());
            continue;
        }
        const QJsonObject object = QJsonDocument::fromJson(QByteArray(line).replace("},", "}")).object();
        QVERIFY2(!object.isEmpty(), line.constData());
        QCOMPARE(object.value("sx").isNull(), row.zone == 2 || !row.found);
        QCOMPARE(object.value("spots").isNull(), row.zone == 2);
        if (row.zone == 1 && row.found) {
            QCOMPARE(object.value("sx").toDouble(), 2.5e-7);
            QCOMPARE(object.value("sy").toDouble(), 1.5);
            QCOMPARE(object.value("spots").toInt(), 2);
        }
        QVERIFY(line.indexOf("\"threshold\"") < line.indexOf("\"sx\":"));
        QVERIFY(line.indexOf("\"sx\":") < line.indexOf("\"sy\":"));
        QVERIFY(line.indexOf("\"sy\":") < line.indexOf("\"spots\":"));
    }
    // The rows the check and the window read carry them too.
    QList<TJournalRow> last;
    QVERIFY(journal.lastImageRows(runId, 1, &last));
    QCOMPARE(last.size(), 2);
    QCOMPARE(last.at(0).sx, 2.5e-7);
    QCOMPARE(last.at(0).spots, 2);
    QVERIFY(!last.at(1).hasUncertainty());
    QCOMPARE(last.at(1).spots, -1);
}

void TestJournal::exportNumbersAsTheCoordinateFiles()
{
    // The export's fast formatting must give the coordinate files' text for
    // every value: exact halves (away from zero), negatives rounding to zero,
    // large values, and many ordinary ones.
    QList<double> values = {0.0, -0.0, 0.00005, -0.00005, 0.00015, 2.5e-5, 1.03125, -1.03125, 100.03125,
                            0.000049999, -0.00004, 123456.78905, 1e15, -2.5e16, 0.5, 1.99995, -1.99995};
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double scale = (seed >> 28) < 8 ? 1.0 : 3000.0;
        values << (double(seed) / 4294967296.0 - 0.5) * scale;
        // Exact sixteenths and thirty-seconds hit halves at the fourth and sixth decimal.
        values << double(int(seed % 200000) - 100000) / 32.0 << double(int(seed % 2000000) - 1000000) / 128.0;
    }
    for (const double value : values) {
        QCOMPARE(JournalExport::fixedNumber(value, 4), ResultFiles::FormatCoordinate(value).toLatin1());
        QCOMPARE(JournalExport::fixedNumber(value, 6), LocaleFormat::formatFixed(value, 6, QLatin1Char('.')).toLatin1());
    }
    // Mean, maximum and threshold: the shortest text that reads back exactly, never an exponent.
    for (const double value : {214.82830626450115, 247.0, 1e-7, 3e20, 0.1}) {
        const QByteArray text = JournalExport::exactNumber(value);
        QVERIFY2(!text.contains('e'), text.constData());
        QCOMPARE(text.toDouble(), value);
    }
}

void TestJournal::twoWritersLoseNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

void TestJournal::twoWritersLoseNothing()
{
    QFETCH(QString, kind);
    const QString journalLocation = location(kind);
    KELVARIN_NEED_SERVER(journalLocation);
    constexpr int Images = 150;
    constexpr int Zones = 4;
    // Two writers, each with its own connection, as the window and a watch are.
    struct Writer : QThread
    {
        QString location;
        qint64 runId = 0;
        QString error;
        void run() override
        {
            TJournal journal(location);
            TJournal::RunStart start;
            start.kind = QStringLiteral("watch");
            runId = journal.beginRun(start);
            for (int i = 1; runId && i <= Images && error.isEmpty(); ++i) {
                if (!journal.recordImage(runId, fakeImage(QStringLiteral("f%1.bmp").arg(i), i, Zones)))
                    error = journal.errorString();
            }
            if (runId == 0 || !journal.endRun(runId, QStringLiteral("/w/base")))
                error = journal.errorString();
        }
    };
    Writer first, second;
    first.location = second.location = journalLocation;
    first.start();
    second.start();
    QVERIFY(first.wait(300000) && second.wait(300000));
    QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
    QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
    TJournal journal(journalLocation);
    for (const Writer *writer : {&first, &second}) {
        const QList<TJournalRow> rows = journal.rows(writer->runId);
        QCOMPARE(rows.size(), Images * Zones);
        QSet<int> numbers;
        for (const TJournalRow &row : rows)
            numbers.insert(row.number);
        QCOMPARE(numbers.size(), Images);
    }
}

void TestJournal::unwritableJournalWarnsAndRunGoesOn_data()
{
    QTest::addColumn<QString>("what");
    // Opened at once (as the tool does) or when the run begins.
    QTest::addColumn<bool>("openNow");
    for (bool now : {false, true}) {
        const char *when = now ? ", opened at once" : "";
        QTest::addRow("no such folder%s", when) << "folder" << now;
        QTest::addRow("a directory%s", when) << "directory" << now;
        QTest::addRow("not a database%s", when) << "garbage" << now;
        QTest::addRow("server unreachable%s", when) << "server" << now;
    }
}

void TestJournal::unwritableJournalWarnsAndRunGoesOn()
{
    QFETCH(QString, what);
    QString journalLocation = QDir(m_params.WorkDir).filePath(QStringLiteral("j.sqlite"));
    if (what == QLatin1String("folder"))
        journalLocation = m_dir.filePath(QStringLiteral("none/j.sqlite"));
    else if (what == QLatin1String("directory"))
        QDir().mkpath(journalLocation);
    else if (what == QLatin1String("garbage"))
        TestSupport::writeFile(journalLocation, QByteArray(4096, 'x'));
    else
        journalLocation = QStringLiteral("postgresql://nobody@/none?host=") + m_dir.filePath(QStringLiteral("nosocket"));

    QStringList warnings;
    QuietHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TJournalRecorder recorder(journalLocation);
    recorder.setFailureHandler([&warnings](const QString &text) { warnings << text; });
    QFETCH(bool, openNow);
    if (openNow)
        recorder.openNow();
    TProcessingRun run(finder, m_params, host, times);
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("res"));
    run.setResultsBase(base);
    run.setRecorder(&recorder, QStringLiteral("cli"));
    const QString image = QDir(m_params.WorkDir).filePath(QStringLiteral("a.bmp"));
    writeImage(image, 3, 3, 25, 8);
    const TProcessingRun::Outcome outcome = run.Run({image, image});
    // The results are written as always; the failure is told once, naming the journal.
    QVERIFY(outcome.saveError.isEmpty());
    QCOMPARE(TestSupport::readFile(base + "_1.crd"), QByteArray("1\t5.0000\t5.0000\r\n2\t5.0000\t5.0000\r\n"));
    QVERIFY(recorder.failed());
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().startsWith(QStringLiteral("Журнал измерений ") + JournalLocation::parse(journalLocation).display()),
             qPrintable(warnings.first()));
    if (what == QLatin1String("garbage"))
        QCOMPARE(TestSupport::readFile(journalLocation), QByteArray(4096, 'x'));
}

void TestJournal::failureWhileWritingIsToldOnTheRunsThread_data()
{
    QTest::addColumn<int>("jobs");
    // The image's row refused, or one of its zones' rows (written another way).
    QTest::addColumn<QString>("trigger");
    const QString image = QStringLiteral("BEFORE INSERT ON images WHEN NEW.number = 3");
    const QString zone = QStringLiteral("BEFORE INSERT ON measurements WHEN NEW.zone = 2 AND "
                                        "(SELECT number FROM images WHERE id = NEW.image_id) = 3");
    QTest::newRow("one job") << 1 << image;
    QTest::newRow("two jobs") << 2 << image;
    QTest::newRow("a zone refused") << 1 << zone;
}

// The journal opens, then refuses one image: the failure happens on the
// writer's thread and is told on the run's, once; the other images are whole.
void TestJournal::failureWhileWritingIsToldOnTheRunsThread()
{
    QFETCH(int, jobs);
    QFETCH(QString, trigger);
    const QString file = location(QStringLiteral("sqlite"));
    {
        TJournal journal(file);
        QVERIFY(journal.open());
    }
    QVERIFY(execOn(file, QStringLiteral("CREATE TRIGGER refuse %1 "
                                        "BEGIN SELECT RAISE(ABORT, 'the third image is refused'); END").arg(trigger)));
    QStringList warnings;
    QList<QThread *> threads;
    TJournalRecorder recorder(file);
    recorder.setFailureHandler([&](const QString &text) {
        warnings << text;
        threads << QThread::currentThread();
    });
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("res"));
    const TProcessingRun::Outcome outcome = runWith(recorder, writeImages(), base, jobs);
    QVERIFY(outcome.saveError.isEmpty() && outcome.imageError.isEmpty());
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains(QStringLiteral("изображение img2.bmp не записано"))
                 && warnings.first().contains(QStringLiteral("the third image is refused")),
             qPrintable(warnings.first()));
    QCOMPARE(threads.first(), QThread::currentThread());
    QVERIFY(recorder.failed());
    QCOMPARE(TestSupport::readFile(base + "_2.crd").count('\n'), 5);

    TJournal journal(file);
    QStringList numbers;
    for (const TJournalRow &row : journal.rows(recorder.lastRunId()))
        numbers << QStringLiteral("%1/%2").arg(row.number).arg(row.zone);
    QCOMPARE(numbers, (QStringList{"1/1", "1/2", "2/1", "2/2", "4/1", "4/2", "5/1", "5/2"}));
    QVERIFY(journal.runs().last().end.isValid());
}

// After a checkpoint the journal's file holds every committed image by
// itself, while the journal is still open: a copy of the file alone (without
// its write-ahead log) reads the same rows.
void TestJournal::checkpointLeavesTheFileWhole()
{
    const QString file = location(QStringLiteral("sqlite"));
    const qint64 runId = runOver(file, QDir(m_params.WorkDir).filePath(QStringLiteral("res")));
    QVERIFY(runId > 0);
    TJournal journal(file);
    const QList<TJournalRow> rows = journal.rows(runId);
    QCOMPARE(rows.size(), 10);
    TJournal::RunStart start;
    start.kind = QStringLiteral("cli");
    const qint64 second = journal.beginRun(start);
    QVERIFY(second > 0);
    QVERIFY(journal.checkpoint());
    const QString copy = QDir(m_params.WorkDir).filePath(QStringLiteral("copy.sqlite"));
    QVERIFY(QFile::copy(file, copy));
    QVERIFY(QFileInfo::exists(file + QStringLiteral("-wal")));
    TJournal copied(copy);
    QCOMPARE(copied.rows(runId).size(), rows.size());
    QCOMPARE(copied.lastRunId(), second);

    // A reader in the middle of the log (a chart window, say) is not waited
    // for: the checkpoint copies what it can and the run goes on at once.
    QVERIFY(journal.beginRun(start) > second);
    {
        QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        reader.setDatabaseName(file);
        QVERIFY(reader.open());
        QSqlQuery read(reader);
        QVERIFY(read.exec(QStringLiteral("BEGIN")));
        QVERIFY(read.exec(QStringLiteral("SELECT COUNT(*) FROM runs")) && read.next());
        QCOMPARE(read.value(0).toInt(), 3);
        QVERIFY(journal.beginRun(start) > second + 1);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(journal.checkpoint());
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(read.exec(QStringLiteral("SELECT COUNT(*) FROM runs")) && read.next());
        QCOMPARE(read.value(0).toInt(), 3);
        read.exec(QStringLiteral("COMMIT"));
        read.finish();
        reader.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    QCOMPARE(TJournal(file).runs().size(), 4);
}

// A run whose result files fail ends without a base, as it began; the
// journal's log was folded into its file meanwhile.
void TestJournal::runWhoseResultsFailKeepsNoBase()
{
    const QString file = location(QStringLiteral("sqlite"));
    const QString work = m_params.WorkDir;
    const QString base = ResultFiles::NextResultsBase(work);
    // The second zone's file cannot be written: a directory takes its name
    // once the run has chosen its base (before, the base would not be free).
    struct BlockingRecorder : TJournalRecorder
    {
        using TJournalRecorder::TJournalRecorder;
        QString blocked;
        void imagesEnded() override
        {
            if (!blocked.isEmpty())
                QDir().mkpath(blocked);
            blocked.clear(); // the second run below saves
            TJournalRecorder::imagesEnded();
        }
    };
    QuietHost host;
    TPointFinder finder(m_params, nullptr, &host);
    TRunTimes times;
    TProcessingRun run(finder, m_params, host, times);
    BlockingRecorder recorder(file);
    recorder.blocked = base + QStringLiteral("_2.crd");
    run.setRecorder(&recorder, QStringLiteral("manual"));
    m_params.ResAutoSave = true;
    const TProcessingRun::Outcome outcome = run.Run(writeImages());
    QVERIFY(!outcome.saveError.isEmpty());
    QVERIFY(!recorder.failed());
    TJournal journal(file);
    const TJournalRun last = journal.runs().last();
    QCOMPARE(last.id, recorder.lastRunId());
    QCOMPARE(last.base, QString());
    QVERIFY(last.end.isValid());
    QCOMPARE(last.images, 5);

    // Saved, the run names the base its files went under.
    QVERIFY(QDir(base + QStringLiteral("_2.crd")).removeRecursively());
    const TProcessingRun::Outcome saved = run.Run(writeImages());
    QVERIFY(saved.saveError.isEmpty());
    QCOMPARE(journal.runs().last().base, saved.resultsBase);
    QCOMPARE(saved.resultsBase, base);
}

// A window closed during a watch takes its recorder with it: the run gets its
// end (with the base it began with) and keeps every image handed over.
void TestJournal::recorderGoneDuringARunEndsIt()
{
    const QString file = location(QStringLiteral("sqlite"));
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("watch"));
    {
        TJournalRecorder recorder(file);
        recorder.beginRun(QStringLiteral("watch"), base, m_params, {});
        for (int i = 1; i <= 3; ++i) {
            TRecordedImage image;
            image.path = QDir(m_params.WorkDir).filePath(QStringLiteral("img%1.bmp").arg(i));
            image.processedAt = QDateTime::currentDateTime();
            image.number = i;
            recorder.recordImage(image);
        }
    }
    TJournal journal(file);
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 1);
    QVERIFY(runs.first().end.isValid());
    QCOMPARE(runs.first().base, base);
    QCOMPARE(runs.first().images, 3);
}

// Another writer holds the journal for less than the moment a write waits
// for it: the run's end waits until its last image and its end are written.
// (Held longer, the journal counts as away: see the spool's tests.)
void TestJournal::runEndsOnlyOnceAllIsWritten()
{
    const QString file = location(QStringLiteral("sqlite"));
    {
        TJournal journal(file);
        QVERIFY(journal.open());
    }
    QSemaphore held;
    QAtomicInt released = 0;
    std::unique_ptr<QThread> holder(QThread::create([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            db.setDatabaseName(file);
            QSqlQuery query(db);
            const bool locked = db.open() && query.exec(QStringLiteral("BEGIN IMMEDIATE"));
            held.release();
            if (locked) {
                QThread::msleep(500);
                released = 1;
                query.exec(QStringLiteral("COMMIT"));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }));
    holder->start();
    held.acquire();
    const QString base = QDir(m_params.WorkDir).filePath(QStringLiteral("res"));
    const qint64 runId = runOver(file, base);
    QCOMPARE(released.loadRelaxed(), 1);
    QVERIFY(runId > 0);
    holder->wait();
    TJournal journal(file);
    QCOMPARE(journal.rows(runId).size(), 10);
    QVERIFY(journal.runs().last().end.isValid());
}

// A retried archiving gives its fate to the image recorded last under that
// path; an earlier image of the same name keeps its own.
void TestJournal::laterFateGoesToTheLastImageOfItsPath()
{
    TJournal journal(location(QStringLiteral("sqlite")));
    TJournal::RunStart start;
    start.kind = QStringLiteral("watch");
    const qint64 runId = journal.beginRun(start);
    QVERIFY(runId > 0);
    TRecordedImage first = fakeImage(QStringLiteral("dup.bmp"), 1, 1);
    first.fate = TRecordedImage::Fate::Archived;
    first.storedAs = QStringLiteral("/w/a.zip:dup.bmp");
    TRecordedImage second = fakeImage(QStringLiteral("dup.bmp"), 2, 1);
    second.detail = QStringLiteral("архиватор вернул код 15");
    QVERIFY(journal.recordImage(runId, first) && journal.recordImage(runId, second));
    TRecordedImage later;
    later.path = second.path;
    later.fate = TRecordedImage::Fate::Archived;
    later.storedAs = QStringLiteral("/w/a.zip:dup~2.bmp");
    QVERIFY(journal.recordLaterFate(runId, later));
    QStringList names;
    for (const TJournalRow &row : journal.rows(runId))
        names << row.image;
    QCOMPARE(names, (QStringList{"a.zip:dup.bmp", "a.zip:dup~2.bmp"}));
}

// Zones are inserted many at a time: a count beyond one statement's share
// (and one not a multiple of it) loses none and mixes none up.
void TestJournal::everyZoneOfALargeImageIsRecorded()
{
    TJournal journal(location(QStringLiteral("sqlite")));
    TJournal::RunStart start;
    start.kind = QStringLiteral("cli");
    const qint64 runId = journal.beginRun(start);
    QVERIFY(runId > 0);
    for (const int zones : {130, 3, 130}) {
        const TRecordedImage image = fakeImage(QStringLiteral("z%1.bmp").arg(zones), zones, zones);
        QVERIFY2(journal.recordImage(runId, image), qPrintable(journal.errorString()));
    }
    const QList<TJournalRow> rows = journal.rows(runId);
    QCOMPARE(rows.size(), 130 + 3 + 130);
    for (int i = 0; i < rows.size(); ++i) {
        const int zone = i < 130 ? i : i < 133 ? i - 130 : i - 133;
        QCOMPARE(rows.at(i).zone, zone + 1);
        QCOMPARE(rows.at(i).found, zone % 3 != 2);
        QCOMPARE(rows.at(i).area, 9 + zone);
    }
}

void TestJournal::newerSchemaIsRefused()
{
    const QString file = location(QStringLiteral("sqlite"));
    {
        TJournal journal(file);
        QVERIFY(journal.open());
        QCOMPARE(journal.schemaVersion(), TJournal::SchemaVersion);
    }
    {
        // Reopening migrates nothing and loses nothing.
        TJournal journal(file);
        QVERIFY(journal.open());
        QCOMPARE(journal.schemaVersion(), TJournal::SchemaVersion);
    }
    QVERIFY(execOn(file, QStringLiteral("INSERT INTO schema_version (version) VALUES (7)")));
    TJournal journal(file);
    QVERIFY(!journal.open());
    QVERIFY2(journal.errorString().contains(QStringLiteral("более новой версией")), qPrintable(journal.errorString()));
}

void TestJournal::displacementsEqualRows_data()
{
    rowsEqualCoordinateFiles_data();
}

// The charts read a run through their own queries; they must see exactly
// what the rows say: every image once in order, its time, and dx, dy only
// where the target was found in a zone with an origin. Another run's images
// come in between, as when two stations share a journal.
void TestJournal::displacementsEqualRows()
{
    QFETCH(QString, kind);
    const QString journalLocation = location(kind);
    KELVARIN_NEED_SERVER(journalLocation);
    TJournal journal(journalLocation);
    TJournal::RunStart start;
    start.kind = QStringLiteral("watch");
    for (int k = 0; k < 4; ++k)
        start.zones << QRect(10 * k, 0, 10, 10);
    start.origins = {QPointF(100, 50), QPointF(-1, -1), QPointF(101, 49), QPointF(99.5, 51)};
    const qint64 run = journal.beginRun(start);
    const qint64 other = journal.beginRun(start);
    QVERIFY2(run > 0 && other > 0, qPrintable(journal.errorString()));
    const QList<QDateTime> times = {QDateTime(QDate(2026, 3, 1), QTime(12, 0, 5, 250), Qt::OffsetFromUTC, 3 * 3600),
                                    QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), Qt::OffsetFromUTC, -(5 * 3600 + 1800)),
                                    QDateTime(), QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC)};
    for (int n = 1; n <= 12; ++n) {
        TRecordedImage image = fakeImage(QStringLiteral("img%1.bmp").arg(n), n, 4, start.origins);
        image.modified = times.at(n % times.size());
        QVERIFY2(journal.recordImage(run, image), qPrintable(journal.errorString()));
        if (n % 3 == 0)
            QVERIFY(journal.recordImage(other, fakeImage(QStringLiteral("x%1.bmp").arg(n), n, 4, start.origins)));
    }
    // The spot's figures: zone 1's everywhere, zone 3 (never found) with a
    // spot count alone; the others none.
    const bool sqlite = kind == QLatin1String("sqlite");
    if (sqlite) {
        QVERIFY(execOn(journalLocation, "UPDATE measurements SET sx = 0.25, sy = 0.5, spots = 3 WHERE zone = 1"));
        QVERIFY(execOn(journalLocation, "UPDATE measurements SET sx = NULL, sy = NULL, spots = 2 WHERE zone = 3"));
    }
    TJournalDisplacements read;
    QVERIFY2(journal.readDisplacements(run, &read), qPrintable(journal.errorString()));
    const TJournalDisplacements expected = TJournalDisplacements::fromRows(journal.rows(run));
    QCOMPARE(read.images.size(), 12);
    QCOMPARE(read.images.size(), expected.images.size());
    for (qsizetype i = 0; i < read.images.size(); ++i) {
        QCOMPARE(read.images.at(i).number, expected.images.at(i).number);
        QCOMPARE(read.images.at(i).name, expected.images.at(i).name);
        QCOMPARE(read.images.at(i).time, expected.images.at(i).time);
        QCOMPARE(read.images.at(i).time.offsetFromUtc(), expected.images.at(i).time.offsetFromUtc());
    }
    QCOMPARE(read.images.at(0).time.toMSecsSinceEpoch(), times.at(1).toMSecsSinceEpoch());
    // Image 2 had no modification time: the time it was processed stands in.
    QVERIFY(read.images.at(1).time.isValid());
    QCOMPARE(read.zones.size(), 4);
    int values = 0;
    for (qsizetype z = 0; z < read.zones.size(); ++z) {
        const TJournalDisplacements::Zone &zone = read.zones.at(z);
        QCOMPARE(zone.zone, expected.zones.at(z).zone);
        QCOMPARE(zone.dx.size(), 12);
        for (qsizetype i = 0; i < zone.dx.size(); ++i) {
            const double want = expected.zones.at(z).dx.at(i);
            QVERIFY2(std::isnan(want) ? std::isnan(zone.dx.at(i)) : zone.dx.at(i) == want,
                     qPrintable(QStringLiteral("zone %1 image %2").arg(zone.zone).arg(i + 1)));
            QCOMPARE(std::isnan(zone.dy.at(i)), std::isnan(want));
            const float sx = expected.zones.at(z).sx.at(i);
            QVERIFY(std::isnan(sx) ? std::isnan(zone.sx.at(i)) : zone.sx.at(i) == sx);
            QCOMPARE(std::isnan(zone.sy.at(i)), std::isnan(expected.zones.at(z).sy.at(i)));
            QCOMPARE(zone.spots.at(i), expected.zones.at(z).spots.at(i));
            values += std::isnan(want) ? 0 : 1;
        }
    }
    // Zone 2 has no origin and zone 3 is never found (see fakeImage): two zones of values.
    QCOMPARE(values, 24);
    QVERIFY(std::isnan(read.zones.at(1).dx.at(0)));
    QCOMPARE(read.zones.at(0).dx.at(0), 100.125 + 1 / 7.0 - 100);
    if (sqlite) {
        QCOMPARE(read.zones.at(0).sx.at(0), 0.25f);
        QCOMPARE(read.zones.at(0).spots.at(0), qint16(3));
        QVERIFY(std::isnan(read.zones.at(2).sx.at(0)));
        QCOMPARE(read.zones.at(2).spots.at(0), qint16(2));
    }

    TJournalDisplacements none;
    QVERIFY(journal.readDisplacements(run + other + 100, &none));
    QVERIFY(none.images.isEmpty() && none.zones.isEmpty());
}

// A journal whose tables were damaged is reported, naming it; nothing half read is kept.
void TestJournal::displacementsOfAnUnreadableJournal()
{
    const QString file = location(QStringLiteral("sqlite"));
    TJournal journal(file);
    TJournal::RunStart start;
    start.kind = QStringLiteral("cli");
    start.zones = {QRect(0, 0, 10, 10)};
    start.origins = {QPointF(1, 1)};
    const qint64 run = journal.beginRun(start);
    QVERIFY(journal.recordImage(run, fakeImage(QStringLiteral("a.bmp"), 1, 1, start.origins)));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("ALTER TABLE measurements RENAME COLUMN dx TO gone")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
    TJournalDisplacements read;
    QVERIFY(!journal.readDisplacements(run, &read));
    QVERIFY(read.images.isEmpty());
    QVERIFY2(journal.errorString().contains(QDir::toNativeSeparators(file)) && journal.errorString().contains("dx"),
             qPrintable(journal.errorString()));
}

void TestJournal::journalTimes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("time");
    const QDateTime moscow(QDate(2026, 3, 1), QTime(12, 0, 5, 250), Qt::OffsetFromUTC, 3 * 3600);
    QTest::newRow("as written") << QByteArray("2026-03-01T12:00:05.250+03:00") << moscow;
    QTest::newRow("west of Greenwich") << QByteArray("2026-02-28T23:30:05.250-09:30")
                                       << QDateTime(QDate(2026, 2, 28), QTime(23, 30, 5, 250), Qt::OffsetFromUTC, -(9 * 3600 + 1800));
    QTest::newRow("leap day") << QByteArray("2028-02-29T00:00:00.000+00:00")
                              << QDateTime(QDate(2028, 2, 29), QTime(0, 0), Qt::UTC);
    QTest::newRow("other ISO form") << QByteArray("2026-03-01T09:00:05.250Z")
                                    << QDateTime(QDate(2026, 3, 1), QTime(9, 0, 5, 250), Qt::UTC);
    QTest::newRow("no such day") << QByteArray("2026-02-30T12:00:05.250+03:00") << QDateTime();
    QTest::newRow("garbage") << QByteArray("2026-03-01T12:0x:05.250+03:00") << QDateTime();
    QTest::newRow("empty") << QByteArray() << QDateTime();
}

void TestJournal::journalTimes()
{
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, time);
    const QDateTime parsed = DisplacementReader::parseTime(text.constData(), text.size());
    QCOMPARE(parsed.isValid(), time.isValid());
    if (time.isValid()) {
        QCOMPARE(parsed.toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
        QCOMPARE(parsed.offsetFromUtc(), time.offsetFromUtc());
        QCOMPARE(parsed, QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs));
    }
}

// A run's record says which centre weighting made its numbers.
void TestJournal::settingsInForceNameTheCentreWeighting()
{
    TParameters params;
    QVERIFY(TJournalRecorder::settingsText(params).contains(QStringLiteral("\nCentroidWeighting=0\n")));
    params.CentroidWeighting = TParameters::WeightAboveThreshold;
    QVERIFY(TJournalRecorder::settingsText(params).contains(QStringLiteral("\nCentroidWeighting=1\n")));
    params.CentroidWindow = true;
    QVERIFY(TJournalRecorder::settingsText(params).contains(QStringLiteral("\nCentroidWindow=1\n")));
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"

// The journal's schema: version 2 made from a version-1 journal in one
// transaction (times in UTC or as timestamptz, the spot's columns, the
// indexes), readers that never write, and journals this program cannot read.
#include "JournalExport.h"
#include "JournalLocation.h"
#include "JournalSchema.h"
#include "PostgresForTests.h"
#include "TJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <cmath>

namespace {

// A connection of the test's own to a journal, closed and removed at the end.
class Direct
{
public:
    explicit Direct(const QString &location)
    {
        const JournalLocation where = JournalLocation::parse(location);
        QSqlDatabase db = QSqlDatabase::addDatabase(where.postgres ? "QPSQL" : "QSQLITE", m_name);
        if (where.postgres) {
            db.setHostName(where.host);
            db.setUserName(where.user);
            db.setDatabaseName(where.database);
        } else {
            db.setDatabaseName(where.file);
        }
        m_open = db.open();
    }
    ~Direct()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    // The first column of the first row, or an invalid value with a warning.
    QVariant value(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql) || !query.next()) {
            qWarning("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
            return {};
        }
        return query.value(0);
    }
    bool exec(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        const bool done = query.exec(sql);
        if (!done)
            qWarning("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return done;
    }

private:
    QString m_name = QUuid::createUuid().toString();
    bool m_open = false;
};

// A version-1 journal with one run of one image whose times carry +03:00.
bool makeVersion1(Direct &db, bool postgres)
{
    const JournalSchema::Migration &first = JournalSchema::migrations().first();
    for (const QString &statement : JournalSchema::statementsFor(first, postgres)) {
        if (!db.exec(statement))
            return false;
    }
    return db.exec("CREATE TABLE schema_version (version INTEGER NOT NULL)")
        && db.exec("INSERT INTO schema_version (version) VALUES (1)")
        && db.exec("INSERT INTO runs (kind, base, station, started_at, ended_at) VALUES "
                   "('watch', '/w/work_0001', 'north', '2026-03-01T12:00:05.250+03:00', '2026-03-01T13:00:00.000+03:00')")
        && db.exec("INSERT INTO run_zones VALUES (1, 1, 0, 0, 19, 31, 2, 2)")
        && db.exec("INSERT INTO images (run_id, number, path, name, modified_at, size, processed_at, fate) VALUES "
                   "(1, 1, '/b/a.bmp', 'a.bmp', '2026-03-01T12:00:00.000+03:00', 10, "
                   "'2026-03-01T12:00:06.500+03:00', 'processed')")
        && db.exec("INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, threshold, area, mean) "
                   "VALUES (1, 1, 1, 3, 2, 1, 0, 200, 150, 9, 200)")
        && db.exec("INSERT INTO events (run_id, at, severity, source, text) VALUES "
                   "(1, '2026-02-28T23:30:00.000-01:00', 'warning', 'run', 'x')");
}

// A database of its own on the suite's server, for a journal made from scratch.
QString freshPostgres()
{
    const QString server = testPostgres();
    Direct admin(server);
    const QString name = QStringLiteral("kelvarin_schema_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!admin.exec(QStringLiteral("CREATE DATABASE ") + name))
        return {};
    QString location = server;
    return location.replace(QStringLiteral("/kelvarin_test"), QLatin1Char('/') + name);
}

} // namespace

class TestJournalSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void migratesVersion1_data();
    void migratesVersion1();
    void readerLeavesAnOldJournalAsItIs();
    void newerJournalRefused_data();
    void newerJournalRefused();
    void readerLeavesNoFilesBehind();
    void damagedJournalNamedSo();
    void danglingLinkNotFollowed();
};

void TestJournalSchema::migratesVersion1_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgres") << "postgres";
}

void TestJournalSchema::migratesVersion1()
{
    QFETCH(QString, kind);
    const bool postgres = kind == QLatin1String("postgres");
    QTemporaryDir dir;
    if (postgres)
        KELVARIN_NEED_SERVER(testPostgres());
    const QString location = postgres ? freshPostgres() : dir.filePath("old.sqlite");
    QVERIFY(!location.isEmpty());
    {
        Direct db(location);
        QVERIFY(db.isOpen());
        QVERIFY(makeVersion1(db, postgres));
    }
    TJournal journal(location);
    QVERIFY2(journal.open(), qPrintable(journal.errorString()));
    QCOMPARE(journal.schemaVersion(), 2);
    // The same moments, now in UTC: text order is time order on SQLite.
    const QList<TJournalRun> runs = journal.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().start, QDateTime(QDate(2026, 3, 1), QTime(9, 0, 5, 250), Qt::UTC));
    const QList<TJournalRow> rows = journal.rows(1);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().imageTime, QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC));
    QCOMPARE(rows.first().processedAt, QDateTime(QDate(2026, 3, 1), QTime(9, 0, 6, 500), Qt::UTC));
    Direct db(location);
    if (postgres) {
        QCOMPARE(db.value("SELECT COUNT(*) FROM information_schema.columns WHERE data_type = "
                          "'timestamp with time zone' AND table_name IN ('runs', 'images', 'events')").toInt(), 5);
        QCOMPARE(db.value("SELECT COUNT(*) FROM pg_indexes WHERE indexname IN "
                          "('images_run_number', 'images_time', 'runs_station')").toInt(), 3);
        QVERIFY(db.value("SELECT at = '2026-03-01T00:30:00Z'::timestamptz FROM events").toBool());
    } else {
        QCOMPARE(db.value("SELECT started_at || ' ' || ended_at FROM runs").toString(),
                 QStringLiteral("2026-03-01T09:00:05.250+00:00 2026-03-01T10:00:00.000+00:00"));
        QCOMPARE(db.value("SELECT at FROM events").toString(), QStringLiteral("2026-03-01T00:30:00.000+00:00"));
        QCOMPARE(db.value("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                          "('images_run_number', 'images_time', 'runs_station')").toInt(), 3);
    }
    // The spot's figures: empty until a program that measures them writes them.
    QVERIFY(db.value("SELECT COUNT(*) FROM measurements WHERE spots IS NULL AND sx IS NULL AND sy IS NULL")
                .toInt() == 1);
    // A second opening finds the schema done.
    TJournal again(location);
    QVERIFY(again.open());
    QCOMPARE(db.value("SELECT COUNT(*) FROM schema_version").toInt(), 2);
}

void TestJournalSchema::readerLeavesAnOldJournalAsItIs()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("old.sqlite");
    {
        Direct db(file);
        QVERIFY(makeVersion1(db, false));
    }
    TJournal reader(file, TJournal::Access::Read);
    QVERIFY2(reader.open(), qPrintable(reader.errorString()));
    QCOMPARE(reader.schemaVersion(), 1);
    QList<TJournalRow> last;
    QVERIFY(reader.lastImageRows(1, 0, &last));
    QCOMPARE(last.size(), 1);
    QCOMPARE(last.first().imageTime, QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC));
    QCOMPARE(last.first().station, QStringLiteral("north"));
    QVERIFY(last.first().hasOrigin);
    // No spot figures in schema 1: the export leaves their fields empty.
    QVERIFY(!last.first().hasUncertainty());
    QCOMPARE(last.first().spots, -1);
    QByteArray csv;
    QString error;
    QVERIFY2(JournalExport::write(reader, 1, JournalExport::Format::Csv,
                                  [&csv](const QByteArray &piece) { csv += piece; return true; }, &error),
             qPrintable(error));
    QVERIFY2(csv.endsWith(",9,200,200,150,,,\r\n"), csv.constData());
    // The chart's reading too.
    TJournalDisplacements chart;
    QVERIFY2(reader.readDisplacements(1, &chart), qPrintable(reader.errorString()));
    QCOMPARE(chart.zones.size(), 1);
    QCOMPARE(chart.zones.first().dx, QList<double>{1.0});
    QVERIFY(std::isnan(chart.zones.first().sx.first()));
    QCOMPARE(chart.zones.first().spots.first(), qint16(-1));
}

void TestJournalSchema::newerJournalRefused_data()
{
    QTest::addColumn<bool>("reading");
    QTest::newRow("writer") << false;
    QTest::newRow("reader") << true;
}

void TestJournalSchema::newerJournalRefused()
{
    QFETCH(bool, reading);
    QTemporaryDir dir;
    const QString file = dir.filePath("new.sqlite");
    {
        TJournal journal(file);
        QVERIFY(journal.open());
    }
    {
        Direct db(file);
        QVERIFY(db.exec("INSERT INTO schema_version (version) VALUES (3)"));
    }
    TJournal journal(file, reading ? TJournal::Access::Read : TJournal::Access::Write);
    QVERIFY(!journal.open());
    QCOMPARE(journal.errorString(),
             QStringLiteral("Журнал измерений %1: не открывается: он записан более новой версией программы (схема 3, "
                            "программа знает до 2)").arg(file));
}

// A reader after the writer: no log or index file left, the journal unchanged.
void TestJournalSchema::readerLeavesNoFilesBehind()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("j.sqlite");
    {
        TJournal journal(file);
        QVERIFY(journal.open());
        TJournal::RunStart run;
        run.kind = "cli";
        QVERIFY(journal.beginRun(run) > 0);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"j.sqlite"});
    const QByteArray before = QFileInfo(file).lastModified().toString(Qt::ISODateWithMs).toUtf8();
    {
        TJournal reader(file, TJournal::Access::Read);
        QVERIFY(reader.open());
        QCOMPARE(reader.runs().size(), 1);
        TJournalDisplacements displacements;
        QVERIFY(reader.readDisplacements(1, &displacements));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"j.sqlite"});
    QCOMPARE(QFileInfo(file).lastModified().toString(Qt::ISODateWithMs).toUtf8(), before);
    // A reader never creates a journal.
    TJournal missing(dir.filePath("none.sqlite"), TJournal::Access::Read);
    QVERIFY(!missing.open());
    QVERIFY(!QFile::exists(dir.filePath("none.sqlite")));
}

void TestJournalSchema::damagedJournalNamedSo()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("j.sqlite");
    QFile garbage(file);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();
    TJournal reader(file, TJournal::Access::Read);
    QVERIFY(!reader.open());
    QVERIFY2(reader.errorString().startsWith(
                 QStringLiteral("Журнал измерений %1: поврежден или не является журналом измерений: ").arg(file)),
             qPrintable(reader.errorString()));
}

void TestJournalSchema::danglingLinkNotFollowed()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("elsewhere.sqlite");
    const QString link = dir.filePath("kelvarin2-journal.sqlite");
    QVERIFY(QFile::link(target, link));
    TJournal journal(link);
    QVERIFY(!journal.open());
    QVERIFY2(journal.errorString().contains(QStringLiteral("ссылка на несуществующий файл")),
             qPrintable(journal.errorString()));
    QVERIFY(!QFile::exists(target));
}

QTEST_GUILESS_MAIN(TestJournalSchema)
#include "tst_journalschema.moc"

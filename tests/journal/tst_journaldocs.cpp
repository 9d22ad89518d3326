// docs/journal.md against the real thing: every column of every table is
// described, and every SQL statement in it runs on the suite's PostgreSQL
// server over a journal of two stations, the reading ones under a role
// granted only SELECT.
#include "JournalLocation.h"
#include "PostgresForTests.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

namespace {

QString documentText()
{
    QFile file(QStringLiteral(KELVARIN_TEST_DATA "/../../docs/journal.md"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList sqlBlocks(const QString &text)
{
    QStringList blocks;
    static const QRegularExpression block(QStringLiteral("```sql\\n(.*?)```"),
                                          QRegularExpression::DotMatchesEverythingOption);
    for (auto it = block.globalMatch(text); it.hasNext();)
        blocks << it.next().captured(1).trimmed();
    return blocks;
}

// A connection of the test's own, as `user` where one is given.
struct Connection
{
    QString name = QUuid::createUuid().toString();
    explicit Connection(const JournalLocation &where, const QString &user = QString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(where.host);
        db.setUserName(user.isEmpty() ? where.user : user);
        db.setDatabaseName(where.database);
        db.open();
    }
    ~Connection()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlQuery query() const { return QSqlQuery(QSqlDatabase::database(name, false)); }
};

// A run of `images` images of two zones at a station, the last one now.
void recordRun(TJournal &journal, const QString &station, int images)
{
    TJournal::RunStart start;
    start.kind = QStringLiteral("watch");
    start.station = station;
    start.zones = {QRect(0, 0, 20, 20), QRect(20, 0, 20, 20)};
    start.origins = {QPointF(10, 10), QPointF(30, 10)};
    const qint64 run = journal.beginRun(start);
    for (int n = 1; n <= images; ++n) {
        TRecordedImage image;
        image.path = QStringLiteral("/b/%1-%2.bmp").arg(station).arg(n);
        image.number = n;
        image.modified = QDateTime::currentDateTimeUtc().addSecs(-600 * (images - n));
        image.processedAt = image.modified.addSecs(2);
        for (int zone = 0; zone < 2; ++zone) {
            TZoneMeasurement m;
            m.found = true;
            m.x = 10 + 20 * zone + n;
            m.y = 10;
            image.zones << m;
        }
        journal.recordImage(run, image, start.origins);
    }
    journal.endRun(run, QStringLiteral("/w/%1").arg(station));
}

} // namespace

class TestJournalDocs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyColumnDescribed();
    void statementsRun();
};

void TestJournalDocs::everyColumnDescribed()
{
    const QString text = documentText();
    QVERIFY(!text.isEmpty());
    QTemporaryDir dir;
    TJournal journal(dir.filePath(QStringLiteral("j.sqlite")));
    QVERIFY(journal.open());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("columns"));
    {
        db.setDatabaseName(dir.filePath(QStringLiteral("j.sqlite")));
        QVERIFY(db.open());
        QSqlQuery tables(db);
        QVERIFY(tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                           "AND name NOT LIKE 'sqlite_%'")));
        int columns = 0;
        while (tables.next()) {
            const QString table = tables.value(0).toString();
            QVERIFY2(text.contains(QStringLiteral("### `%1`").arg(table)), qPrintable(table));
            QSqlQuery info(db);
            QVERIFY(info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)));
            while (info.next()) {
                const QString column = info.value(1).toString();
                // A row of its own, or one it shares ("`x`, `y`").
                const QRegularExpression row(QStringLiteral("\\n\\|[^\\n]*`%1`[^\\n]*\\|").arg(column));
                QVERIFY2(row.match(text).hasMatch(), qPrintable(table + '.' + column));
                ++columns;
            }
        }
        QVERIFY(columns > 40);
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("columns"));
}

void TestJournalDocs::statementsRun()
{
    const QString server = testPostgres();
    KELVARIN_NEED_SERVER(server);
    const JournalLocation admin = JournalLocation::parse(server);
    const QString database = QStringLiteral("kelvarin_docs_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    {
        Connection connection(admin);
        QVERIFY(connection.query().exec(QStringLiteral("CREATE DATABASE ") + database));
    }
    QString location = server;
    location.replace(QStringLiteral("/kelvarin_test"), QLatin1Char('/') + database);
    {
        TJournal journal(location);
        QVERIFY2(journal.open(), qPrintable(journal.errorString()));
        recordRun(journal, QStringLiteral("A"), 3);
        recordRun(journal, QStringLiteral("B"), 12);
    }
    JournalLocation where = JournalLocation::parse(location);
    const QString role = QStringLiteral("reader_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    const QStringList blocks = sqlBlocks(documentText());
    QCOMPARE(blocks.size(), 4);
    Connection owner(where);
    for (QString statement : blocks.first().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        statement.replace(QStringLiteral("grafana"), role);
        QSqlQuery query = owner.query();
        QVERIFY2(query.exec(statement), qPrintable(statement + ": " + query.lastError().text()));
    }
    // The reading statements as the role that may only read.
    Connection reader(where, role);
    QList<int> counts;
    for (QString statement : blocks.mid(1)) {
        statement.replace(QRegularExpression(QStringLiteral("\\$__timeFilter\\(([^)]*)\\)")),
                          QStringLiteral("\\1 BETWEEN now() - interval '1 day' AND now()"));
        QSqlQuery query = reader.query();
        QVERIFY2(query.exec(statement), qPrintable(statement + ": " + query.lastError().text()));
        int count = 0;
        while (query.next())
            ++count;
        counts << count;
    }
    // B's last hour: its images of 0, 10, ..., 50 minutes ago, two zones each.
    QCOMPARE(counts.at(0), 6 * 2);
    QCOMPARE(counts.at(1), (3 + 12) * 2);
    QCOMPARE(counts.at(2), 2);
    QVERIFY(!reader.query().exec(QStringLiteral("DELETE FROM events")));
}

QTEST_GUILESS_MAIN(TestJournalDocs)
#include "tst_journaldocs.moc"

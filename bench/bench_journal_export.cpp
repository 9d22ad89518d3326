// Export of a journal of 1,000,000 measurements (62,500 images of 16 zones):
// fills a SQLite journal (or the PostgreSQL database given) once, then times
// the CSV and the JSON export of the run into a file.
//
//   bench_journal_export [JOURNAL_FILE_OR_URL]
#include "IsoTime.h"
#include "JournalExport.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariant>

#include <cstdio>

static const int Images = qEnvironmentVariableIsSet("BENCH_IMAGES") ? qEnvironmentVariableIntValue("BENCH_IMAGES") : 62500;
static constexpr int Zones = 16;

// Bulk rows straight into the journal's tables, in one transaction: filling is not what is measured.
static bool fill(const QString &location, qint64 runId)
{
    const JournalLocation where = JournalLocation::parse(location);
    QSqlDatabase db = QSqlDatabase::addDatabase(where.postgres ? "QPSQL" : "QSQLITE", "fill");
    if (where.postgres) {
        db.setHostName(where.host);
        if (where.port > 0)
            db.setPort(where.port);
        db.setUserName(where.user);
        db.setDatabaseName(where.database);
    } else {
        db.setDatabaseName(where.file);
    }
    if (!db.open() || !db.transaction())
        return false;
    QSqlQuery image(db), zone(db);
    image.prepare("INSERT INTO images (run_id, number, path, name, modified_at, size, processed_at, fate) "
                  "VALUES (?, ?, ?, ?, ?, ?, ?, 'processed') RETURNING id");
    zone.prepare("INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, threshold, area, mean) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QString time = IsoTime::utcText(QDateTime::currentDateTime());
    for (int i = 1; i <= Images; ++i) {
        const QString name = QStringLiteral("frame_%1.bmp").arg(i, 6, 10, QLatin1Char('0'));
        for (const QVariant &v : {QVariant(runId), QVariant(i), QVariant("/station/" + name), QVariant(name),
                                  QVariant(time), QVariant(15116598), QVariant(time)})
            image.addBindValue(v);
        if (!image.exec() || !image.next())
            return false;
        const qint64 id = image.value(0).toLongLong();
        image.finish();
        for (int k = 1; k <= Zones; ++k) {
            const bool found = (i + k) % 50 != 0;
            const double x = 100 + 150 * k + i * 1e-5, y = 80 + 110 * k - i * 2e-5;
            for (const QVariant &v : {QVariant(id), QVariant(k), QVariant(found ? 1 : 0), QVariant(x), QVariant(y),
                                      QVariant(x - 100 - 150 * k), QVariant(y - 80 - 110 * k), QVariant(251.0),
                                      QVariant(188.25), QVariant(410 + k), QVariant(214.578125)})
                zone.addBindValue(v);
            if (!zone.exec())
                return false;
        }
    }
    return db.commit();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("bench-journal.sqlite");
    qint64 runId = 0;
    {
        TJournal journal(location);
        TJournal::RunStart start;
        start.kind = "bench";
        start.base = "/station/bench_0001";
        runId = journal.beginRun(start);
        if (runId == 0) {
            out << journal.errorString() << Qt::endl;
            return 1;
        }
    }
    QElapsedTimer timer;
    timer.start();
    if (!fill(location, runId)) {
        out << "filling failed" << Qt::endl;
        return 1;
    }
    out << "filled " << Images * Zones << " measurements in " << timer.elapsed() / 1000.0 << " s" << Qt::endl;
    QSqlDatabase::removeDatabase("fill");

    TJournal journal(location);
    timer.restart();
    qint64 count = 0;
    journal.forEachRow(runId, [&count](const TJournalRow &) { ++count; });
    out << "reading " << count << " rows without formatting: " << timer.elapsed() / 1000.0 << " s" << Qt::endl;
    timer.restart();
    qint64 bytes = 0;
    JournalExport::write(journal, runId, JournalExport::Format::Csv,
                         [&bytes](const QByteArray &piece) { bytes += piece.size(); return true; }, nullptr);
    out << "CSV  formatted without writing: " << timer.elapsed() / 1000.0 << " s" << Qt::endl;
    for (const auto format : {JournalExport::Format::Csv, JournalExport::Format::Json}) {
        const QString file = dir.filePath(format == JournalExport::Format::Csv ? "export.csv" : "export.json");
        QString error;
        timer.restart();
        if (!JournalExport::writeFile(journal, runId, format, file, &error)) {
            out << error << Qt::endl;
            return 1;
        }
        out << (format == JournalExport::Format::Csv ? "CSV " : "JSON") << " export of " << Images * Zones
            << " measurements: " << timer.elapsed() / 1000.0 << " s, " << QFileInfo(file).size() / 1048576.0
            << " MB" << Qt::endl;
    }
    return 0;
}

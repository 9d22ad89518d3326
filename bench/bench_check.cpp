// check on a run of 100,000 images of 16 zones: fills a SQLite journal (or
// the PostgreSQL database given) once, then times the tool's check of the
// station's newest run, which reads only the run's last image, and prints
// the peak memory of the process.
//
//   bench_check [JOURNAL_FILE_OR_URL]
#include "IsoTime.h"
#include "JournalLocation.h"
#include "JournalSource.h"
#include "MonitoringCheck.h"
#include "TJournal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariant>

#include <sys/resource.h>

static const int Images = qEnvironmentVariableIsSet("BENCH_IMAGES") ? qEnvironmentVariableIntValue("BENCH_IMAGES") : 100000;
static constexpr int Zones = 16;

// Bulk rows straight into the journal's tables, in one transaction: filling is not what is measured.
static bool fill(const QString &location, qint64 runId)
{
    const JournalLocation where = JournalLocation::parse(location);
    QSqlDatabase db = QSqlDatabase::addDatabase(where.postgres ? "QPSQL" : "QSQLITE", "fill");
    if (where.postgres) {
        db.setHostName(where.host);
        db.setUserName(where.user);
        db.setDatabaseName(where.database);
    } else {
        db.setDatabaseName(where.file);
    }
    if (!db.open() || !db.transaction())
        return false;
    QSqlQuery image(db), zone(db);
    image.prepare("INSERT INTO images (run_id, number, path, name, modified_at, size, processed_at, fate) "
                  "VALUES (?, ?, ?, ?, ?, 1000, ?, 'processed') RETURNING id");
    zone.prepare("INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, threshold, area, mean) "
                 "VALUES (?, ?, 1, ?, ?, ?, 0, 250, 180, 400, 210)");
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-Images);
    for (int i = 1; i <= Images; ++i) {
        const QString name = QStringLiteral("frame_%1.bmp").arg(i, 6, 10, QLatin1Char('0'));
        const QString time = IsoTime::utcText(start.addSecs(i));
        for (const QVariant &v : {QVariant(runId), QVariant(i), QVariant("/s/" + name), QVariant(name), QVariant(time),
                                  QVariant(time)})
            image.addBindValue(v);
        if (!image.exec() || !image.next())
            return false;
        const qint64 id = image.value(0).toLongLong();
        image.finish();
        for (int k = 1; k <= Zones; ++k) {
            for (const QVariant &v : {QVariant(id), QVariant(k), QVariant(100.0 + k + i * 1e-5), QVariant(80.0),
                                      QVariant(i * 1e-5)})
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
    const QString location = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("bench-check.sqlite");
    {
        TJournal journal(location);
        TJournal::RunStart start;
        start.kind = "bench";
        start.station = "bench-station";
        start.settings = "WarningLimit=1\nAlarmLimit=2\n";
        for (int k = 0; k < Zones; ++k) {
            start.zones << QRect(k * 10, 0, 10, 10);
            start.origins << QPointF(100 + k + 1, 80);
        }
        const qint64 runId = journal.beginRun(start);
        QElapsedTimer filling;
        filling.start();
        if (runId == 0 || !fill(location, runId)) {
            out << "filling failed: " << journal.errorString() << Qt::endl;
            return 1;
        }
        out << "filled " << Images << " images of " << Zones << " zones in " << filling.elapsed() / 1000.0 << " s"
            << Qt::endl;
    }
    QSqlDatabase::removeDatabase("fill");
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        QString problem;
        const std::unique_ptr<JournalSource> journal = JournalSource::open(location, &problem);
        MonitoringCheck::Request request;
        request.station = "bench-station";
        request.now = QDateTime::currentDateTime();
        const MonitoringCheck::Result result = MonitoringCheck::run(journal.get(), problem, request);
        out << "check on a run of " << Images << " images: " << timer.nsecsElapsed() / 1e6 << " ms ("
            << result.line.left(40) << "...)" << Qt::endl;
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    out << "peak memory of the process: " << usage.ru_maxrss / 1024.0 << " MB" << Qt::endl;
    return 0;
}

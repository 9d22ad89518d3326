// The displacement chart of 16 zones x 100,000 images read from a real SQLite
// journal, as the user meets it: the window opens the journal, the run is
// chosen and drawn until its first paint is done; then a zoom, a pan, a
// reset, a switch of the quantity and a paint alone. Prints wall and CPU
// time (the whole process). The journal is written once with the journal's
// schema and cached under the build directory (bench-data/). Run under
// xvfb-run or QT_QPA_PLATFORM=offscreen; an argument sets the image count.
#include "ChartBenchData.h"
#include "DisplacementChartView.h"
#include "IsoTime.h"
#include "JournalSource.h"
#include "TDisplacementChartForm.h"
#include "TJournal.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTextStream>
#include <QThread>
#include <QValueAxis>

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <functional>

namespace {

constexpr int Zones = 16;

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double lastCpu = 0;

// Median wall time of the repeats; lastCpu receives the median CPU time.
double medianMs(int repeats, const std::function<void()> &step)
{
    QList<double> times;
    QList<double> cpu;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        const double c = cpuMs();
        timer.start();
        step();
        times << timer.nsecsElapsed() / 1e6;
        cpu << cpuMs() - c;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    lastCpu = cpu.at(cpu.size() / 2);
    return times.at(times.size() / 2);
}

QString figure(double wall)
{
    return QStringLiteral("wall %1 ms, cpu %2 ms").arg(wall, 0, 'f', 1).arg(lastCpu, 0, 'f', 1);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2) : QString();
}

bool check(sqlite3 *db, int rc, QTextStream &out)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    out << "sqlite: " << sqlite3_errmsg(db) << Qt::endl;
    return false;
}

// The images and measurements of a run in one transaction, the columns as
// the journal's writer fills them.
bool bulkInsert(const QString &file, const QList<TJournalRow> &rows, qint64 runId, QTextStream &out)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_stmt *image = nullptr;
    sqlite3_stmt *measurement = nullptr;
    bool ok = check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), out)
           && check(db, sqlite3_prepare_v2(db, "INSERT INTO images (run_id, number, path, name, modified_at, size, "
                                               "processed_at, fate, stored_as, detail) VALUES (?, ?, ?, ?, ?, 1440054, ?, "
                                               "'archived', ?, '')", -1, &image, nullptr), out)
           && check(db, sqlite3_prepare_v2(db, "INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, "
                                               "threshold, area, mean, rejection) VALUES (?, ?, ?, ?, ?, ?, ?, 250, 120, "
                                               "?, 200.5, ?)", -1, &measurement, nullptr), out);
    qint64 imageId = 0;
    int number = -1;
    for (qsizetype i = 0; ok && i < rows.size(); ++i) {
        const TJournalRow &row = rows.at(i);
        if (row.number != number) {
            number = row.number;
            const QByteArray name = row.image.toUtf8();
            const QByteArray path = "/station/buffer/" + name;
            const QByteArray stored = "/station/work/archive.zip:" + name;
            const QByteArray modified = IsoTime::utcText(row.imageTime).toUtf8();
            const QByteArray processed = IsoTime::utcText(row.processedAt).toUtf8();
            sqlite3_reset(image);
            sqlite3_bind_int64(image, 1, runId);
            sqlite3_bind_int(image, 2, row.number);
            sqlite3_bind_text(image, 3, path.constData(), int(path.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(image, 4, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(image, 5, modified.constData(), int(modified.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(image, 6, processed.constData(), int(processed.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(image, 7, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
            ok = check(db, sqlite3_step(image), out);
            imageId = sqlite3_last_insert_rowid(db);
        }
        sqlite3_reset(measurement);
        sqlite3_bind_int64(measurement, 1, imageId);
        sqlite3_bind_int(measurement, 2, row.zone);
        sqlite3_bind_int(measurement, 3, row.found ? 1 : 0);
        for (int column : {4, 5, 6, 7}) {
            const double origin = column % 2 == 0 ? 100.0 * row.zone : 300.0;
            const double value = column == 4 ? row.dx + origin : column == 5 ? row.dy + origin : column == 6 ? row.dx : row.dy;
            if (row.found)
                sqlite3_bind_double(measurement, column, value);
            else
                sqlite3_bind_null(measurement, column);
        }
        sqlite3_bind_int(measurement, 8, row.found ? 42 : 0);
        sqlite3_bind_text(measurement, 9, row.found ? "" : "min_area", -1, SQLITE_STATIC);
        ok = ok && check(db, sqlite3_step(measurement), out);
    }
    sqlite3_finalize(image);
    sqlite3_finalize(measurement);
    ok = ok && check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), out);
    sqlite3_close(db);
    return ok;
}

// A run with its zones and origins through the journal's writer, its images in bulk.
qint64 writeRun(const QString &file, int images, QTextStream &out)
{
    TJournal journal(file);
    TJournal::RunStart start;
    start.kind = QStringLiteral("watch");
    start.base = QStringLiteral("/station/work/bridge");
    for (int z = 1; z <= Zones; ++z) {
        start.zones << QRect(100 * z - 20, 280, 40, 40);
        start.origins << QPointF(100.0 * z, 300.0);
    }
    const qint64 runId = journal.beginRun(start);
    if (runId <= 0) {
        out << journal.errorString() << Qt::endl;
        return 0;
    }
    if (!bulkInsert(file, benchRun(Zones, images, runId), runId, out) || !journal.endRun(runId, start.base))
        return 0;
    return runId;
}

// The journal of the benchmark: made once per image count, a short run
// written after the long one, as a station's journal holds several runs.
QString benchJournal(int images, QTextStream &out)
{
    const QString dir = QStringLiteral(KELVARIN_BENCH_DATA "/charts-%1x%2").arg(Zones).arg(images);
    const QString file = dir + QStringLiteral("/kelvarin2-journal.sqlite");
    if (QFile::exists(file))
        return file;
    QDir().mkpath(dir);
    const QString making = dir + QStringLiteral("/making/kelvarin2-journal.sqlite");
    QDir(dir + QStringLiteral("/making")).removeRecursively();
    QDir().mkpath(dir + QStringLiteral("/making"));
    QElapsedTimer timer;
    timer.start();
    if (writeRun(making, images, out) != 1 || writeRun(making, 1000, out) != 2)
        return {};
    if (!QFile::rename(making, file))
        return {};
    QDir(dir + QStringLiteral("/making")).removeRecursively();
    out << QStringLiteral("journal written: %1 (%2 s)").arg(file).arg(timer.elapsed() / 1000.0, 0, 'f', 1) << Qt::endl;
    return file;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int images = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    const QString file = benchJournal(images, out);
    if (file.isEmpty()) {
        out << "the benchmark's journal could not be written" << Qt::endl;
        return 1;
    }
    out << QStringLiteral("%1 zones x %2 images from %3 (%4 MB); %5 cores, load average %6")
               .arg(Zones)
               .arg(images)
               .arg(file)
               .arg(QFileInfo(file).size() / 1e6, 0, 'f', 0)
               .arg(QThread::idealThreadCount())
               .arg(loadAverage())
        << Qt::endl;

    TDisplacementChartForm form;
    MonitoringSettings settings;
    settings.referenceZones = {1, 2};
    settings.pixelSize = 0.8;
    settings.warningLimit = 1;
    settings.alarmLimit = 2;
    form.setSettings(settings);
    form.resize(1400, 800);
    form.show();
    QApplication::processEvents();
    const auto paint = [&] { form.view()->grab(); };

    // What the user waits for: the window opens the journal and lists its
    // runs, the run is chosen, read, corrected, downsampled and drawn.
    QString listed;
    QString drawn;
    const QString open = figure(medianMs(1, [&] {
        listed = figure(medianMs(1, [&] {
            QString problem;
            form.setJournal(JournalSource::open(file, &problem), problem);
        }));
        drawn = figure(medianMs(1, [&] {
            form.showRun(1);
            paint();
        }));
    }));
    out << QStringLiteral("open the run until its first paint: %1 (journal opened and runs listed: %2; "
                          "run read and drawn: %3); points drawn %4 of %5")
               .arg(open, listed, drawn)
               .arg(form.drawnPointCount())
               .arg(qint64(Zones) * images)
        << Qt::endl;
    // Its parts: reading the journal alone, and the window's part after it.
    QString problem;
    auto journal = JournalSource::open(file, &problem);
    const QString read = figure(medianMs(3, [&] {
        TJournalDisplacements displacements;
        journal->displacements(1, &displacements);
    }));
    const QString again = figure(medianMs(3, [&] {
        form.showRun(1);
        paint();
    }));
    out << QStringLiteral("  of which reading the journal: %1\n  the run again (read, correct, downsample, draw, paint): %2")
               .arg(read, again)
        << Qt::endl;

    form.findChild<QComboBox *>(QStringLiteral("AxisBox"))->setCurrentIndex(1);
    auto *x = qobject_cast<QValueAxis *>(form.xAxis());
    const QString zoom = figure(medianMs(7, [&] {
        form.view()->zoomX((x->min() + x->max()) / 2, 0.5);
        paint();
    }));
    const QString pan = figure(medianMs(7, [&] {
        form.view()->pan((x->max() - x->min()) / 10, 0);
        paint();
    }));
    const QString reset = figure(medianMs(5, [&] {
        form.resetZoom();
        paint();
    }));
    const QString switchComponent = figure(medianMs(5, [&] {
        form.findChild<QComboBox *>(QStringLiteral("ComponentBox"))->setCurrentIndex((form.findChild<QComboBox *>(QStringLiteral("ComponentBox"))->currentIndex() + 1) % 3);
        paint();
    }));
    const QString repaint = figure(medianMs(7, paint));
    out << QStringLiteral("zoom x2 + paint: %1\npan + paint: %2\nreset + paint: %3\n"
                          "switch dx/dy/magnitude (all values again) + paint: %4\npaint alone: %5\nload average now %6")
               .arg(zoom, pan, reset, switchComponent, repaint, loadAverage())
        << Qt::endl;
    return 0;
}

// The displacement chart with 16 zones x 100,000 images: opening a run,
// redrawing after a zoom and a pan, switching the quantity, painting.
// Prints median times; run under xvfb-run or QT_QPA_PLATFORM=offscreen.
#include "ChartBenchData.h"
#include "DisplacementChartView.h"
#include "MemoryJournal.h"
#include "TDisplacementChartForm.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTextStream>
#include <QValueAxis>

#include <algorithm>
#include <ctime>
#include <functional>

// CPU time of this thread: what the chart costs, whatever else the machine runs.
static double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double lastCpu = 0;

// Median wall time of the repeats; lastCpu receives the median CPU time.
static double medianMs(int repeats, const std::function<void()> &step)
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

static QString figure(double wall)
{
    return QStringLiteral("%1 ms (cpu %2 ms)").arg(wall, 0, 'f', 1).arg(lastCpu, 0, 'f', 1);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int zones = 16;
    const int images = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    auto journal = std::make_unique<MemoryJournal>();
    journal->runList = {TJournalRun{1, QStringLiteral("watch"), QStringLiteral("b"), QDateTime::currentDateTime(), {}, images, {}}};
    journal->rowList = benchRun(zones, images);
    out << QStringLiteral("rows generated: %1 (%2 ms)").arg(journal->rowList.size()).arg(timer.elapsed()) << Qt::endl;

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

    auto *journalPointer = journal.get();
    form.setJournal(std::move(journal));
    const auto paint = [&] { form.view()->grab(); };
    // The stand-in journal copies the run's rows as a real one reads them:
    // timed apart, since it is the journal's part.
    const QString copyRows = figure(medianMs(1, [&] { const QList<TJournalRow> copy = journalPointer->rows(1); }));
    out << QStringLiteral("journal stand-in hands over the rows (copy of %1 rows): %2").arg(zones * images).arg(copyRows)
        << Qt::endl;
    const QString open = figure(medianMs(1, [&] { form.showRun(1); }));
    const QString firstPaint = figure(medianMs(1, paint));
    out << QStringLiteral("open run (rows from the journal, correct, downsample, draw series): %1; first paint %2; "
                          "points drawn %3")
               .arg(open, firstPaint).arg(form.drawnPointCount())
        << Qt::endl;

    form.AxisBox->setCurrentIndex(1);
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
        form.ComponentBox->setCurrentIndex((form.ComponentBox->currentIndex() + 1) % 3);
        paint();
    }));
    const QString repaint = figure(medianMs(7, paint));
    out << QStringLiteral("zoom x2 + paint: %1\npan + paint: %2\nreset + paint: %3\n"
                          "switch dx/dy/magnitude (all values again) + paint: %4\npaint alone: %5")
               .arg(zoom, pan, reset, switchComponent, repaint)
        << Qt::endl;
    return 0;
}

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
#include <functional>

static double medianMs(int repeats, const std::function<void()> &step)
{
    QList<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
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
    journal->runList = {TJournalRun{1, QStringLiteral("watch"), QStringLiteral("b"), QDateTime::currentDateTime(), {}, images}};
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
    form.setJournal(std::move(journal));

    const auto paint = [&] { form.view()->grab(); };
    double open = 0;
    timer.restart();
    form.showRun(1);
    open = timer.nsecsElapsed() / 1e6;
    const double firstPaint = medianMs(1, paint);
    out << QStringLiteral("open run (read %1 rows, correct, downsample, draw series): %2 ms; first paint %3 ms; points drawn %4")
               .arg(zones * images).arg(open, 0, 'f', 1).arg(firstPaint, 0, 'f', 1).arg(form.drawnPointCount())
        << Qt::endl;

    form.AxisBox->setCurrentIndex(1);
    auto *x = qobject_cast<QValueAxis *>(form.xAxis());
    const double zoom = medianMs(7, [&] {
        form.view()->zoomX((x->min() + x->max()) / 2, 0.5);
        paint();
    });
    const double pan = medianMs(7, [&] {
        form.view()->pan((x->max() - x->min()) / 10, 0);
        paint();
    });
    const double reset = medianMs(5, [&] {
        form.resetZoom();
        paint();
    });
    const double switchComponent = medianMs(5, [&] {
        form.ComponentBox->setCurrentIndex((form.ComponentBox->currentIndex() + 1) % 3);
        paint();
    });
    const double repaint = medianMs(7, paint);
    out << QStringLiteral("zoom x2 + paint: %1 ms; pan + paint: %2 ms; reset + paint: %3 ms; "
                          "switch dx/dy/magnitude (all values again) + paint: %4 ms; paint alone: %5 ms")
               .arg(zoom, 0, 'f', 1).arg(pan, 0, 'f', 1).arg(reset, 0, 'f', 1).arg(switchComponent, 0, 'f', 1)
               .arg(repaint, 0, 'f', 1)
        << Qt::endl;
    return 0;
}

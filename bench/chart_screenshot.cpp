// A picture of the displacement chart for looking at it by eye (under
// xvfb-run): 1000 images of six zones with limits, zoomed into a region;
// "band" zooms closer and shades the points' uncertainty around dx.
//   chart_screenshot OUTPUT.png [full|zoomed|band]
#include "ChartBenchData.h"
#include "DisplacementChartView.h"
#include "MemoryJournal.h"
#include "TDisplacementChartForm.h"

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <QValueAxis>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("chart.png");
    const bool zoomed = argc <= 2 || QString::fromLatin1(argv[2]) != QLatin1String("full");
    const bool band = argc > 2 && QString::fromLatin1(argv[2]) == QLatin1String("band");
    auto journal = std::make_unique<MemoryJournal>();
    journal->runList = {TJournalRun{1, QStringLiteral("watch"), QStringLiteral("b"),
                                    QDateTime(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC), {}, 1000, {}}};
    journal->rowList = benchRun(6, 1000);
    for (TJournalRow &row : journal->rowList) {
        row.sx = 0.02 * row.zone;
        row.sy = 0.03 * row.zone;
        row.spots = row.number % 50 == 0 ? 2 : 1;
    }

    TDisplacementChartForm form;
    MonitoringSettings settings;
    settings.referenceZones = {1, 2};
    settings.pixelSize = 0.8;
    settings.warningLimit = 1;
    settings.alarmLimit = 2;
    settings.zoneAlarmLimits = {{4, 1.5}};
    form.setSettings(settings);
    form.setJournal(std::move(journal));
    form.resize(1400, 800);
    form.show();
    form.showRun(1);
    QTimer::singleShot(300, &form, [&] {
        if (band) {
            // Every change of what is drawn draws the whole run again: these come before the zoom.
            form.findChild<QComboBox *>(QStringLiteral("ComponentBox"))->setCurrentIndex(0);
            form.findChild<QCheckBox *>(QStringLiteral("ErrorBandBox"))->setChecked(true);
        }
        if (zoomed) {
            // Images 600 to 900: zone 3 passes its limits, zone 5 is lost for a while.
            form.findChild<QComboBox *>(QStringLiteral("AxisBox"))->setCurrentIndex(1);
            auto *x = qobject_cast<QValueAxis *>(form.xAxis());
            x->setRange(600, band ? 660 : 900);
            form.view()->zoomX(band ? 630 : 750, 1.0); // samples the new range
        }
        QApplication::processEvents();
        form.grab().save(output);
        app.quit();
    });
    return app.exec();
}

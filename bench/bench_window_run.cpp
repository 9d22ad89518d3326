// Time of "Найти координаты" in the main window with "Показывать" on, over all
// bitmap images of a directory: the window is opened once, then the run is
// repeated and the median run time printed (the window's own start-up is not
// part of it).
//
//   bench_window_run CONFIG_DIR WORK_DIR ZONE_FILE RUNS
//
// Writes the settings (defaults, with WORK_DIR, ZONE_FILE, visualisation and
// saving of the results on) to CONFIG_DIR/kelvarin2/Kelvarin2.ini, which the
// headless tool can then be given, and runs the window on every image of
// WORK_DIR; results and the journal go there too.
// Prints "window_ms_median=<ms> images=<n> status=<the run's last status text>".
// Runs offscreen unless a display is there.

#include "FileListBox.h"
#include "TMainForm.h"
#include "TIssue.h"
#include "TParameters.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

namespace {

struct QuietReporter : TIssueSink
{
    void report(const TIssue &) override {}
};

bool writeSettings(const QString &configDir, const QString &workDir, const QString &zoneFile)
{
    TParameters params;
    params.WorkDir = workDir;
    params.ZonesFileName = zoneFile;
    params.NeedVisualization = true;
    params.ResAutoSave = true;
    QuietReporter reporter;
    QDir().mkpath(configDir + QLatin1String("/kelvarin2"));
    return WriteParameters(configDir + QLatin1String("/kelvarin2/Kelvarin2.ini"), params, reporter);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc != 5) {
        QTextStream(stderr) << "usage: bench_window_run CONFIG_DIR WORK_DIR ZONE_FILE RUNS" << Qt::endl;
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", argv[1]);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (!writeSettings(args.at(1), args.at(2), args.at(3))) {
        QTextStream(stderr) << "bench_window_run: cannot write the settings" << Qt::endl;
        return 1;
    }
    const int runs = std::max(1, args.at(4).toInt());

    TMainForm form;
    form.resize(1280, 900);
    form.show();
    form.endSplash();
    QCoreApplication::processEvents();

    int processed = 0;
    QObject::connect(&form, &TMainForm::imageProcessed, &form, [&](const QString &, int) { ++processed; });
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        processed = 0;
        form.findChild<FileListBox *>(QStringLiteral("listFiles"))->selectAll();
        QElapsedTimer timer;
        timer.start();
        form.startProcessing();
        QCoreApplication::processEvents();
        times << double(timer.nsecsElapsed()) / 1e6;
    }
    std::sort(times.begin(), times.end());
    QTextStream(stdout) << "window_ms_median=" << QString::number(times.at(times.size() / 2), 'f', 2)
                        << " images=" << processed << " status=" << form.statusText(0).trimmed() << Qt::endl;
    return 0;
}

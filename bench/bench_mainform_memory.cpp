// Memory of the main window over a long run: generates a series of camera
// images with light targets, runs "Найти координаты" over all of them in the
// real window and prints the resident memory after every 10 images, then does
// the same run once more. Resident memory should level off after the first
// images and stay flat from image to image and from run to run.
//
//   bench_mainform_memory [COUNT [WIDTH HEIGHT]]     (defaults 100, 1296 x 972)
//
// Runs offscreen unless a display is there.

#include "SampleScene.h"
#include "AtomicFile.h"
#include "FileListBox.h"
#include "TMainForm.h"
#include "TIssue.h"
#include "TParameters.h"
#include "ZoneFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

struct QuietReporter : TIssueSink
{
    void report(const TIssue &) override {}
};

// Resident set size in kB, from the kernel's view of this process.
long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

bool prepare(const QString &root, int count, int width, int height)
{
    const QString images = root + QLatin1String("/images");
    QDir().mkpath(images);
    SampleScene scene(width, height, 12, 2026);
    for (int i = 0; i < count; ++i)
        BmpWriter::write(images + QStringLiteral("/frame_%1.bmp").arg(i + 1, 4, 10, QLatin1Char('0')),
                         scene.image(i, 24));
    const QString zones = root + QLatin1String("/zones.zon");
    AtomicFile::writeOrThrow(zones, ZoneFile::format(scene.zones(45, false)));
    TParameters params;
    params.WorkDir = images;
    params.ZonesFileName = zones;
    QuietReporter reporter;
    qputenv("XDG_CONFIG_HOME", (root + QLatin1String("/config")).toLocal8Bit());
    QDir().mkpath(root + QLatin1String("/config/kelvarin2"));
    return WriteParameters(root + QLatin1String("/config/kelvarin2/Kelvarin2.ini"), params, reporter);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 100;
    const int width = args.size() > 3 ? args.at(2).toInt() : 1296;
    const int height = args.size() > 3 ? args.at(3).toInt() : 972;
    QTextStream out(stdout);

    QTemporaryDir root;
    if (!root.isValid() || count <= 0 || !prepare(root.path(), count, width, height)) {
        QTextStream(stderr) << "bench_mainform_memory: cannot prepare the images" << Qt::endl;
        return 1;
    }
    out << "images: " << count << " of " << width << " x " << height << ", 24-bit" << Qt::endl;

    QDir::setCurrent(root.path());
    TMainForm form;
    form.show();
    form.endSplash();
    QCoreApplication::processEvents();
    out << "resident before the first run: " << residentKilobytes() << " kB" << Qt::endl;

    QList<long> samples;
    QObject::connect(&form, &TMainForm::imageProcessed, &form, [&](const QString &, int index) {
        if ((index + 1) % 10 == 0) {
            const long rss = residentKilobytes();
            samples << rss;
            out << "  after image " << index + 1 << ": " << rss << " kB" << Qt::endl;
        }
    });
    for (int run = 1; run <= 2; ++run) {
        samples.clear();
        out << "run " << run << ":" << Qt::endl;
        form.findChild<FileListBox *>(QStringLiteral("listFiles"))->selectAll();
        form.startProcessing();
        out << "  status:" << form.statusText(0) << Qt::endl;
        if (samples.size() > 1) {
            // The first sample still holds the warm-up of the picture buffers.
            const auto [low, high] = std::minmax_element(samples.begin() + 1, samples.end());
            out << "  from image 20 on: lowest " << *low << " kB, highest " << *high << " kB, spread "
                << *high - *low << " kB" << Qt::endl;
        }
    }
    out << "resident at the end: " << residentKilobytes() << " kB" << Qt::endl;
    return 0;
}

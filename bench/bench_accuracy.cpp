// Accuracy of the spot centre against known truth, for both weightings.
//
//   bench_accuracy DIR
//
// DIR holds images, zones.zon and truth.txt as `kelvarin2-samples --truth`
// writes them. Every image is measured with the brightness weighting and with
// the weighting above the threshold (the other settings: B = 0.75, a mean
// above 100, 500 < area < 5000); the distance of each found centre from the
// true one is summed per zone. Prints per zone and overall the RMS and the
// largest error in pixels, and the zones' misses.

#include "TIssue.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "ZoneFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QTextStream>

#include <cmath>
#include <cstdio>

namespace {

struct Silent : TIssueSink
{
    void report(const TIssue &issue) override { std::fprintf(stderr, "%s\n", qPrintable(issue.text)); }
};

struct Errors
{
    double sumSquares = 0;
    double largest = 0;
    int count = 0;
    int missed = 0;
    void add(double e)
    {
        sumSquares += e * e;
        largest = std::max(largest, e);
        ++count;
    }
    double rms() const { return count ? std::sqrt(sumSquares / count) : 0; }
};

// image name -> zone (0-based) -> true centre
using Truth = QMap<QString, QMap<int, QPointF>>;

Truth readTruth(const QString &path)
{
    Truth truth;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return truth;
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().trimmed().split('\t');
        if (f.size() == 4)
            truth[QString::fromUtf8(f[0])][f[1].toInt() - 1] = QPointF(f[2].toDouble(), f[3].toDouble());
    }
    return truth;
}

QList<Errors> measure(const QString &dir, const Truth &truth, const QList<TZoneInfo> &zones, int weighting)
{
    TParameters params;
    params.AverageYPorog = 100;
    params.MinSCount = 500;
    params.MaxSCount = 5000;
    params.NeedVisualization = false;
    params.CentroidWeighting = weighting;
    Silent reporter;
    TPointFinder finder(params, nullptr, &reporter);
    finder.zones() = zones;
    QList<Errors> errors(zones.size());
    for (auto image = truth.begin(); image != truth.end(); ++image) {
        finder.ProcessImage(dir + QLatin1Char('/') + image.key());
        for (int z = 0; z < zones.size(); ++z) {
            const VT_Point p = finder.zones()[z].points.last();
            if (p.isNotFound() || !image->contains(z)) {
                ++errors[z].missed;
                continue;
            }
            const QPointF t = image->value(z);
            errors[z].add(std::hypot(p.x - t.x(), p.y - t.y()));
        }
    }
    return errors;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_accuracy DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const Truth truth = readTruth(dir + QLatin1String("/truth.txt"));
    QFile zoneFile(dir + QLatin1String("/zones.zon"));
    if (truth.isEmpty() || !zoneFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_accuracy: no truth.txt or zones.zon in %s\n", argv[1]);
        return 1;
    }
    const QList<TZoneInfo> zones = ZoneFile::parse(zoneFile.readAll()).zones;
    try {
        const QList<Errors> by0 = measure(dir, truth, zones, 0);
        const QList<Errors> by1 = measure(dir, truth, zones, 1);
        std::printf("%d images, %lld zones; error against the true centre in pixels\n", int(truth.size()),
                    qlonglong(zones.size()));
        std::printf("zone   brightness: RMS    max  miss   above threshold: RMS    max  miss   RMS ratio\n");
        Errors all0, all1;
        int worse = 0;
        for (int z = 0; z < zones.size(); ++z) {
            const Errors &a = by0[z], &b = by1[z];
            std::printf("%4d   %16.4f %6.4f %5d   %21.4f %6.4f %5d   %9.2f\n", z + 1, a.rms(), a.largest, a.missed,
                        b.rms(), b.largest, b.missed, a.rms() > 0 ? b.rms() / a.rms() : 0.0);
            all0.sumSquares += a.sumSquares, all0.count += a.count, all0.missed += a.missed;
            all0.largest = std::max(all0.largest, a.largest);
            all1.sumSquares += b.sumSquares, all1.count += b.count, all1.missed += b.missed;
            all1.largest = std::max(all1.largest, b.largest);
            worse += b.rms() > a.rms();
        }
        std::printf(" all   %16.4f %6.4f %5d   %21.4f %6.4f %5d   %9.2f\n", all0.rms(), all0.largest, all0.missed,
                    all1.rms(), all1.largest, all1.missed, all0.rms() > 0 ? all1.rms() / all0.rms() : 0.0);
        std::printf("zones worse above the threshold: %d\n", worse);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_accuracy: %s\n", error.what());
        return 1;
    }
    return 0;
}

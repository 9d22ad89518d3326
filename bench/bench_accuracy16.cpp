// What 16 bits a sample are worth: faint targets (about 12 bits of signal
// above the background) at known sub-pixel centres, written as 16-bit grey PNG
// files and as their 8-bit reduction (value / 257, rounded), measured by the
// engine with both centre weightings. Prints the RMS and the largest distance
// of the found centres from the true ones for either file.
//
//   bench_accuracy16 [IMAGES] [SEED]

#include "PictureWriter.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TPointFinder.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int Width = 1296;
constexpr int Height = 972;
constexpr int Columns = 4;
constexpr int Rows = 3;
constexpr double Background = 20;  // in 8-bit levels
constexpr double Peak = 16;        // above the background: 16 x 257 = 4112 16-bit levels
constexpr double Noise = 0.1;      // standard deviation, in 8-bit levels
constexpr int Half = 40;           // zones of 81 x 81

struct Silent : TIssueSink
{
    void report(const TIssue &issue) override { std::fprintf(stderr, "%s\n", qPrintable(issue.text)); }
};

struct Errors
{
    double sumSquares = 0, largest = 0;
    int count = 0, missed = 0;
    void add(double e) { sumSquares += e * e, largest = std::max(largest, e), ++count; }
    double rms() const { return count ? std::sqrt(sumSquares / count) : 0; }
};

// Target t's true centre in image i: a grid, each moving by its own sub-pixel step.
QPointF centreOf(int i, int t)
{
    const double x = (t % Columns + 0.5) * Width / Columns + 0.137 * t;
    const double y = (t / Columns + 0.5) * Height / Rows - 0.211 * t;
    return {x + i * (0.031 + 0.007 * t), y + i * (0.023 - 0.005 * t)};
}

// Soft-edged discs of radius 5 to 10 on a slightly sloping background, in
// 16-bit levels with noise; the 8-bit picture is its reduction.
PictureWriter::Picture scene(int i, std::mt19937 &random)
{
    PictureWriter::Picture p;
    p.width = Width;
    p.height = Height;
    p.bits = 16;
    p.samples.resize(size_t(Width) * Height);
    std::normal_distribution<double> noise(0, Noise);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            p.at(x, y) = quint16(std::lround((Background + 0.002 * x + noise(random)) * 257));
    for (int t = 0; t < Columns * Rows; ++t) {
        const QPointF c = centreOf(i, t);
        const double radius = 5 + t % 6;
        for (int y = int(c.y()) - Half + 2; y <= int(c.y()) + Half - 2; ++y)
            for (int x = int(c.x()) - Half + 2; x <= int(c.x()) + Half - 2; ++x) {
                const double r = std::hypot(x - c.x(), y - c.y());
                const double level = Peak * 0.5 * std::erfc((r - radius) / 2.0);
                p.at(x, y) = quint16(std::min(65535L, p.at(x, y) + std::lround(level * 257)));
            }
    }
    return p;
}

PictureWriter::Picture reduced(PictureWriter::Picture p)
{
    p.bits = 8;
    for (quint16 &s : p.samples)
        s = quint16((s + 128) / 257);
    return p;
}

Errors measure(const QStringList &files, int weighting)
{
    TParameters params;
    params.AverageYPorog = 5;
    params.MinSCount = 5;
    params.MaxSCount = 100000;
    params.NeedVisualization = false;
    params.CentroidWeighting = weighting;
    Silent reporter;
    TPointFinder finder(params, nullptr, &reporter);
    for (int t = 0; t < Columns * Rows; ++t) {
        const QPoint c = centreOf(0, t).toPoint();
        finder.zones().append(TZoneInfo(c.x() - Half, c.y() - Half, c.x() + Half, c.y() + Half));
    }
    Errors errors;
    for (int i = 0; i < files.size(); ++i) {
        finder.ProcessImage(files.at(i));
        for (int t = 0; t < Columns * Rows; ++t) {
            const VT_Point p = finder.zones()[t].points.last();
            const QPointF truth = centreOf(i, t);
            if (p.isNotFound())
                ++errors.missed;
            else
                errors.add(std::hypot(p.x - truth.x(), p.y - truth.y()));
        }
    }
    return errors;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int images = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::mt19937 random(argc > 2 ? quint32(std::atoi(argv[2])) : 16u);
    QTemporaryDir dir;
    QStringList sixteen, eight;
    for (int i = 0; i < images; ++i) {
        const PictureWriter::Picture p = scene(i, random);
        QString error;
        sixteen << dir.filePath(QStringLiteral("f16_%1.png").arg(i));
        eight << dir.filePath(QStringLiteral("f8_%1.png").arg(i));
        if (!PictureWriter::png(sixteen.last(), p, false, &error) || !PictureWriter::png(eight.last(), reduced(p), false, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    try {
        std::printf("%d images %d x %d, %d faint targets (peak %.0f 8-bit levels = %.0f 16-bit levels above the "
                    "background, noise %.2f levels); error against the true centre in pixels\n",
                    images, Width, Height, Columns * Rows, Peak, Peak * 257, Noise);
        std::printf("weighting          16-bit RMS    max  miss    8-bit RMS    max  miss   8/16\n");
        for (int weighting : {0, 1}) {
            const Errors a = measure(sixteen, weighting), b = measure(eight, weighting);
            std::printf("%-16s %12.4f %6.4f %5d %12.4f %6.4f %5d %6.2f\n",
                        weighting == 0 ? "brightness" : "above threshold", a.rms(), a.largest, a.missed, b.rms(),
                        b.largest, b.missed, a.rms() > 0 ? b.rms() / a.rms() : 0.0);
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_accuracy16: %s\n", error.what());
        return 1;
    }
    return 0;
}

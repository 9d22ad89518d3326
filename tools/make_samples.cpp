// Writes the bundled sample data: a short series of camera images with light
// targets (24-bit colour and 8-bit grey), the matching zone file and a settings
// file that points the program at them.
//
//   kelvarin2-samples DIR             sample data: DIR/images, DIR/zones.zon,
//                                     DIR/config/kelvarin2/Kelvarin2.ini
//   kelvarin2-samples --bench DIR N [MARGIN]
//                                     N images of 2592 x 1944, 24-bit, 16 targets,
//                                     zones MARGIN pixels around them (45: 91 x 91)
//   kelvarin2-samples --truth DIR N [SEED]
//                                     N images of 2592 x 1944 of 16 targets at known
//                                     sub-pixel centres, DIR/zones.zon and DIR/truth.txt

#include "AtomicFile.h"
#include "LocaleFormat.h"
#include "SampleScene.h"
#include "TruthScene.h"
#include "TIssue.h"
#include "TParameters.h"
#include "ZoneFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

struct QuietReporter : TIssueSink
{
    QStringList texts;
    void report(const TIssue &issue) override { texts << issue.text; }
};

int writeSamples(const QString &root)
{
    const QString images = root + QLatin1String("/images");
    const QString config = root + QLatin1String("/config/kelvarin2");
    QDir().mkpath(images);
    QDir().mkpath(config);
    SampleScene scene(800, 600, 6, 2026);
    // One target fades in the fifth image: its zone records "not found" there.
    scene.dimTarget(4, 2);
    for (int i = 0; i < 8; ++i) {
        const int bits = i % 2 == 0 ? 24 : 8;
        BmpWriter::write(images + QStringLiteral("/bridge_%1.bmp").arg(i + 1, 3, 10, QLatin1Char('0')),
                         scene.image(i, bits));
    }
    const QString zoneFile = root + QLatin1String("/zones.zon");
    // Origins at the first image's target centres make the series readable as displacements.
    QList<TZoneInfo> refined = scene.zones(45, true);
    for (TZoneInfo &z : refined)
        z.points << VT_Point(z.X0, z.Y0);
    AtomicFile::writeOrThrow(zoneFile, ZoneFile::format(refined));

    TParameters params;
    params.WorkDir = QDir(images).absolutePath();
    params.ZonesFileName = QDir(zoneFile).absolutePath();
    QuietReporter reporter;
    if (!WriteParameters(config + QLatin1String("/Kelvarin2.ini"), params, reporter))
        return 1;
    QTextStream(stdout) << QDir(root).absolutePath() << Qt::endl;
    return 0;
}

int writeBench(const QString &root, int count, int margin)
{
    QDir().mkpath(root);
    SampleScene scene(2592, 1944, 16, 7);
    for (int i = 0; i < count; ++i)
        BmpWriter::write(root + QStringLiteral("/frame_%1.bmp").arg(i + 1, 3, 10, QLatin1Char('0')),
                         scene.image(i, 24));
    AtomicFile::writeOrThrow(root + QLatin1String("/zones.zon"), ZoneFile::format(scene.zones(margin, false)));
    return 0;
}

int writeTruth(const QString &root, int count, quint32 seed)
{
    QDir().mkpath(root);
    TruthScene scene(2592, 1944, 16, seed);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << QStringLiteral("target_%1.bmp").arg(i + 1, 3, 10, QLatin1Char('0'));
        BmpWriter::write(root + QLatin1Char('/') + names.last(), scene.image(i));
    }
    AtomicFile::writeOrThrow(root + QLatin1String("/zones.zon"), ZoneFile::format(scene.zones(count)));
    AtomicFile::writeOrThrow(root + QLatin1String("/truth.txt"), scene.truthFile(names));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    try {
        // An option is never taken for the directory ("--help" made one).
        if (args.size() == 1 && !args.at(0).startsWith(QLatin1Char('-')))
            return writeSamples(args.at(0));
        if ((args.size() == 3 || args.size() == 4) && args.at(0) == QLatin1String("--bench"))
            return writeBench(args.at(1), args.at(2).toInt(), args.size() == 4 ? args.at(3).toInt() : 45);
        if ((args.size() == 3 || args.size() == 4) && args.at(0) == QLatin1String("--truth"))
            return writeTruth(args.at(1), args.at(2).toInt(), args.size() == 4 ? args.at(3).toUInt() : 15);
    } catch (const std::exception &error) {
        QTextStream(stderr) << "kelvarin2-samples: " << error.what() << Qt::endl;
        return 1;
    }
    const bool asked = args.size() == 1 && (args.at(0) == QLatin1String("--help") || args.at(0) == QLatin1String("-h"));
    QTextStream(asked ? stdout : stderr)
        << "usage: kelvarin2-samples DIR | --bench DIR COUNT [MARGIN] | --truth DIR COUNT [SEED]" << Qt::endl;
    return asked ? 0 : 2;
}

#include "BitmapFile.h"
#include "KelvarinError.h"
#include "PictureWriter.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The golden cases again, their bitmaps copied into PNG and TIFF pictures (8
// bits, and 16 bits as value x 257; TIFF also with rows from the bottom, with
// samples in planes, and, where the pictures allow, as palettes and with white
// stored as 0) when the test runs: lossless copies must give the very same
// coordinate files as the bitmaps, byte for byte. JPEG
// copies, which are not lossless, must find every point the bitmaps find, and
// close to where they find it. Copies inside a zip archive are read from it.
class TestGoldenFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void losslessCopiesMatch_data();
    void losslessCopiesMatch();
    void jpegCopiesAreClose_data();
    void jpegCopiesAreClose();

private:
    static QString goldenDir() { return QStringLiteral(KELVARIN_TEST_DATA "/golden"); }
    static QString toolPath() { return QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2-cli"); }
    static QStringList caseFolders();
    // Copies a case into `to`, its bitmaps written as `format`; the arguments
    // of args.txt follow the new names.
    static QStringList copyCase(const QString &caseDir, const QString &to, const QString &format);
    static bool writeAs(const QString &bitmap, const QString &to, const QString &format, QString *error);
    static QString runTool(const QString &caseDir, const QStringList &images, const QString &out);
    // The largest bits a pixel of the case's readable bitmaps.
    static int deepestBitmap(const QString &caseName);
    static void addPalette(PictureWriter::Picture &picture, const QString &bitmap);
};

int TestGoldenFormats::deepestBitmap(const QString &caseName)
{
    const QDir images(QDir(goldenDir()).filePath(caseName + QStringLiteral("/images")));
    int deepest = 0;
    for (const QString &name : images.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        try {
            BitmapFile bitmap;
            bitmap.open(images.filePath(name));
            deepest = std::max(deepest, bitmap.bitsPerPixel());
        } catch (const KelvarinError &) {
        }
    }
    return deepest;
}

// An 8-bit bitmap's picture (its indices) with the bitmap's own colours as palette.
void TestGoldenFormats::addPalette(PictureWriter::Picture &p, const QString &bitmap)
{
    if (p.bits != 8 || p.channels != 1 || !p.palette.isEmpty())
        return;
    BitmapFile file;
    file.open(bitmap);
    std::vector<quint32> colours(p.samples.size());
    file.readRgb32(colours.data(), p.width);
    p.palette = QList<quint32>(256, 0);
    for (size_t i = 0; i < colours.size(); ++i)
        p.palette[p.samples[i]] = colours[i] & 0xffffff;
}

QStringList TestGoldenFormats::caseFolders()
{
    QStringList cases;
    const QDir golden(goldenDir());
    for (const QString &name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir expected(golden.filePath(name + QStringLiteral("/expected")));
        if (!expected.entryList({QStringLiteral("res_*.crd")}, QDir::Files).isEmpty())
            cases << name;
    }
    return cases;
}

bool TestGoldenFormats::writeAs(const QString &bitmap, const QString &to, const QString &format, QString *error)
{
    using W = PictureWriter;
    const bool sixteen = format.endsWith(QLatin1String("16"));
    const bool tiff = format.startsWith(QLatin1String("tiff"));
    const bool palette = format == QLatin1String("tiff-palette");
    W::Picture picture = W::fromBitmap(bitmap, sixteen, (tiff && !palette) || format == QLatin1String("jpeg"));
    if (picture.width == 0)
        return QFile::copy(bitmap, to);  // not a readable bitmap: stays as it is
    if (palette)
        addPalette(picture, bitmap);
    if (format == QLatin1String("jpeg"))
        return W::jpeg(to, picture, 98, true, error);
    if (!tiff)
        return W::png(to, picture, format == QLatin1String("png-interlaced"), error);
    W::TiffLayout layout;
    if (sixteen) {
        layout.compression = W::TiffCompression::Deflate;
        layout.tileSize = 32;
        layout.predictor = true;
        layout.bigEndian = true;
    } else if (format == QLatin1String("tiff") || format == QLatin1String("tiff-packbits")) {
        layout.compression = format == QLatin1String("tiff-packbits") ? W::TiffCompression::PackBits
                                                                       : W::TiffCompression::Lzw;
        layout.rowsPerStrip = 7;
    } else {  // uncompressed, as cameras write these kinds
        layout.rowsPerStrip = 5;
        layout.orientation = format == QLatin1String("tiff-bottom-up") ? 4 : 1;
        layout.separatePlanes = format == QLatin1String("tiff-planes");
        layout.minIsWhite = format == QLatin1String("tiff-white");
    }
    return W::tiff(to, picture, layout, error);
}

QStringList TestGoldenFormats::copyCase(const QString &caseDir, const QString &to, const QString &format)
{
    const QDir from(caseDir);
    const QDir dir(to);
    dir.mkpath(QStringLiteral("images"));
    QFile::copy(from.filePath(QStringLiteral("settings.ini")), dir.filePath(QStringLiteral("settings.ini")));
    QFile::copy(from.filePath(QStringLiteral("zones.zon")), dir.filePath(QStringLiteral("zones.zon")));
    const QString extension = format.startsWith(QLatin1String("tiff")) ? QStringLiteral(".tif")
                              : format == QLatin1String("jpeg")        ? QStringLiteral(".jpg")
                                                                       : QStringLiteral(".png");
    auto renamed = [&](const QString &name) {
        return name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) ? name.chopped(4) + extension : name;
    };
    const QDir images(from.filePath(QStringLiteral("images")));
    for (const QString &name : images.entryList(QDir::Files)) {
        QString error;
        const QString target = dir.filePath(QStringLiteral("images/") + renamed(name));
        if (name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) {
            if (!writeAs(images.filePath(name), target, format, &error))
                qWarning("%s", qPrintable(error));
        } else {
            QFile::copy(images.filePath(name), target);
        }
    }
    const QStringList tokens = QString::fromUtf8(TestSupport::readFile(from.filePath(QStringLiteral("args.txt"))))
                                   .simplified()
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return {dir.filePath(QStringLiteral("images"))};
    QStringList arguments;
    for (const QString &token : tokens)
        arguments << (token.startsWith(QLatin1Char('-')) ? token : dir.filePath(renamed(token)));
    return arguments;
}

// Runs the tool; empty when it succeeded, else what it said.
QString TestGoldenFormats::runTool(const QString &caseDir, const QStringList &images, const QString &out)
{
    const QDir dir(caseDir);
    QStringList arguments{QStringLiteral("process"),
                          QStringLiteral("--settings"), dir.filePath(QStringLiteral("settings.ini")),
                          QStringLiteral("--zones"), dir.filePath(QStringLiteral("zones.zon")),
                          QStringLiteral("--out"), out + QStringLiteral("/res")};
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(out);
    tool.start(toolPath(), arguments + images);
    if (!tool.waitForFinished(120000))
        return QStringLiteral("the tool did not finish");
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return QStringLiteral("exit code %1: %2").arg(tool.exitCode()).arg(QString::fromUtf8(tool.readAllStandardError()));
    return {};
}

void TestGoldenFormats::losslessCopiesMatch_data()
{
    QTest::addColumn<QString>("caseName");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("zipped");
    // Grey, palette, colour; strips and tiles, each compression; both byte orders.
    const QStringList formats = {QStringLiteral("png"), QStringLiteral("png16"), QStringLiteral("png-interlaced"),
                                 QStringLiteral("tiff"), QStringLiteral("tiff-packbits"), QStringLiteral("tiff16")};
    const bool haveZip = !QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty();
    for (const QString &name : caseFolders()) {
        QStringList forms = formats;
        forms << QStringLiteral("tiff-bottom-up") << QStringLiteral("tiff-planes");
        const int deepest = deepestBitmap(name);
        if (deepest <= 8)
            forms << QStringLiteral("tiff-palette");
        if (deepest == 8)
            forms << QStringLiteral("tiff-white");  // grey pictures only
        for (const QString &format : forms)
            QTest::newRow(qPrintable(name + QLatin1Char(' ') + format)) << name << format << false;
        // And read from a zip archive of the copies, where the case takes its whole folder.
        const QString args = QDir(goldenDir()).filePath(name + QStringLiteral("/args.txt"));
        if (haveZip && TestSupport::readFile(args).trimmed().isEmpty()) {
            for (const QString &format : {QStringLiteral("png"), QStringLiteral("tiff16")})
                QTest::newRow(qPrintable(name + QLatin1Char(' ') + format + QStringLiteral(" zip"))) << name << format << true;
        }
    }
}

void TestGoldenFormats::losslessCopiesMatch()
{
    QFETCH(QString, caseName);
    QFETCH(QString, format);
    QFETCH(bool, zipped);
    QVERIFY2(QFileInfo(toolPath()).isExecutable(), qPrintable(toolPath() + QStringLiteral(" is not built")));
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString caseDir = QDir(goldenDir()).filePath(caseName);
    const QString copy = work.filePath(QStringLiteral("case"));
    QStringList images = copyCase(caseDir, copy, format);
    if (zipped) {
        QProcess zip;
        zip.setWorkingDirectory(copy + QStringLiteral("/images"));
        zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), copy + QStringLiteral("/images.zip"),
                                          QStringLiteral(".")});
        QVERIFY(zip.waitForFinished(60000) && zip.exitCode() == 0);
        images = QStringList{copy + QStringLiteral("/images.zip")};
    }
    QDir(work.path()).mkdir(QStringLiteral("out"));
    const QString out = work.filePath(QStringLiteral("out"));
    const QString failure = runTool(copy, images, out);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const QDir expected(caseDir + QStringLiteral("/expected"));
    const QStringList names = expected.entryList({QStringLiteral("res_*.crd")}, QDir::Files, QDir::Name);
    QCOMPARE(QDir(out).entryList({QStringLiteral("res_*.crd")}, QDir::Files, QDir::Name), names);
    for (const QString &name : names) {
        QVERIFY2(TestSupport::readFile(QDir(out).filePath(name)) == TestSupport::readFile(expected.filePath(name)),
                 qPrintable(name));
    }
}

void TestGoldenFormats::jpegCopiesAreClose_data()
{
    QTest::addColumn<QString>("caseName");
    // Cases of large, smooth targets; the tiny odd-width pictures of the other
    // cases are about bitmap variants, not detection.
    for (const char *name : {"rgb24_series", "grey8_basic", "rgb24_topdown", "explicit_order"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The points of the JPEG copies lie within a quarter of a pixel of the bitmaps'
// (the same rule of measurement over a lightly changed picture), and the same
// points are found.
void TestGoldenFormats::jpegCopiesAreClose()
{
    QFETCH(QString, caseName);
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString caseDir = QDir(goldenDir()).filePath(caseName);
    const QString copy = work.filePath(QStringLiteral("case"));
    const QStringList images = copyCase(caseDir, copy, QStringLiteral("jpeg"));
    QDir(work.path()).mkdir(QStringLiteral("out"));
    const QString out = work.filePath(QStringLiteral("out"));
    const QString failure = runTool(copy, images, out);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const QDir expected(caseDir + QStringLiteral("/expected"));
    for (const QString &name : expected.entryList({QStringLiteral("res_*.crd")}, QDir::Files, QDir::Name)) {
        const QList<QByteArray> want = TestSupport::readFile(expected.filePath(name)).split('\n');
        const QList<QByteArray> got = TestSupport::readFile(QDir(out).filePath(name)).split('\n');
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i) {
            const QList<QByteArray> a = want.at(i).trimmed().split('\t');
            const QList<QByteArray> b = got.at(i).trimmed().split('\t');
            QCOMPARE(b.size(), a.size());
            // The number and the origin's fields as they are; coordinates close.
            for (qsizetype f = 0; f < a.size(); ++f) {
                bool numeric = false;
                const double x = a.at(f).toDouble(&numeric);
                if (!numeric || !a.at(f).contains('.'))
                    QCOMPARE(b.at(f), a.at(f));
                else
                    QVERIFY2(std::abs(b.at(f).toDouble() - x) < 0.25, qPrintable(name + ": " + got.at(i)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestGoldenFormats)
#include "tst_goldenformats.moc"

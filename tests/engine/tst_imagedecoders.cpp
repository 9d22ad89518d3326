// PNG, TIFF and JPEG behind BitmapFile: every layout gives the brightness and
// colours its samples mean, only the rows asked for are decoded, and damaged
// or hostile files are refused with a message naming the file and the reason.
#include "BitmapFile.h"
#include "KelvarinError.h"
#include "PictureWriter.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <random>
#include <zlib.h>

using W = PictureWriter;

class TestImageDecoders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layouts_data();
    void layouts();
    void sixteenBitsKeepTheirPrecision();
    void onlyTheRowsAskedForAreDecoded_data();
    void onlyTheRowsAskedForAreDecoded();
    void jpegMatchesAFullDecoding_data();
    void jpegMatchesAFullDecoding();
    void damagedProgressiveJpegReadsTheSameEveryWay();
    void hostileFilesAreRefused_data();
    void hostileFilesAreRefused();

private:
    QString write(const QString &name, const W::Picture &picture, const QString &format);
    QTemporaryDir m_dir;
};

namespace {

W::Picture randomPicture(int width, int height, int channels, int bits, quint32 seed)
{
    W::Picture p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.bits = bits;
    std::mt19937 random(seed);
    p.samples.resize(size_t(width) * size_t(height) * size_t(channels));
    for (quint16 &s : p.samples)
        s = quint16(random() % (1u << bits));
    return p;
}

W::Picture palettePicture(int width, int height, int bits, quint32 seed)
{
    W::Picture p = randomPicture(width, height, 1, bits, seed);
    for (int i = 0; i < (1 << bits); ++i)
        p.palette << ((quint32(i) * 0x9e3779b9u) >> 8);
    return p;
}

// The rectangles every layout is read in: all of it, a corner, a thin column,
// overlapping and side-by-side ones, as the zones of an image.
QList<QRect> rectangles(int w, int h)
{
    return {QRect(0, 0, w, h), QRect(w / 3, h / 2, w / 2, h / 2), QRect(w - 1, 0, 1, h / 3),
            QRect(w / 4, h / 4, w / 4, h / 4), QRect(w / 5, h / 3, w / 2, 3)};
}

} // namespace

QString TestImageDecoders::write(const QString &name, const W::Picture &picture, const QString &format)
{
    const QString path = m_dir.filePath(name);
    QString error;
    bool ok = false;
    if (format.startsWith(QLatin1String("png")))
        ok = W::png(path, picture, format == QLatin1String("png-interlaced"), &error);
    else if (format == QLatin1String("jpeg"))
        ok = W::jpeg(path, picture, 90, false, &error);
    else {
        W::TiffLayout layout;
        if (format == QLatin1String("tiff-lzw"))
            layout.compression = W::TiffCompression::Lzw;
        if (format == QLatin1String("tiff-deflate-tiles")) {
            layout.compression = W::TiffCompression::Deflate;
            layout.tileSize = 16;
            layout.predictor = picture.bits >= 8;  // libtiff predicts whole samples only
        }
        if (format == QLatin1String("tiff-packbits-be")) {
            layout.compression = W::TiffCompression::PackBits;
            layout.bigEndian = true;
            layout.rowsPerStrip = 5;
        }
        // The kinds a camera may write besides: rows from the bottom, white
        // stored as 0, samples in planes, a colour map of 8-bit levels.
        layout.orientation = format.contains(QLatin1String("bottom-up")) ? 4 : format.contains(QLatin1String("turned")) ? 6 : 1;
        layout.minIsWhite = format.contains(QLatin1String("white"));
        layout.separatePlanes = format.contains(QLatin1String("planes"));
        layout.eightBitColourMap = format.contains(QLatin1String("map8"));
        if (format.contains(QLatin1String("tiles")))
            layout.tileSize = 16;
        ok = W::tiff(path, picture, layout, &error);
    }
    if (!ok)
        qWarning("%s", qPrintable(error));
    return path;
}

void TestImageDecoders::layouts_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("palette");
    struct Row { const char *format; int channels, bits; bool palette; };
    const Row rows[] = {
        {"png", 1, 8, false},  {"png", 2, 8, false},   {"png", 3, 8, false},  {"png", 4, 8, false},
        {"png", 1, 16, false}, {"png", 2, 16, false},  {"png", 3, 16, false}, {"png", 4, 16, false},
        {"png", 1, 8, true},   {"png", 1, 4, true},    {"png", 1, 1, true},   {"png-interlaced", 3, 16, false},
        {"png-interlaced", 1, 8, true}, {"tiff", 1, 8, false}, {"tiff-lzw", 3, 8, false},
        {"tiff-deflate-tiles", 4, 16, false}, {"tiff-deflate-tiles", 1, 8, false},
        {"tiff-packbits-be", 1, 16, false}, {"tiff-packbits-be", 2, 8, false}, {"tiff-lzw", 3, 16, false},
        {"tiff", 1, 8, true}, {"tiff-lzw", 1, 4, true}, {"tiff-deflate-tiles", 1, 4, true}, {"tiff", 1, 1, true},
        {"tiff-map8", 1, 2, true}, {"tiff", 1, 4, false}, {"tiff-white", 1, 8, false},
        {"tiff-white-deflate-tiles", 2, 16, false}, {"tiff-white", 1, 1, false}, {"tiff-planes", 3, 8, false},
        {"tiff-planes-lzw", 4, 16, false}, {"tiff-planes-deflate-tiles", 3, 8, false},
        {"tiff-bottom-up", 3, 8, false}, {"tiff-bottom-up-deflate-tiles", 1, 16, false},
        {"tiff-bottom-up-planes", 3, 16, false}, {"tiff-bottom-up-lzw", 1, 4, true},
    };
    for (const Row &r : rows) {
        QTest::newRow(qPrintable(QStringLiteral("%1 %2x%3%4").arg(QLatin1String(r.format)).arg(r.channels).arg(r.bits)
                                     .arg(r.palette ? QStringLiteral(" palette") : QString())))
            << QString::fromLatin1(r.format) << r.channels << r.bits << r.palette;
    }
}

// Brightness: 8-bit grey and 8-bit palettes their value, colour a third of the
// sum, palettes of fewer bits a third of their colour's sum, grey of fewer bits
// widened to 0..255, 16 bits on the same scale (value / 257; colour within a
// third of a 16-bit level); alpha ignored. Colours for display: the samples
// (16-bit ones' high bytes). Whatever the order of rows, planes or levels in
// the file, the picture written is the picture read.
void TestImageDecoders::layouts()
{
    QFETCH(QString, format);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(bool, palette);
    const int w = 37, h = 23;
    const W::Picture p = palette ? palettePicture(w, h, bits, 7) : randomPicture(w, h, channels, bits, 7);
    BitmapFile file;
    file.open(write(QStringLiteral("layout"), p, format));
    QCOMPARE(file.width(), w);
    QCOMPARE(file.height(), h);
    const bool colour = channels >= 3;
    const int widening = bits < 8 ? 255 / ((1 << bits) - 1) : 1;
    auto expected = [&](int x, int y) {
        const quint16 *s = p.samples.data() + (qint64(y) * w + x) * channels;
        if (palette) {
            const quint32 c = p.palette.at(s[0]);
            return bits == 8 ? double(s[0]) : ((c >> 16) + ((c >> 8) & 0xff) + (c & 0xff)) / 3.0;
        }
        const double value = colour ? (s[0] + s[1] + s[2]) / 3.0 : s[0] * widening;
        return bits == 16 ? value / 257.0 : value;
    };
    std::vector<BitmapFile::BrightnessRequest> requests;
    std::vector<std::vector<double>> values;
    const QList<QRect> rects = rectangles(w, h);
    for (const QRect &r : rects)
        values.emplace_back(size_t(r.width() * r.height()));
    for (qsizetype i = 0; i < rects.size(); ++i) {
        const QRect &r = rects.at(i);
        requests.push_back({r.left(), r.top(), r.right(), r.bottom(), values[size_t(i)].data()});
    }
    file.readBrightness(requests);
    const double tolerance = bits == 16 && colour ? 1.0 / 257 : 0;
    for (qsizetype i = 0; i < rects.size(); ++i) {
        const QRect &r = rects.at(i);
        for (int x = r.left(); x <= r.right(); ++x)
            for (int y = r.top(); y <= r.bottom(); ++y) {
                const double got = values[size_t(i)][size_t((x - r.left()) * r.height() + (y - r.top()))];
                if (std::abs(got - expected(x, y)) > tolerance)
                    QFAIL(qPrintable(QStringLiteral("(%1, %2): %3 instead of %4").arg(x).arg(y).arg(got).arg(expected(x, y))));
            }
    }
    std::vector<quint32> pixels(size_t(w * h));
    file.readRgb32(pixels.data(), w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const quint16 *s = p.samples.data() + (qint64(y) * w + x) * channels;
            const int shift = bits == 16 ? 8 : 0;
            const quint32 want = palette ? 0xff000000u | p.palette.at(s[0])
                                 : colour ? 0xff000000u | quint32(s[0] >> shift) << 16 | quint32(s[1] >> shift) << 8 | (s[2] >> shift)
                                          : 0xff000000u | 0x010101u * quint32((s[0] * widening) >> shift);
            QCOMPARE(pixels[size_t(y * w + x)], want);
        }
}

// Levels one 16-bit step apart stay apart (an 8-bit reader would merge 257 of them).
void TestImageDecoders::sixteenBitsKeepTheirPrecision()
{
    W::Picture p = randomPicture(4, 1, 1, 16, 1);
    p.samples = {1000, 1001, 1002, 1257};
    BitmapFile file;
    file.open(write(QStringLiteral("ramp.png"), p, QStringLiteral("png")));
    double b[4];
    file.readBrightness(0, 0, 3, 0, b);
    QVERIFY(b[0] < b[1] && b[1] < b[2] && b[2] < b[3]);
    QCOMPARE(b[3] - b[0], 1.0);
}

void TestImageDecoders::onlyTheRowsAskedForAreDecoded_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("reason");
    QTest::newRow("png") << QStringLiteral("png") << QStringLiteral("обрываются");
    QTest::newRow("tiff strips") << QStringLiteral("tiff-lzw") << QStringLiteral("TIFF");
    QTest::newRow("jpeg") << QStringLiteral("jpeg") << QStringLiteral("обрываются");
}

// A file whose last part is cut off (PNG, JPEG) or spoilt (the last strip of
// a TIFF, whose directory follows it) still gives the rows before; a row
// there is refused, naming the file.
void TestImageDecoders::onlyTheRowsAskedForAreDecoded()
{
    QFETCH(QString, format);
    QFETCH(QString, reason);
    const int w = 256, h = 256;
    const W::Picture p = randomPicture(w, h, 3, 8, 3);
    const QString path = write(QStringLiteral("cut"), p, format);
    QByteArray bytes = TestSupport::readFile(path);
    if (format.startsWith(QLatin1String("tiff")))
        bytes.replace(bytes.size() - 3000, 2000, QByteArray(2000, '\xff'));
    else
        bytes.truncate(bytes.size() * 2 / 3);
    TestSupport::writeFile(path, bytes);
    BitmapFile file;
    file.open(path);
    std::vector<double> top(size_t(w * 16));
    file.readBrightness(0, 10, w - 1, 25, top.data());
    std::vector<double> bottom(static_cast<size_t>(w));
    try {
        file.readBrightness(0, h - 1, w - 1, h - 1, bottom.data());
        QFAIL("the bottom row was read from a cut file");
    } catch (const KelvarinError &e) {
        QVERIFY2(e.message().contains(path) && e.message().contains(reason), qPrintable(e.message()));
    }
}

void TestImageDecoders::jpegMatchesAFullDecoding_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("progressive");
    QTest::newRow("grey baseline") << 1 << false;
    QTest::newRow("colour baseline") << 3 << false;
    QTest::newRow("colour progressive") << 3 << true;
}

// Rows skipped and columns cropped change no pixel that is read: a small
// rectangle reads as the same part of the whole picture.
void TestImageDecoders::jpegMatchesAFullDecoding()
{
    QFETCH(int, channels);
    QFETCH(bool, progressive);
    const int w = 301, h = 203;
    W::Picture p = randomPicture(w, h, channels, 8, 5);
    for (int y = 0; y < h; ++y)  // smooth, so that the picture is not all noise
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                p.at(x, y, c) = quint16(128 + 100 * std::sin(x / 17.0 + c) * std::cos(y / 23.0));
    const QString path = m_dir.filePath(QStringLiteral("smooth.jpg"));
    QString error;
    QVERIFY2(W::jpeg(path, p, 85, progressive, &error), qPrintable(error));
    BitmapFile file;
    file.open(path);
    std::vector<double> whole(size_t(w * h));
    file.readBrightness(0, 0, w - 1, h - 1, whole.data());
    const QRect r(117, 77, 41, 29);
    std::vector<double> part(size_t(r.width() * r.height()));
    file.readBrightness(r.left(), r.top(), r.right(), r.bottom(), part.data());
    for (int x = 0; x < r.width(); ++x)
        for (int y = 0; y < r.height(); ++y)
            QCOMPARE(part[size_t(x * r.height() + y)], whole[size_t((x + r.left()) * h + y + r.top())]);
    // And the decoding is close to the picture written.
    double worst = 0;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            double sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += p.at(x, y, c);
            worst = std::max(worst, std::abs(whole[size_t(x * h + y)] - sum / channels));
        }
    QVERIFY2(worst < 6, qPrintable(QString::number(worst)));
}

// A progressive picture whose scans are damaged (found by the fuzzer) leaves
// detail missing; a part of it reads as the same part of the whole, not as
// libjpeg's guess from the blocks around it, which depends on what was read.
void TestImageDecoders::damagedProgressiveJpegReadsTheSameEveryWay()
{
    const QByteArray bytes = QByteArray::fromHex(
        "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183523251d"
        "283a333d3c3933383740ff485c4e404457453738506d51575f626768673e4d71797064785c656763ffdb0043011112121815"
        "182f1a1a2f634238426363636363636363636363636363636363636363632363636363636363636363636363636363636363"
        "636363636363636363ffc2001108001100f103012200021101031101ffc40018000002030000000000000000000000000000"
        "03010205ffc4001501010100000000000000000000000000000104ffda000c03010002100310000001ffffffffffffffffff"
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff0008010100013f10303a24b92c39e913"
        "74f236f67120a3db933357527fffd9");
    BitmapFile file;
    file.openBytes(bytes, QStringLiteral("damaged.jpg"));
    const int w = file.width(), h = file.height();
    std::vector<double> whole(size_t(w * h));
    file.readBrightness(0, 0, w - 1, h - 1, whole.data());
    const QRect r(w / 3, h / 2, w - w / 3, h - h / 2);
    std::vector<double> part(size_t(r.width() * r.height()));
    file.readBrightness(r.left(), r.top(), r.right(), r.bottom(), part.data());
    for (int x = 0; x < r.width(); ++x)
        for (int y = 0; y < r.height(); ++y)
            QCOMPARE(part[size_t(x * r.height() + y)], whole[size_t((x + r.left()) * h + y + r.top())]);
}

namespace {

QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray c;
    const quint32 n = quint32(data.size());
    c.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    const QByteArray body = QByteArray(type, 4) + data;
    c.append(body);
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    c.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    return c;
}

// A PNG of the given size whose compressed data is a few bytes.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray ihdr;
    for (quint32 v : {width, height})
        ihdr.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    ihdr.append(char(8)).append(char(0)).append(char(0)).append(char(0)).append(char(0));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8))
           + chunk("IEND", {});
}

} // namespace

void TestImageDecoders::hostileFilesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const W::Picture p = randomPicture(64, 64, 3, 8, 9);
    for (const char *format : {"png", "tiff-lzw", "jpeg"}) {
        const QByteArray good = TestSupport::readFile(write(QStringLiteral("good"), p, QLatin1String(format)));
        QTest::newRow(qPrintable(QStringLiteral("%1 cut in its header").arg(QLatin1String(format))))
            << QStringLiteral("cut.img") << good.left(format[0] == 'j' ? 40 : 20) << QString();
        // A TIFF's directory comes after its pixels.
        QTest::newRow(qPrintable(QStringLiteral("%1 cut in its pixels").arg(QLatin1String(format))))
            << QStringLiteral("short.img") << good.left(good.size() / 2)
            << (format[0] == 't' ? QStringLiteral("TIFF") : QStringLiteral("обрываются"));
    }
    const QByteArray png = TestSupport::readFile(write(QStringLiteral("crc.png"), p, QStringLiteral("png")));
    QByteArray badCrc = png;
    const qsizetype idat = badCrc.indexOf("IDAT");
    badCrc[idat + 20] = char(badCrc[idat + 20] ^ 0x55);
    QTest::newRow("png bad CRC") << QStringLiteral("crc.png") << badCrc << QStringLiteral("CRC");
    QTest::newRow("png beyond the size limits") << QStringLiteral("huge.png") << pngHeaderOnly(300000, 10)
                                                 << QStringLiteral("слишком велико");
    QTest::newRow("png decompression bomb") << QStringLiteral("bomb.png") << pngHeaderOnly(16000, 16000)
                                             << QStringLiteral("больше файла");
    QByteArray tiffHuge = TestSupport::readFile(write(QStringLiteral("big.tif"), p, QStringLiteral("tiff")));
    // The width tag's value (256, LONG or SHORT) follows its count in the first directory.
    const quint32 directory = quint8(tiffHuge[4]) | quint8(tiffHuge[5]) << 8 | quint8(tiffHuge[6]) << 16 | quint32(quint8(tiffHuge[7])) << 24;
    const qsizetype entry = qsizetype(directory) + 2;
    tiffHuge[entry + 2] = char(4); // LONG
    tiffHuge[entry + 3] = char(0);
    tiffHuge[entry + 8] = char(0xe0);
    tiffHuge[entry + 9] = char(0x93);
    tiffHuge[entry + 10] = char(0x04);
    tiffHuge[entry + 11] = char(0);
    QTest::newRow("tiff beyond the size limits") << QStringLiteral("huge.tif") << tiffHuge << QStringLiteral("слишком велико");
    // 16000 x 16000 in a file of a few kilobytes; the height's entry follows the width's.
    QByteArray tiffBomb = tiffHuge;
    for (const qsizetype at : {entry, entry + 12}) {
        tiffBomb[at + 2] = char(4);
        tiffBomb[at + 3] = char(0);
        tiffBomb[at + 8] = char(0x80);
        tiffBomb[at + 9] = char(0x3e);
        tiffBomb[at + 10] = char(0);
        tiffBomb[at + 11] = char(0);
    }
    QTest::newRow("tiff decompression bomb") << QStringLiteral("bomb.tif") << tiffBomb << QStringLiteral("больше файла");
    // A picture turned a quarter would be measured in the wrong coordinates.
    QTest::newRow("tiff turned") << QStringLiteral("turned.tif")
                                 << TestSupport::readFile(write(QStringLiteral("turned.tif"), p, QStringLiteral("tiff-turned")))
                                 << QStringLiteral("ориентация 6");
    QByteArray jpegGarbage = TestSupport::readFile(write(QStringLiteral("g.jpg"), p, QStringLiteral("jpeg")));
    for (qsizetype i = 200; i < jpegGarbage.size() - 2; i += 7)
        jpegGarbage[i] = char(0xff);
    QTest::newRow("jpeg with markers all over its data") << QStringLiteral("garbage.jpg") << jpegGarbage << QString();
}

// Refused at opening or at reading, never read as something else: the message
// names the file, and the reason where one is given.
void TestImageDecoders::hostileFilesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(name);
    TestSupport::writeFile(path, bytes);
    try {
        BitmapFile file;
        file.open(path);
        std::vector<double> all(size_t(file.width()) * size_t(file.height()));
        file.readBrightness(0, 0, file.width() - 1, file.height() - 1, all.data());
        QFAIL("read in full");
    } catch (const KelvarinError &e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestImageDecoders)
#include "tst_imagedecoders.moc"

#include "BitmapFile.h"
#include "BmpWriter.h"
#include "KelvarinError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <vector>

using Image = BmpWriter::Image;

Q_DECLARE_METATYPE(BmpWriter::Image)

namespace {

// The brightness of a colour sum: the sum times the 80-bit third, as a double.
double third(int sum)
{
    return double(static_cast<long double>(sum) * (1.0L / 3.0L));
}

int channelSum(quint32 rgb)
{
    return int((rgb >> 16) & 0xff) + int((rgb >> 8) & 0xff) + int(rgb & 0xff);
}

// An 8-bit channel stored in `bits` bits (its top bits), then widened by
// repeating those bits from the top, as a reader must do.
quint32 throughChannel(quint32 value8, int bits)
{
    if (bits >= 8)
        return value8;
    const quint32 v = value8 >> (8 - bits);
    quint32 r = 0;
    int filled = 0;
    for (; filled < 8; filled += bits)
        r = (r << bits) | v;
    return (r >> (filled - 8)) & 0xff;
}

quint32 throughMasks(quint32 rgb, int redBits, int greenBits, int blueBits)
{
    return throughChannel((rgb >> 16) & 0xff, redBits) << 16 | throughChannel((rgb >> 8) & 0xff, greenBits) << 8
         | throughChannel(rgb & 0xff, blueBits);
}

const QList<quint32> kColours = {0x000000, 0xffffff, 0x5a3c1e, 0x123456, 0xff0080, 0x00ff00,
                                 0x808080, 0x0000ff, 0xc0ffee, 0x7f7f7f, 0xfe0102};

// A palette of distinct colours, not a grey ramp, so an 8-bit reader that
// looked colours up would be caught.
QList<quint32> colourPalette(int size)
{
    QList<quint32> palette;
    for (int i = 0; i < size; ++i)
        palette.append(kColours[i % kColours.size()] ^ quint32(i * 0x010203));
    return palette;
}

// A 7 x 3 image (odd width: rows need padding) of every variant.
Image sample(int bpp, int headerSize, BmpWriter::Compression compression = BmpWriter::Rgb)
{
    Image image;
    image.width = 7;
    image.height = 3;
    image.bitsPerPixel = bpp;
    image.headerSize = headerSize;
    image.compression = compression;
    const int colours = bpp <= 8 ? (bpp == 8 ? 20 : 1 << bpp) : 0;
    image.palette = colourPalette(colours);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const int k = x * 3 + y * 5;
            image.pixels.append(bpp <= 8 ? quint32(k % colours) : kColours[k % kColours.size()]);
        }
    }
    return image;
}

Image withTopDown(Image image) { image.topDown = true; return image; }
Image withGap(Image image, int gap) { image.gapBeforePixels = gap; return image; }
Image withMasks(Image image, quint32 r, quint32 g, quint32 b, quint32 a = 0)
{
    image.redMask = r;
    image.greenMask = g;
    image.blueMask = b;
    image.alphaMask = a;
    return image;
}

// The colour a reader must give pixel i of `image`.
quint32 expectedColour(const Image &image, int i, int redBits, int greenBits, int blueBits)
{
    const quint32 p = image.pixels.value(i);
    if (image.bitsPerPixel <= 8)
        return image.palette.value(p, 0);
    return throughMasks(p, redBits, greenBits, blueBits);
}

double expectedBrightness(const Image &image, int i, int redBits, int greenBits, int blueBits)
{
    if (image.bitsPerPixel == 8)
        return image.pixels.value(i);  // the index, whatever the palette says
    return third(channelSum(expectedColour(image, i, redBits, greenBits, blueBits)));
}

std::vector<double> readAll(BitmapFile &file, int x1, int y1, int x2, int y2)
{
    std::vector<double> out(size_t(x2 - x1 + 1) * size_t(y2 - y1 + 1), -1.0);
    file.readBrightness(x1, y1, x2, y2, out.data());
    return out;
}

void patch32(QByteArray &bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xff);
}

void patch16(QByteArray &bytes, int offset, quint32 value)
{
    bytes[offset] = char(value & 0xff);
    bytes[offset + 1] = char((value >> 8) & 0xff);
}

} // namespace

class TestBitmapFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyVariant_data();
    void everyVariant();
    void brightnessRules_data();
    void brightnessRules();
    void partialRectangles_data();
    void partialRectangles();
    void rgb32KeepsDestinationPadding();
    void rleStreams_data();
    void rleStreams();
    void fileMatchesMemoryAcrossOverlappingReads();
    void batchMatchesSingleReads_data();
    void batchMatchesSingleReads();
    void hostile_data();
    void hostile();
    void missingFileAndDirectory();
    void fileShrinksAfterOpen_data();
    void fileShrinksAfterOpen();
    void failedOpenKeepsPreviousImage();
    void rectangleOutsideImageThrows();

private:
    void checkPictures(BitmapFile &file, const std::vector<quint32> &whole);

    QTemporaryDir m_dir;
};

// Every header kind, bit depth and compression, both row orders, gaps before the
// pixels: the whole image's brightness and colours, pixel by pixel.
void TestBitmapFile::everyVariant_data()
{
    QTest::addColumn<Image>("image");
    QTest::addColumn<int>("redBits");
    QTest::addColumn<int>("greenBits");
    QTest::addColumn<int>("blueBits");

    QTest::newRow("core 1") << sample(1, 12) << 8 << 8 << 8;
    QTest::newRow("core 4") << sample(4, 12) << 8 << 8 << 8;
    QTest::newRow("core 8") << sample(8, 12) << 8 << 8 << 8;
    QTest::newRow("core 24") << sample(24, 12) << 8 << 8 << 8;
    QTest::newRow("info 1") << sample(1, 40) << 8 << 8 << 8;
    QTest::newRow("info 4") << sample(4, 40) << 8 << 8 << 8;
    QTest::newRow("info 8") << sample(8, 40) << 8 << 8 << 8;
    QTest::newRow("info 16 (5-5-5)") << sample(16, 40) << 5 << 5 << 5;
    QTest::newRow("info 24") << sample(24, 40) << 8 << 8 << 8;
    QTest::newRow("info 32") << sample(32, 40) << 8 << 8 << 8;
    QTest::newRow("info 16 bitfields 5-6-5") << sample(16, 40, BmpWriter::Bitfields) << 5 << 6 << 5;
    QTest::newRow("info 16 bitfields 4-4-4 alpha")
        << withMasks(sample(16, 40, BmpWriter::AlphaBitfields), 0x0f00, 0x00f0, 0x000f, 0xf000) << 4 << 4 << 4;
    QTest::newRow("info 32 bitfields") << sample(32, 40, BmpWriter::Bitfields) << 8 << 8 << 8;
    QTest::newRow("info 32 bitfields 10-10-10")
        << withMasks(sample(32, 40, BmpWriter::Bitfields), 0x3ff00000, 0x000ffc00, 0x000003ff) << 8 << 8 << 8;
    QTest::newRow("info 32 alphabitfields R G B swapped")
        << withMasks(sample(32, 40, BmpWriter::AlphaBitfields), 0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000)
        << 8 << 8 << 8;
    QTest::newRow("v2 16 bitfields 5-6-5") << sample(16, 52, BmpWriter::Bitfields) << 5 << 6 << 5;
    QTest::newRow("v3 32 bitfields 3-2-3")
        << withMasks(sample(32, 56, BmpWriter::Bitfields), 0xe0, 0x18, 0x07) << 3 << 2 << 3;
    QTest::newRow("v3 16 rgb ignores header masks")
        << withMasks(sample(16, 56), 0xf800, 0x07e0, 0x001f) << 5 << 5 << 5;
    QTest::newRow("v4 24") << sample(24, 108) << 8 << 8 << 8;
    QTest::newRow("v4 4") << sample(4, 108) << 8 << 8 << 8;
    QTest::newRow("v5 8") << sample(8, 124) << 8 << 8 << 8;
    QTest::newRow("v5 32 bitfields 1-7-12")
        << withMasks(sample(32, 124, BmpWriter::Bitfields), 0x80000, 0x7f000, 0xfff) << 1 << 7 << 8;
    QTest::newRow("rle8") << sample(8, 40, BmpWriter::Rle8) << 8 << 8 << 8;
    QTest::newRow("rle4") << sample(4, 40, BmpWriter::Rle4) << 8 << 8 << 8;
    QTest::newRow("rle8 v5 top-down") << withTopDown(sample(8, 124, BmpWriter::Rle8)) << 8 << 8 << 8;
    QTest::newRow("info 1 top-down") << withTopDown(sample(1, 40)) << 8 << 8 << 8;
    QTest::newRow("info 4 top-down") << withTopDown(sample(4, 40)) << 8 << 8 << 8;
    QTest::newRow("info 8 top-down") << withTopDown(sample(8, 40)) << 8 << 8 << 8;
    QTest::newRow("info 24 top-down") << withTopDown(sample(24, 40)) << 8 << 8 << 8;
    QTest::newRow("v5 16 bitfields top-down") << withTopDown(sample(16, 124, BmpWriter::Bitfields)) << 5 << 6 << 5;
    QTest::newRow("info 8 gap 3") << withGap(sample(8, 40), 3) << 8 << 8 << 8;
    QTest::newRow("info 24 gap 100") << withGap(sample(24, 40), 100) << 8 << 8 << 8;
    QTest::newRow("core 4 gap 1") << withGap(sample(4, 12), 1) << 8 << 8 << 8;
    QTest::newRow("info 16 bitfields gap 2") << withGap(sample(16, 40, BmpWriter::Bitfields), 2) << 5 << 6 << 5;
    QTest::newRow("rle4 gap 5") << withGap(sample(4, 40, BmpWriter::Rle4), 5) << 8 << 8 << 8;
}

void TestBitmapFile::everyVariant()
{
    QFETCH(Image, image);
    QFETCH(int, redBits);
    QFETCH(int, greenBits);
    QFETCH(int, blueBits);

    const QString path = m_dir.filePath(QStringLiteral("variant.bmp"));
    BmpWriter::write(path, image);
    BitmapFile fromFile;
    fromFile.open(path);
    BitmapFile fromMemory;
    fromMemory.openBytes(BmpWriter::encode(image), QStringLiteral("variant.bmp"));

    for (BitmapFile *file : {&fromFile, &fromMemory}) {
        QCOMPARE(file->width(), image.width);
        QCOMPARE(file->height(), image.height);
        QCOMPARE(file->bitsPerPixel(), image.bitsPerPixel);
        QCOMPARE(file->isTopDown(), image.topDown);

        const std::vector<double> values = readAll(*file, 0, 0, image.width - 1, image.height - 1);
        std::vector<quint32> rgb(size_t(image.width * image.height));
        file->readRgb32(rgb.data(), image.width);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const int i = y * image.width + x;
                QCOMPARE(values[size_t(x * image.height + y)], expectedBrightness(image, i, redBits, greenBits, blueBits));
                QCOMPARE(rgb[size_t(i)], 0xff000000u | expectedColour(image, i, redBits, greenBits, blueBits));
            }
        }
        checkPictures(*file, rgb);
    }
}

// Pictures for display against the whole image's colours: a reduced one takes
// the pixel its scale lands on; a part of one writes that part and nothing else.
void TestBitmapFile::checkPictures(BitmapFile &file, const std::vector<quint32> &whole)
{
    const int w = file.width(), h = file.height();
    const quint32 untouched = 0x12345678;
    struct Case { int pw, ph, x1, y1, x2, y2; };
    const Case cases[] = {
        {w, h, 0, 0, w - 1, h - 1},
        {std::max(1, w * 2 / 3), std::max(1, h / 2), 0, 0, std::max(1, w * 2 / 3) - 1, std::max(1, h / 2) - 1},
        {w, h, w / 3, std::min(1, h - 1), std::max(w / 3, w - 2), h - 1},
        {std::max(1, w / 2), h, std::max(1, w / 2) - 1, 0, std::max(1, w / 2) - 1, h / 2},
    };
    for (const Case &c : cases) {
        const int line = c.pw + 3;
        std::vector<quint32> picture(size_t(line) * size_t(c.ph), untouched);
        file.readPicture({c.pw, c.ph, c.x1, c.y1, c.x2, c.y2, picture.data(), line});
        for (int py = 0; py < c.ph; ++py) {
            for (int px = 0; px < line; ++px) {
                const bool inside = px >= c.x1 && px <= c.x2 && py >= c.y1 && py <= c.y2;
                const quint32 expected = inside ? whole[size_t((qint64(py) * h / c.ph) * w + qint64(px) * w / c.pw)]
                                                : untouched;
                QCOMPARE(picture[size_t(py * line + px)], expected);
            }
        }
    }
    std::vector<quint32> small(4);
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readPicture({w + 1, h, 0, 0, 0, 0, small.data(), 4}));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readPicture({w, h, 0, 0, w, 0, small.data(), w + 1}));
}

// Single pixels whose brightness is fixed by the rules, by value.
void TestBitmapFile::brightnessRules_data()
{
    QTest::addColumn<Image>("image");
    QTest::addColumn<QList<double>>("expected");  // pixels left to right

    auto pixels = [](int bpp, QList<quint32> values) {
        Image image;
        image.width = int(values.size());
        image.bitsPerPixel = bpp;
        image.pixels = values;
        return image;
    };
    auto raw = [](Image image, BmpWriter::Compression compression, quint32 r, quint32 g, quint32 b) {
        image.compression = compression;
        image.rawValues = true;
        return withMasks(image, r, g, b);
    };

    QTest::newRow("24-bit B30 G60 R90, white, black")
        << pixels(24, {0x5a3c1e, 0xffffff, 0x000000}) << QList<double>{60, 255, 0};
    QTest::newRow("24-bit sums not divisible by 3")
        << pixels(24, {0x000001, 0x000100, 0x010100}) << QList<double>{1.0 / 3.0, 1.0 / 3.0, 2.0 / 3.0};

    Image nonGrey = pixels(8, {0, 7, 3, 200});
    nonGrey.palette = colourPalette(256);
    nonGrey.palette[7] = 0xff0000;
    nonGrey.palette[3] = 0x00ff00;
    nonGrey.palette[200] = 0x00ff00;  // same colour as index 3
    QTest::newRow("8-bit non-grey palette gives the index") << nonGrey << QList<double>{0, 7, 3, 200};
    Image shortPalette = pixels(8, {255});
    shortPalette.palette = {0x123456};
    QTest::newRow("8-bit index beyond the palette") << shortPalette << QList<double>{255};

    Image twoColours = pixels(1, {0, 1});
    twoColours.palette = {0x5a3c1e, 0xffffff};
    QTest::newRow("1-bit through the palette") << twoColours << QList<double>{60, 255};
    Image oneColour = pixels(4, {0, 1, 15});
    oneColour.palette = {0xffffff};
    QTest::newRow("4-bit index beyond the palette is black") << oneColour << QList<double>{255, 0, 0};

    QTest::newRow("16-bit 5-6-5 white, green, black")
        << raw(pixels(16, {0xffff, 0x07e0, 0x0000}), BmpWriter::Bitfields, 0xf800, 0x07e0, 0x001f)
        << QList<double>{255, 85, 0};
    QTest::newRow("16-bit 5-5-5 white, blue 16")
        << pixels(16, {0xffffff, 0x000080}) << QList<double>{255, third(0x84)};
    QTest::newRow("16-bit 5-5-5 stored, top bit ignored")
        << raw(pixels(16, {0x7fff, 0xffff, 0x8000}), BmpWriter::Rgb, 0, 0, 0) << QList<double>{255, 255, 0};
    QTest::newRow("32-bit 10-10-10 top 8 bits")
        << raw(pixels(32, {0x3fffffff, 0x20040007}), BmpWriter::Bitfields, 0x3ff00000, 0x000ffc00, 0x000003ff)
        << QList<double>{255, third(0x80 + 0x40 + 0x01)};
    QTest::newRow("32-bit 4-bit and 3-bit replicate, empty mask is 0")
        << raw(pixels(32, {0xf05, 0x800, 0x007}), BmpWriter::Bitfields, 0xf00, 0, 0x007)
        << QList<double>{third(255 + 0xb6), third(0x88), 85};
    QTest::newRow("32-bit 1-bit masks")
        << raw(pixels(32, {0x7, 0x2}), BmpWriter::Bitfields, 0x4, 0x2, 0x1) << QList<double>{255, 85};
    QTest::newRow("32-bit rgb unused byte ignored")
        << raw(pixels(32, {0xff5a3c1e}), BmpWriter::Rgb, 0, 0, 0) << QList<double>{60};
}

void TestBitmapFile::brightnessRules()
{
    QFETCH(Image, image);
    QFETCH(QList<double>, expected);

    BitmapFile file;
    file.openBytes(BmpWriter::encode(image), QStringLiteral("rules.bmp"));
    const std::vector<double> values = readAll(file, 0, 0, image.width - 1, 0);
    QCOMPARE(QList<double>(values.begin(), values.end()), expected);
}

// Any rectangle is stored column by column and matches the same pixels of the
// whole image, for every way a row starts inside a byte.
void TestBitmapFile::partialRectangles_data()
{
    QTest::addColumn<Image>("image");
    auto make = [](int bpp, BmpWriter::Compression compression, bool topDown) {
        Image image = sample(bpp, 40, compression);
        image.width = 13;
        image.height = 6;
        image.topDown = topDown;
        image.pixels.clear();
        for (int i = 0; i < image.width * image.height; ++i)
            image.pixels.append(bpp <= 8 ? quint32((i * 7) % image.palette.size()) : kColours[(i * 7) % kColours.size()]);
        return image;
    };
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        for (bool topDown : {false, true})
            QTest::addRow("%d bits%s", bpp, topDown ? " top-down" : "") << make(bpp, BmpWriter::Rgb, topDown);
    }
    QTest::newRow("rle4") << make(4, BmpWriter::Rle4, false);
    QTest::newRow("rle8 top-down") << make(8, BmpWriter::Rle8, true);
}

void TestBitmapFile::partialRectangles()
{
    QFETCH(Image, image);
    const QString path = m_dir.filePath(QStringLiteral("partial.bmp"));
    BmpWriter::write(path, image);
    BitmapFile file;
    file.open(path);
    const int w = image.width, h = image.height;
    const std::vector<double> whole = readAll(file, 0, 0, w - 1, h - 1);

    const QList<QRect> rects = {QRect(QPoint(1, 1), QPoint(3, 2)), QRect(QPoint(0, 0), QPoint(0, 0)),
                                QRect(QPoint(w - 1, h - 1), QPoint(w - 1, h - 1)), QRect(QPoint(3, 0), QPoint(10, h - 1)),
                                QRect(QPoint(5, 2), QPoint(5, 4)), QRect(QPoint(0, 3), QPoint(w - 1, 3)),
                                QRect(QPoint(2, 1), QPoint(11, 4))};
    for (const QRect &r : rects) {
        const std::vector<double> part = readAll(file, r.left(), r.top(), r.right(), r.bottom());
        for (int x = r.left(); x <= r.right(); ++x) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                const size_t at = size_t((x - r.left()) * r.height() + (y - r.top()));
                QCOMPARE(part[at], whole[size_t(x * h + y)]);
            }
        }
    }
}

void TestBitmapFile::rgb32KeepsDestinationPadding()
{
    const Image image = sample(24, 40);
    BitmapFile file;
    file.openBytes(BmpWriter::encode(image), QStringLiteral("stride.bmp"));
    const int line = image.width + 3;
    std::vector<quint32> pixels(size_t(line * image.height), 0x12345678u);
    file.readRgb32(pixels.data(), line);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < line; ++x) {
            const quint32 expected = x < image.width ? 0xff000000u | image.pixels[y * image.width + x] : 0x12345678u;
            QCOMPARE(pixels[size_t(y * line + x)], expected);
        }
    }
}

// Hand-made run-length streams: deltas, early ends of line, runs past the row's
// end (clipped), odd literals with their padding, skipped pixels as index 0.
void TestBitmapFile::rleStreams_data()
{
    QTest::addColumn<int>("bpp");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("indices");  // 4 x 3, top row first

    QTest::newRow("rle8 runs, delta, end of line")
        << 8 << QByteArray::fromHex("0307 0000 00020101 0209 0001")
        << QList<int>{0, 9, 9, 0, 0, 0, 0, 0, 7, 7, 7, 0};
    QTest::newRow("rle8 run clipped at the row's end")
        << 8 << QByteArray::fromHex("0605 0000 0104 0000 0003010203 00 0001")
        << QList<int>{1, 2, 3, 0, 4, 0, 0, 0, 5, 5, 5, 5};
    QTest::newRow("rle8 rows end without end of bitmap")
        << 8 << QByteArray::fromHex("0401 0000 0402 0000 0403 0000")
        << QList<int>{3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1};
    QTest::newRow("rle8 delta below the last row ends it")
        << 8 << QByteArray::fromHex("0401 00020009 0407")
        << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1};
    QTest::newRow("rle4 alternating run, literal of 3")
        << 4 << QByteArray::fromHex("04ab 0000 0003 1230 0000 0001")
        << QList<int>{0, 0, 0, 0, 1, 2, 3, 0, 10, 11, 10, 11};
    QTest::newRow("rle4 literal of 5 with padding, odd run")
        << 4 << QByteArray::fromHex("0003 12 30 0000 0005 123450 00 0001")
        << QList<int>{0, 0, 0, 0, 1, 2, 3, 4, 1, 2, 3, 0};
}

void TestBitmapFile::rleStreams()
{
    QFETCH(int, bpp);
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, indices);

    Image image;
    image.width = 4;
    image.height = 3;
    image.bitsPerPixel = bpp;
    image.compression = bpp == 8 ? BmpWriter::Rle8 : BmpWriter::Rle4;
    image.palette = colourPalette(16);
    image.rleData = stream;
    BitmapFile file;
    file.openBytes(BmpWriter::encode(image), QStringLiteral("rle.bmp"));
    const std::vector<double> values = readAll(file, 0, 0, 3, 2);
    std::vector<quint32> rgb(12);
    file.readRgb32(rgb.data(), 4);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int index = indices[y * 4 + x];
            const double expected = bpp == 8 ? index : third(channelSum(image.palette[index]));
            QCOMPARE(values[size_t(x * 3 + y)], expected);
            QCOMPARE(rgb[size_t(y * 4 + x)], 0xff000000u | image.palette[index]);
        }
    }
}

// A large file, read as many overlapping zones would be read (narrow and wide
// rectangles, one at a time), gives the same values as the same bytes held in memory.
void TestBitmapFile::fileMatchesMemoryAcrossOverlappingReads()
{
    Image image;
    image.width = 1500;
    image.height = 2100;
    image.bitsPerPixel = 24;
    image.pixels.resize(qsizetype(image.width) * image.height);
    for (qsizetype i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = quint32((i * 2654435761u) >> 8) & 0xffffff;
    const QString path = m_dir.filePath(QStringLiteral("large.bmp"));
    BmpWriter::write(path, image);

    BitmapFile file;
    file.open(path);
    BitmapFile memory;
    memory.openBytes(TestSupport::readFile(path), QStringLiteral("large.bmp"));
    const QList<QRect> rects = {
        QRect(100, 100, 40, 40), QRect(120, 120, 40, 40), QRect(90, 130, 80, 10),
        QRect(1400, 100, 50, 60), QRect(0, 0, 1500, 700), QRect(10, 650, 1480, 900),
        QRect(700, 0, 30, 2100), QRect(0, 2000, 1500, 100), QRect(0, 1000, 1500, 1100),
        QRect(110, 110, 5, 5), QRect(705, 10, 30, 30), QRect(1499, 2099, 1, 1),
    };
    for (const QRect &r : rects) {
        const std::vector<double> a = readAll(file, r.left(), r.top(), r.right(), r.bottom());
        const std::vector<double> b = readAll(memory, r.left(), r.top(), r.right(), r.bottom());
        QVERIFY2(a == b, qPrintable(QStringLiteral("rectangle %1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    }
    const QList<double> corner = {third(channelSum(image.pixels[0])),
                                  third(channelSum(image.pixels[image.pixels.size() - 1]))};
    QCOMPARE(readAll(file, 0, 0, 0, 0)[0], corner[0]);
    QCOMPARE(readAll(file, 1499, 2099, 1499, 2099)[0], corner[1]);
}

void TestBitmapFile::batchMatchesSingleReads_data()
{
    QTest::addColumn<int>("bitsPerPixel");
    QTest::addColumn<bool>("topDown");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<QRect>>("rects");
    // Overlapping, side by side, far apart, single pixels, odd nibble edges;
    // tall enough that rows far apart land in separate bands.
    const QList<QRect> mixed = {QRect(10, 10, 40, 40),  QRect(30, 30, 40, 40),   QRect(200, 15, 133, 20),
                                QRect(0, 2990, 333, 10), QRect(101, 1500, 1, 1),  QRect(5, 2000, 7, 600),
                                QRect(3, 11, 1, 90),     QRect(332, 0, 1, 3000)};
    QTest::newRow("24 bottom-up") << 24 << false << 333 << 3000 << mixed;
    QTest::newRow("24 top-down") << 24 << true << 333 << 3000 << mixed;
    QTest::newRow("4 bottom-up") << 4 << false << 333 << 3000 << mixed;
    QTest::newRow("16 top-down") << 16 << true << 333 << 3000 << mixed;
    // A station's grid: zones side by side share their rows (each file row is
    // read once for all of them), staggered so bands start and end inside zones.
    QList<QRect> grid;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            grid << QRect(20 + column * 320, 15 + row * 420 + column * 37, 301, 301);
    grid << QRect(0, 350, 1300, 3) << QRect(640, 0, 2, 1300);
    QTest::newRow("24 grid side by side") << 24 << false << 1300 << 1300 << grid;
    // Rows of 64 kB: a band holds 256 of them, so neither rectangle joins the
    // other's band although their rows overlap.
    QTest::newRow("32 rows overlapping past a band") << 32 << true << 16384 << 301
                                                     << QList<QRect>{QRect(1000, 0, 10, 261), QRect(0, 5, 10, 296)};
}

void TestBitmapFile::batchMatchesSingleReads()
{
    QFETCH(int, bitsPerPixel);
    QFETCH(bool, topDown);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QList<QRect>, rects);
    Image image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bitsPerPixel;
    image.topDown = topDown;
    image.pixels.resize(qsizetype(image.width) * image.height);
    for (qsizetype i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = bitsPerPixel == 4 ? quint32(i * 7 % 16) : quint32((i * 2654435761u) >> 8) & 0xffffff;
    if (bitsPerPixel == 4)
        image.palette = colourPalette(16);
    const QString path = m_dir.filePath(QStringLiteral("batch.bmp"));
    BmpWriter::write(path, image);
    BitmapFile file;
    file.open(path);
    std::vector<std::vector<double>> batch(size_t(rects.size()));
    std::vector<BitmapFile::BrightnessRequest> requests;
    for (int i = 0; i < rects.size(); ++i) {
        const QRect &r = rects[i];
        batch[size_t(i)].assign(size_t(r.width()) * size_t(r.height()), -1.0);
        requests.push_back({r.left(), r.top(), r.right(), r.bottom(), batch[size_t(i)].data()});
    }
    file.readBrightness(requests);
    BitmapFile single;
    single.open(path);
    for (int i = 0; i < rects.size(); ++i) {
        const QRect &r = rects[i];
        QVERIFY2(batch[size_t(i)] == readAll(single, r.left(), r.top(), r.right(), r.bottom()),
                 qPrintable(QStringLiteral("rectangle %1").arg(i)));
    }
    // A rectangle outside the image refuses the whole batch.
    double spare = 0;
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readBrightness(std::vector<BitmapFile::BrightnessRequest>{
                                                {0, 0, 0, 0, &spare}, {0, 0, width, 0, &spare}}));
}

// Damaged, hostile and unsupported files: each is refused with KelvarinError
// naming the file, at open or, for run-length data, at the first read.
void TestBitmapFile::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");  // a part of the expected text

    const QByteArray bmp8 = BmpWriter::encode(sample(8, 40));
    const QByteArray bmp24 = BmpWriter::encode(sample(24, 40));
    const QByteArray fields40 = BmpWriter::encode(sample(16, 40, BmpWriter::Bitfields));
    const QByteArray fieldsV5 = BmpWriter::encode(sample(32, 124, BmpWriter::Bitfields));
    const QByteArray core = BmpWriter::encode(sample(4, 12));
    auto changed = [](QByteArray bytes, const std::function<void(QByteArray &)> &change) {
        change(bytes);
        return bytes;
    };
    const QString notBmp = QStringLiteral("не является точечным рисунком BMP");
    const QString damaged = QStringLiteral("поврежден");
    const QString unsupported = QStringLiteral("не поддерживается");
    const QString tooLarge = QStringLiteral("слишком велико");

    QTest::newRow("empty") << QByteArray() << notBmp;
    QTest::newRow("one byte") << QByteArray("B") << notBmp;
    QTest::newRow("wrong magic") << changed(bmp24, [](QByteArray &b) { b[1] = 'A'; }) << notBmp;
    // A PNG signature goes to the PNG reader, which finds the file cut short.
    QTest::newRow("png cut in its header") << QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") << damaged;
    QTest::newRow("text") << QByteArray("BMP is what this is not\n") << unsupported;

    // Cut at every boundary of the headers, the palette and the pixels.
    for (int cut : {2, 6, 10, 14, 17, 18, 22, 30, 46, 53, 54, 55, 54 + 4 * 20, 54 + 4 * 20 + 1,
                    int(bmp8.size()) - 1}) {
        QTest::addRow("8-bit cut at %d", cut) << bmp8.left(cut) << damaged;
    }
    for (int cut : {14 + 12 - 1, 14 + 12, 14 + 12 + 47, int(core.size()) - 1})
        QTest::addRow("core cut at %d", cut) << core.left(cut) << damaged;
    for (int cut : {54, 58, 65})
        QTest::addRow("40-byte bitfields cut in the masks at %d", cut) << fields40.left(cut) << damaged;
    for (int cut : {60, 137, int(fieldsV5.size()) - 2})
        QTest::addRow("v5 bitfields cut at %d", cut) << fieldsV5.left(cut) << damaged;

    for (quint32 size : {0u, 13u, 16u, 64u, 0xffffffffu})
        QTest::addRow("header size %u", size) << changed(bmp24, [=](QByteArray &b) { patch32(b, 14, size); }) << unsupported;
    for (quint32 bpp : {0u, 2u, 7u, 48u, 65535u})
        QTest::addRow("%u bits", bpp) << changed(bmp24, [=](QByteArray &b) { patch16(b, 28, bpp); }) << unsupported;
    QTest::newRow("core 16 bits") << changed(core, [](QByteArray &b) { patch16(b, 24, 16); }) << unsupported;
    QTest::newRow("jpeg") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 4); }) << QStringLiteral("JPEG");
    QTest::newRow("png inside") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 5); }) << QStringLiteral("PNG");
    QTest::newRow("compression 7") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 7); }) << unsupported;
    QTest::newRow("compression huge") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 0x80000001); }) << unsupported;
    QTest::newRow("bitfields on 24 bits") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 3); }) << damaged;
    QTest::newRow("rle8 on 24 bits") << changed(bmp24, [](QByteArray &b) { patch32(b, 30, 1); }) << damaged;
    QTest::newRow("rle4 on 8 bits") << changed(bmp8, [](QByteArray &b) { patch32(b, 30, 2); }) << damaged;

    QTest::newRow("width 0") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, 0); }) << damaged;
    QTest::newRow("width -7") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, quint32(-7)); }) << damaged;
    QTest::newRow("height 0") << changed(bmp24, [](QByteArray &b) { patch32(b, 22, 0); }) << damaged;
    QTest::newRow("core width 0") << changed(core, [](QByteArray &b) { patch16(b, 18, 0); }) << damaged;
    QTest::newRow("width 2^31 - 1") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, 0x7fffffff); }) << tooLarge;
    QTest::newRow("width 262141") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, 262141); }) << tooLarge;
    QTest::newRow("height -2^31") << changed(bmp24, [](QByteArray &b) { patch32(b, 22, 0x80000000); }) << tooLarge;
    QTest::newRow("20000 x 20000") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, 20000); patch32(b, 22, 20000); })
                                  << tooLarge;
    QTest::newRow("width larger than the file") << changed(bmp24, [](QByteArray &b) { patch32(b, 18, 60000); }) << damaged;
    QTest::newRow("top-down taller than the file") << changed(bmp24, [](QByteArray &b) { patch32(b, 22, quint32(-4)); })
                                                   << damaged;

    QTest::newRow("offset beyond the file") << changed(bmp24, [](QByteArray &b) { patch32(b, 10, 0xfffffff0u); }) << damaged;
    QTest::newRow("offset just past the pixels") << changed(bmp24, [](QByteArray &b) { patch32(b, 10, 55); }) << damaged;
    QTest::newRow("offset 0") << changed(bmp24, [](QByteArray &b) { patch32(b, 10, 0); }) << damaged;
    QTest::newRow("offset inside the masks") << changed(fields40, [](QByteArray &b) { patch32(b, 10, 60); }) << damaged;
    QTest::newRow("palette beyond the file")
        << changed(bmp8.left(54 + 40), [](QByteArray &b) { patch32(b, 10, 54 + 1024); patch32(b, 46, 256); }) << damaged;
    QTest::newRow("colours used huge, pixels cut")
        << changed(bmp8.left(bmp8.size() - 4), [](QByteArray &b) { patch32(b, 46, 0xffffffffu); }) << damaged;

    QTest::newRow("non-contiguous mask") << changed(fields40, [](QByteArray &b) { patch32(b, 54, 0xf00f); }) << damaged;
    QTest::newRow("16-bit mask past 16 bits") << changed(fields40, [](QByteArray &b) { patch32(b, 58, 0x1f0000); }) << damaged;
    QTest::newRow("v5 non-contiguous mask") << changed(fieldsV5, [](QByteArray &b) { patch32(b, 62, 0x0101); }) << damaged;

    auto rle = [](int bpp, const char *hex, int width = 4, int height = 3) {
        Image image;
        image.width = width;
        image.height = height;
        image.bitsPerPixel = bpp;
        image.compression = bpp == 8 ? BmpWriter::Rle8 : BmpWriter::Rle4;
        image.palette = colourPalette(16);
        image.rleData = QByteArray::fromHex(hex);
        return BmpWriter::encode(image);
    };
    QTest::newRow("rle8 literal past the data") << rle(8, "0005 0102") << damaged;
    QTest::newRow("rle8 no end of bitmap") << rle(8, "0207") << damaged;
    QTest::newRow("rle8 delta cut") << rle(8, "0002 01") << damaged;
    QTest::newRow("rle8 odd byte at the end") << rle(8, "0207 00") << damaged;
    QTest::newRow("rle4 literal past the data") << rle(4, "0007 1234") << damaged;
    QTest::newRow("rle without data") << rle(8, "0001").chopped(2) << damaged;
    QTest::newRow("rle too large") << rle(8, "0001", 10000, 10000) << tooLarge;
}

void TestBitmapFile::hostile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);

    // Placeholders in the name must reach the message as they stand.
    const QString path = m_dir.filePath(QStringLiteral("hostile %1 %2 файл.bmp"));
    TestSupport::writeFile(path, bytes);
    struct Way { QString name; std::function<void(BitmapFile &)> open; };
    const QList<Way> ways = {
        {QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), [&](BitmapFile &f) { f.open(path); }},
        {QStringLiteral("образ %2.bmp"), [&](BitmapFile &f) { f.openBytes(bytes, QStringLiteral("образ %2.bmp")); }},
    };
    for (const Way &way : ways) {
        BitmapFile file;
        try {
            way.open(file);
            // Only run-length data is checked as late as the first read.
            std::vector<double> values(size_t(file.width()) * size_t(file.height()));
            file.readBrightness(0, 0, file.width() - 1, file.height() - 1, values.data());
            QFAIL("the file was read");
        } catch (const KelvarinError &error) {
            QVERIFY2(error.message().contains(way.name), qPrintable(error.message()));
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
    }
}

void TestBitmapFile::missingFileAndDirectory()
{
    const QString missing = m_dir.filePath(QStringLiteral("нет/такого.bmp"));
    BitmapFile file;
    try {
        file.open(missing);
        QFAIL("a missing file was opened");
    } catch (const KelvarinError &error) {
        QCOMPARE(error.message(), QStringLiteral("Файл %1 не найден.").arg(QDir::toNativeSeparators(missing)));
    }
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.open(m_dir.path()));
    QVERIFY(!file.isOpen());
}

// The file is cut by another program after open(): reads that need the lost
// bytes fail with a message naming the file; they never read past its end.
void TestBitmapFile::fileShrinksAfterOpen_data()
{
    QTest::addColumn<Image>("image");
    QTest::addColumn<int>("cut"); // bytes cut from the end; 0: half the file
    Image big = sample(24, 40);
    big.width = 300;
    big.height = 200;
    big.pixels.resize(300 * 200);
    // A few bytes: the mapped file's last page is still there, holding zeros.
    QTest::newRow("24 bits") << big << 10;
    // Whole pages gone: reading the mapping there faults, and must not crash.
    QTest::newRow("24 bits, half") << big << 0;
    Image rle = sample(8, 40, BmpWriter::Rle8);
    QTest::newRow("rle8") << rle << 10;
}

void TestBitmapFile::fileShrinksAfterOpen()
{
    QFETCH(Image, image);
    QFETCH(int, cut);
    const QString path = m_dir.filePath(QStringLiteral("shrinking.bmp"));
    BmpWriter::write(path, image);
    BitmapFile file;
    file.open(path);
    const qint64 size = QFileInfo(path).size();
    QVERIFY(QFile::resize(path, cut ? size - cut : size / 2));

    std::vector<quint32> rgb(size_t(image.width) * size_t(image.height));
    std::vector<double> row(size_t(image.width));
    const QString expected = QStringLiteral("Файл %1 изменился после открытия: данные изображения обрываются.")
                                 .arg(QDir::toNativeSeparators(path));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            // The top row is the last in a bottom-up file.
            file.readBrightness(0, 0, image.width - 1, 0, row.data());
            QFAIL("a row past the end was read");
        } catch (const KelvarinError &error) {
            QCOMPARE(error.message(), expected);
        }
        try {
            file.readRgb32(rgb.data(), image.width);
            QFAIL("a row past the end was read");
        } catch (const KelvarinError &error) {
            QCOMPARE(error.message(), expected);
        }
    }
}

void TestBitmapFile::failedOpenKeepsPreviousImage()
{
    BitmapFile file;
    file.openBytes(BmpWriter::encode(sample(24, 40)), QStringLiteral("good.bmp"));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.openBytes(QByteArray("BM"), QStringLiteral("bad.bmp")));
    QVERIFY(file.isOpen());
    QCOMPARE(file.path(), QStringLiteral("good.bmp"));
    QCOMPARE(readAll(file, 2, 0, 2, 0)[0], third(channelSum(sample(24, 40).pixels[2])));
    file.close();
    QVERIFY(!file.isOpen());
    QCOMPARE(file.width(), 0);
}

void TestBitmapFile::rectangleOutsideImageThrows()
{
    BitmapFile file;
    file.openBytes(BmpWriter::encode(sample(24, 40)), QStringLiteral("small.bmp"));
    double value = 0;
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readBrightness(0, 0, 7, 0, &value));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readBrightness(-1, 0, 0, 0, &value));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readBrightness(0, 3, 0, 3, &value));
    QVERIFY_THROWS_EXCEPTION(KelvarinError, file.readBrightness(2, 0, 1, 0, &value));
    BitmapFile closed;
    QVERIFY_THROWS_EXCEPTION(KelvarinError, closed.readBrightness(0, 0, 0, 0, &value));
}

QTEST_GUILESS_MAIN(TestBitmapFile)
#include "tst_bitmapfile.moc"

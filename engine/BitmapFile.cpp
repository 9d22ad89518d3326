#include "BitmapFile.h"

#include "KelvarinError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Limits on what a header may declare. A side of up to 262140 pixels and up to
// 2^28 pixels in all is far beyond any camera, yet keeps every byte offset and
// every count of doubles well inside 64 bits. Uncompressed files must also hold
// their whole pixel array, so their allocations are backed by the file's size.
// A run-length stream is not: two bytes may declare the rest of the image, so an
// RLE image, which is decoded whole at one byte per pixel, is capped at 2^26
// pixels (64 MB).
static constexpr qint64 kMaxSide = 65535 * 4;
static constexpr qint64 kMaxPixels = qint64(1) << 28;
static constexpr qint64 kMaxRlePixels = qint64(1) << 26;

// The largest band of rows a batch of rectangles reads at once; the buffer is
// kept for the next image, so after the first one no fresh memory is touched.
static constexpr qint64 kMaxBand = qint64(16) << 20;
// Rows between two rectangles' rows that are read along rather than skipped:
// one read of a little more costs less than two reads.
static constexpr qint64 kBandJoinBytes = qint64(64) << 10;
// Rows read at a time for display.
static constexpr qint64 kDisplayBand = qint64(1) << 20;

enum Compression : quint32 {
    BiRgb = 0,
    BiRle8 = 1,
    BiRle4 = 2,
    BiBitfields = 3,
    BiJpeg = 4,
    BiPng = 5,
    BiAlphaBitfields = 6,
};

// How the bytes of a pixel row (or of a decoded RLE row) become pixels.
enum class PixelKind {
    Packed1,       // 8 pixels a byte, palette
    Packed4,       // 2 pixels a byte, palette
    Index8,        // 1 byte a pixel, brightness is the byte itself
    PaletteBytes,  // 1 byte a pixel, palette (decoded RLE4)
    Bgr24,
    Bgrx32,
    Masks16,
    Masks32,
};

namespace {

// One colour channel of a 16- or 32-bit pixel: (pixel >> shift) & mask keeps its
// top bits (at most 8), and widen maps them to 0..255.
struct Channel
{
    int shift = 0;
    quint32 mask = 0;
    std::array<quint8, 256> widen{};

    quint32 value(quint32 pixel) const { return widen[(pixel >> shift) & mask]; }
};

quint16 le16(const quint8 *p) { return quint16(p[0] | (p[1] << 8)); }
quint32 le32(const quint8 *p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }

// The brightness of every possible sum B + G + R: the sum times the 80-bit value
// nearest to 1/3, rounded to a double. For sums up to 765 this equals sum / 3.0
// rounded once; the product is kept because it is how brightness is defined, and
// detection compares pixels against thresholds exactly.
const std::array<double, 766> &thirds()
{
    static const std::array<double, 766> table = [] {
        std::array<double, 766> t{};
        const long double third = 1.0L / 3.0L;
        for (int sum = 0; sum < 766; ++sum)
            t[sum] = double(static_cast<long double>(sum) * third);
        return t;
    }();
    return table;
}

// Widens a channel of `bits` bits (1..8) to 8 bits by repeating its bits from
// the top, so the channel's full intensity becomes exactly 255 and black stays
// 0: five bits v give v << 3 | v >> 2, six bits v << 2 | v >> 4.
quint8 replicate(quint32 v, int bits)
{
    quint32 r = 0;
    int filled = 0;
    while (filled < 8) {
        r = (r << bits) | v;
        filled += bits;
    }
    return quint8(r >> (filled - 8));
}

Channel makeChannel(quint32 mask)
{
    Channel c;
    if (mask == 0)
        return c;  // an absent channel reads as 0
    const int low = std::countr_zero(mask);
    const int width = std::popcount(mask);
    // A channel wider than 8 bits keeps its top 8 bits.
    const int bits = std::min(width, 8);
    c.shift = low + (width - bits);
    c.mask = (quint32(1) << bits) - 1;
    for (quint32 v = 0; v <= c.mask; ++v)
        c.widen[v] = bits == 8 ? quint8(v) : replicate(v, bits);
    return c;
}

bool contiguous(quint32 mask)
{
    if (mask == 0)
        return true;
    const quint32 shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

} // namespace

struct BitmapFile::Private
{
    ~Private()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool open = false;
    QString name;        // full path, or the name given to openBytes
    int fd = -1;
    QByteArray bytes;    // the whole file when opened from memory
    qint64 fileSize = 0;

    int width = 0;
    int height = 0;
    int bpp = 0;
    bool topDown = false;
    quint32 compression = BiRgb;
    PixelKind kind = PixelKind::Bgr24;
    qint64 pixelOffset = 0;
    qint64 stride = 0;

    std::array<quint32, 256> paletteRgb{};        // 0xffRRGGBB; beyond the palette black
    std::array<double, 256> paletteBrightness{};  // beyond the palette 0
    std::array<Channel, 3> channels;              // blue, green, red
    bool standardMasks32 = false;
    std::vector<quint16> sums16;                  // B + G + R of every 16-bit pixel, built on first use

    std::vector<quint8> decoded;  // an RLE image, one byte a pixel, in file row order
    std::vector<quint8> band;     // rows of a batch read, reused from image to image

    bool isRle() const { return compression == BiRle8 || compression == BiRle4; }
    int fileRow(int y) const { return topDown ? y : height - 1 - y; }

    [[noreturn]] void fail(const QString &textWithName) const;
    [[noreturn]] void damaged(const QString &reason) const;
    [[noreturn]] void unsupported(const QString &reason) const;
    [[noreturn]] void changed() const;
    [[noreturn]] void tooLarge(qint64 w, qint64 h) const;

    void openSource(const QString &path);
    qint64 readAt(qint64 offset, quint8 *dst, qint64 len) const;
    void readExact(qint64 offset, quint8 *dst, qint64 len) const;
    QByteArray readHeaderBytes(qint64 offset, qint64 len) const;

    void parseHeaders();
    void parseCoreHeader(const quint8 *h);
    void parseInfoHeader(const quint8 *h);
    void setSize(qint64 w, qint64 h);
    void readMasks(quint32 headerSize, qint64 &dataStart);
    void setMasks(quint32 red, quint32 green, quint32 blue);
    void readPalette(qint64 paletteOffset, int entrySize, quint32 declared);
    void chooseKind();
    void checkPixelData();

    void ensureDecoded();
    void decodeRle(const quint8 *src, qint64 size);

    const quint8 *rowBytes(int r, qint64 lo) const;

    void brightnessOfRow(const quint8 *p, qint64 lo, int x1, int x2, double *out, qint64 step);
    void checkRect(int x1, int y1, int x2, int y2) const;
    void readBand(const std::vector<BitmapFile::BrightnessRequest> &requests, int r0, int r1, qint64 lo, qint64 hi);
    void readHeld(const BitmapFile::BrightnessRequest &request);
    void colourOfRow(const quint8 *p, quint32 *out) const;
};

// --- Messages -------------------------------------------------------------

void BitmapFile::Private::fail(const QString &textWithName) const
{
    throw KelvarinError(textWithName.arg(name));
}

void BitmapFile::Private::damaged(const QString &reason) const
{
    throw KelvarinError(QStringLiteral("Файл %1 поврежден: %2.").arg(name, reason));
}

void BitmapFile::Private::unsupported(const QString &reason) const
{
    throw KelvarinError(QStringLiteral("Формат файла %1 не поддерживается: %2.").arg(name, reason));
}

void BitmapFile::Private::changed() const
{
    fail(QStringLiteral("Файл %1 изменился после открытия: данные изображения обрываются."));
}

void BitmapFile::Private::tooLarge(qint64 w, qint64 h) const
{
    throw KelvarinError(QStringLiteral("Изображение в файле %1 слишком велико: %2 x %3 точек.")
                            .arg(name, QString::number(w), QString::number(h)));
}

// --- Reading the source ---------------------------------------------------

void BitmapFile::Private::openSource(const QString &path)
{
    name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // Non-blocking, so that a named pipe given as an image cannot hang the open;
    // it is refused below as not a regular file.
    fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            fail(QStringLiteral("Файл %1 не найден."));
        fail(QStringLiteral("Не удалось открыть файл %1 для чтения."));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0)
        fail(QStringLiteral("Не удалось открыть файл %1 для чтения."));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("Файл %1 не является точечным рисунком BMP."));
    fileSize = st.st_size;
}

// Reads up to len bytes at offset; fewer only at the end of the file.
qint64 BitmapFile::Private::readAt(qint64 offset, quint8 *dst, qint64 len) const
{
    if (fd < 0) {
        const qint64 available = std::clamp<qint64>(bytes.size() - offset, 0, len);
        if (available > 0)
            std::memcpy(dst, bytes.constData() + offset, size_t(available));
        return available;
    }
    qint64 done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, dst + done, size_t(len - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Ошибка чтения файла %1."));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// Reads exactly len bytes of what open() found to be there; a shorter read means
// the file has been cut since.
void BitmapFile::Private::readExact(qint64 offset, quint8 *dst, qint64 len) const
{
    if (readAt(offset, dst, len) != len)
        changed();
}

QByteArray BitmapFile::Private::readHeaderBytes(qint64 offset, qint64 len) const
{
    if (offset + len > fileSize)
        damaged(QStringLiteral("заголовок обрывается"));
    QByteArray buffer(len, Qt::Uninitialized);
    if (readAt(offset, reinterpret_cast<quint8 *>(buffer.data()), len) != len)
        damaged(QStringLiteral("заголовок обрывается"));
    return buffer;
}

// --- Headers --------------------------------------------------------------

void BitmapFile::Private::parseHeaders()
{
    quint8 start[18];
    const qint64 got = readAt(0, start, sizeof start);
    if (got < 2 || start[0] != 'B' || start[1] != 'M')
        fail(QStringLiteral("Файл %1 не является точечным рисунком BMP."));
    if (got < qint64(sizeof start))
        damaged(QStringLiteral("заголовок обрывается"));
    pixelOffset = le32(start + 10);
    const quint32 headerSize = le32(start + 14);

    switch (headerSize) {
    case 12: case 40: case 52: case 56: case 108: case 124:
        break;
    default:
        unsupported(QStringLiteral("размер заголовка %1").arg(headerSize));
    }
    const QByteArray header = readHeaderBytes(14, headerSize);
    const auto *h = reinterpret_cast<const quint8 *>(header.constData());
    qint64 dataStart = 14 + qint64(headerSize);
    if (headerSize == 12) {
        parseCoreHeader(h);
    } else {
        parseInfoHeader(h);
        readMasks(headerSize, dataStart);
    }

    if (pixelOffset < dataStart)
        damaged(QStringLiteral("начало данных изображения указывает внутрь заголовка"));
    if (bpp <= 8) {
        const quint32 declared = headerSize == 12 ? 0 : le32(h + 32);
        readPalette(dataStart, headerSize == 12 ? 3 : 4, declared);
    }
    chooseKind();
    checkPixelData();
}

void BitmapFile::Private::parseCoreHeader(const quint8 *h)
{
    // The OS/2 header: unsigned 16-bit sizes, always bottom-up, no compression.
    setSize(le16(h + 4), le16(h + 6));
    bpp = le16(h + 10);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
        unsupported(QStringLiteral("число бит на точку %1").arg(bpp));
    compression = BiRgb;
}

void BitmapFile::Private::parseInfoHeader(const quint8 *h)
{
    const qint64 w = qint32(le32(h + 4));
    const qint64 signedHeight = qint32(le32(h + 8));
    // A negative height marks rows stored top row first.
    topDown = signedHeight < 0;
    setSize(w, topDown ? -signedHeight : signedHeight);
    bpp = le16(h + 14);
    compression = le32(h + 16);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        unsupported(QStringLiteral("число бит на точку %1").arg(bpp));

    switch (compression) {
    case BiRgb:
        return;
    case BiRle8:
    case BiRle4:
        if (bpp != (compression == BiRle8 ? 8 : 4))
            damaged(QStringLiteral("сжатие RLE не подходит к %1 битам на точку").arg(bpp));
        if (qint64(width) * height > kMaxRlePixels)
            tooLarge(width, height);
        return;
    case BiBitfields:
    case BiAlphaBitfields:
        if (bpp != 16 && bpp != 32)
            damaged(QStringLiteral("маски цветов не подходят к %1 битам на точку").arg(bpp));
        return;
    case BiJpeg:
        unsupported(QStringLiteral("сжатие JPEG"));
    case BiPng:
        unsupported(QStringLiteral("сжатие PNG"));
    default:
        unsupported(QStringLiteral("сжатие %1").arg(compression));
    }
}

void BitmapFile::Private::setSize(qint64 w, qint64 h)
{
    if (w <= 0 || h <= 0)
        damaged(QStringLiteral("недопустимый размер изображения %1 x %2").arg(w).arg(h));
    if (w > kMaxSide || h > kMaxSide || w * h > kMaxPixels)
        tooLarge(w, h);
    width = int(w);
    height = int(h);
}

// Colour masks follow a 40-byte header (three, or four with alpha) or sit inside
// the larger headers. Only the colour masks matter here; alpha is not shown.
void BitmapFile::Private::readMasks(quint32 headerSize, qint64 &dataStart)
{
    if (compression != BiBitfields && compression != BiAlphaBitfields) {
        if (bpp == 16)
            setMasks(0x7c00, 0x03e0, 0x001f);  // 16-bit BI_RGB is 5-5-5
        return;
    }
    QByteArray masks;
    if (headerSize == 40) {
        const int count = compression == BiAlphaBitfields ? 4 : 3;
        masks = readHeaderBytes(dataStart, 4 * count);
        dataStart += 4 * count;
    } else {
        masks = readHeaderBytes(14 + 40, 12);
    }
    const auto *m = reinterpret_cast<const quint8 *>(masks.constData());
    setMasks(le32(m), le32(m + 4), le32(m + 8));
}

void BitmapFile::Private::setMasks(quint32 red, quint32 green, quint32 blue)
{
    const quint32 allowed = bpp == 16 ? 0xffffu : 0xffffffffu;
    for (quint32 mask : {red, green, blue}) {
        if (!contiguous(mask) || (mask & ~allowed) != 0)
            damaged(QStringLiteral("недопустимая маска цвета 0x%1").arg(mask, 8, 16, QLatin1Char('0')));
    }
    channels = {makeChannel(blue), makeChannel(green), makeChannel(red)};
    standardMasks32 = red == 0xff0000 && green == 0xff00 && blue == 0xff;
}

// The palette has biClrUsed entries, or 2^bpp when that is 0 (always 2^bpp for
// the OS/2 header, whose entries are 3 bytes). Entries past 2^bpp can never be
// used, and entries that would overlap the pixel data are taken as missing, as
// some writers declare a full table and store a short one. Indices beyond the
// palette read as black.
void BitmapFile::Private::readPalette(qint64 paletteOffset, int entrySize, quint32 declared)
{
    const qint64 full = qint64(1) << bpp;
    qint64 count = declared == 0 ? full : std::min<qint64>(declared, full);
    count = std::min(count, (pixelOffset - paletteOffset) / entrySize);
    if (paletteOffset + count * entrySize > fileSize)
        damaged(QStringLiteral("палитра обрывается"));
    std::array<quint8, 256 * 4> raw{};
    readExact(paletteOffset, raw.data(), count * entrySize);
    const auto &third = thirds();
    for (qint64 i = 0; i < count; ++i) {
        const quint8 *e = raw.data() + i * entrySize;
        paletteRgb[i] = 0xff000000u | quint32(e[2]) << 16 | quint32(e[1]) << 8 | e[0];
        paletteBrightness[i] = third[e[0] + e[1] + e[2]];
    }
    for (qint64 i = count; i < 256; ++i)
        paletteRgb[i] = 0xff000000u;
}

void BitmapFile::Private::chooseKind()
{
    switch (bpp) {
    case 1: kind = PixelKind::Packed1; break;
    case 4: kind = compression == BiRle4 ? PixelKind::PaletteBytes : PixelKind::Packed4; break;
    case 8: kind = PixelKind::Index8; break;
    case 16: kind = PixelKind::Masks16; break;
    case 24: kind = PixelKind::Bgr24; break;
    default:
        // 32-bit BI_RGB and the usual masks take the byte path.
        kind = compression == BiRgb || standardMasks32 ? PixelKind::Bgrx32 : PixelKind::Masks32;
        break;
    }
}

void BitmapFile::Private::checkPixelData()
{
    if (isRle()) {
        // Decoded RLE rows hold one byte a pixel.
        stride = width;
        if (pixelOffset >= fileSize)
            damaged(QStringLiteral("данные изображения обрываются"));
        return;
    }
    // Rows are padded to whole 32-bit words. Every row must be in the file now,
    // so that reading any rectangle later cannot run past its end.
    stride = (qint64(width) * bpp + 31) / 32 * 4;
    if (pixelOffset + stride * height > fileSize)
        damaged(QStringLiteral("данные изображения обрываются: файл короче, чем требует заголовок"));
}

// --- Run-length images ----------------------------------------------------

void BitmapFile::Private::ensureDecoded()
{
    if (!decoded.empty())
        return;
    const qint64 size = fileSize - pixelOffset;
    try {
        std::vector<quint8> stream;
        const quint8 *src;
        if (fd < 0) {
            src = reinterpret_cast<const quint8 *>(bytes.constData()) + pixelOffset;
        } else {
            stream.resize(size_t(size));
            readExact(pixelOffset, stream.data(), size);
            src = stream.data();
        }
        decoded.assign(size_t(width) * size_t(height), 0);
        decodeRle(src, size);
    } catch (const std::bad_alloc &) {
        decoded = {};
        fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    } catch (...) {
        decoded = {};
        throw;
    }
}

// Decodes BI_RLE8 and BI_RLE4 into one byte a pixel. Pixels that the stream skips
// (delta, end of line, end of bitmap) stay index 0; runs past the end of a row or
// below the last row are clipped. A stream that ends before its end-of-bitmap
// mark, or a literal that runs past the data, means a damaged file.
void BitmapFile::Private::decodeRle(const quint8 *src, qint64 size)
{
    const bool four = compression == BiRle4;
    qint64 pos = 0;
    qint64 x = 0;
    qint64 y = 0;
    auto put = [&](quint8 index) {
        if (x < width && y < height)
            decoded[size_t(y * width + x)] = index;
        ++x;
    };
    auto truncated = [&] { damaged(QStringLiteral("сжатые данные изображения обрываются")); };

    while (y < height) {
        if (pos + 2 > size)
            truncated();
        const quint8 count = src[pos];
        const quint8 value = src[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? quint8(i % 2 == 0 ? value >> 4 : value & 0x0f) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta: move right and down
            if (pos + 2 > size)
                truncated();
            x += src[pos];
            y += src[pos + 1];
            pos += 2;
        } else {  // a literal of `value` pixels, padded to a 16-bit boundary
            const qint64 dataBytes = four ? (value + 1) / 2 : value;
            if (pos + dataBytes > size)
                truncated();
            for (int i = 0; i < value; ++i) {
                const quint8 b = src[pos + (four ? i / 2 : i)];
                put(four ? quint8(i % 2 == 0 ? b >> 4 : b & 0x0f) : b);
            }
            pos += dataBytes + (dataBytes & 1);
        }
    }
}

// The byte at offset lo of file row r of an image held in memory: a decoded
// RLE image, or a file opened from bytes.
const quint8 *BitmapFile::Private::rowBytes(int r, qint64 lo) const
{
    if (isRle())
        return decoded.data() + qint64(r) * width + lo;
    return reinterpret_cast<const quint8 *>(bytes.constData()) + pixelOffset + r * stride + lo;
}

// --- Pixels ---------------------------------------------------------------

// Brightness of pixels x1..x2 of one row whose bytes from offset lo start at p;
// out receives them `step` apart (the rectangle is stored column by column).
void BitmapFile::Private::brightnessOfRow(const quint8 *p, qint64 lo, int x1, int x2, double *out, qint64 step)
{
    const auto &third = thirds();
    const int n = x2 - x1 + 1;
    switch (kind) {
    case PixelKind::Packed1: {
        const qint64 bit0 = qint64(x1) - lo * 8;
        for (int i = 0; i < n; ++i) {
            const qint64 bit = bit0 + i;
            out[i * step] = paletteBrightness[(p[bit >> 3] >> (7 - (bit & 7))) & 1];
        }
        break;
    }
    case PixelKind::Packed4: {
        const qint64 nibble0 = qint64(x1) - lo * 2;
        for (int i = 0; i < n; ++i) {
            const qint64 nib = nibble0 + i;
            out[i * step] = paletteBrightness[(p[nib >> 1] >> ((nib & 1) ? 0 : 4)) & 0x0f];
        }
        break;
    }
    case PixelKind::Index8:
        // An 8-bit pixel's brightness is its stored index, whatever colour the
        // palette gives it: grey cameras write a grey ramp, and measurements made
        // on 8-bit images have always been on the stored values.
        for (int i = 0; i < n; ++i)
            out[i * step] = p[i];
        break;
    case PixelKind::PaletteBytes:
        for (int i = 0; i < n; ++i)
            out[i * step] = paletteBrightness[p[i]];
        break;
    case PixelKind::Bgr24:
        for (int i = 0; i < n; ++i, p += 3)
            out[i * step] = third[p[0] + p[1] + p[2]];
        break;
    case PixelKind::Bgrx32:
        for (int i = 0; i < n; ++i, p += 4)
            out[i * step] = third[p[0] + p[1] + p[2]];
        break;
    case PixelKind::Masks16:
        if (sums16.empty()) {
            sums16.resize(65536);
            for (quint32 v = 0; v < 65536; ++v)
                sums16[v] = quint16(channels[0].value(v) + channels[1].value(v) + channels[2].value(v));
        }
        for (int i = 0; i < n; ++i, p += 2)
            out[i * step] = third[sums16[le16(p)]];
        break;
    case PixelKind::Masks32:
        for (int i = 0; i < n; ++i, p += 4) {
            const quint32 v = le32(p);
            out[i * step] = third[channels[0].value(v) + channels[1].value(v) + channels[2].value(v)];
        }
        break;
    }
}

// A whole row (bytes from offset 0 at p) as 0xffRRGGBB pixels.
void BitmapFile::Private::colourOfRow(const quint8 *p, quint32 *out) const
{
    auto rgb = [](quint32 r, quint32 g, quint32 b) { return 0xff000000u | r << 16 | g << 8 | b; };
    for (int x = 0; x < width; ++x) {
        switch (kind) {
        case PixelKind::Packed1:
            out[x] = paletteRgb[(p[x >> 3] >> (7 - (x & 7))) & 1];
            break;
        case PixelKind::Packed4:
            out[x] = paletteRgb[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0f];
            break;
        case PixelKind::Index8:
        case PixelKind::PaletteBytes:
            out[x] = paletteRgb[p[x]];
            break;
        case PixelKind::Bgr24:
            out[x] = rgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
            break;
        case PixelKind::Bgrx32:
            out[x] = rgb(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
            break;
        case PixelKind::Masks16: {
            const quint32 v = le16(p + 2 * x);
            out[x] = rgb(channels[2].value(v), channels[1].value(v), channels[0].value(v));
            break;
        }
        case PixelKind::Masks32: {
            const quint32 v = le32(p + 4 * x);
            out[x] = rgb(channels[2].value(v), channels[1].value(v), channels[0].value(v));
            break;
        }
        }
    }
}

// --- Public interface -----------------------------------------------------

BitmapFile::BitmapFile() : d(std::make_unique<Private>()) {}
BitmapFile::~BitmapFile() = default;
BitmapFile::BitmapFile(BitmapFile &&) noexcept = default;
BitmapFile &BitmapFile::operator=(BitmapFile &&) noexcept = default;

// A failed open leaves the object as it was: an image already open stays open.
void BitmapFile::open(const QString &path)
{
    auto p = std::make_unique<Private>();
    p->openSource(path);
    p->parseHeaders();
    p->open = true;
    d = std::move(p);
}

void BitmapFile::openBytes(const QByteArray &bytes, const QString &name)
{
    auto p = std::make_unique<Private>();
    p->name = name;
    p->bytes = bytes;
    p->fileSize = bytes.size();
    p->parseHeaders();
    p->open = true;
    d = std::move(p);
}

void BitmapFile::close()
{
    d = std::make_unique<Private>();
}

bool BitmapFile::isOpen() const { return d && d->open; }
QString BitmapFile::path() const { return d ? d->name : QString(); }
int BitmapFile::width() const { return d ? d->width : 0; }
int BitmapFile::height() const { return d ? d->height : 0; }
int BitmapFile::bitsPerPixel() const { return d ? d->bpp : 0; }
bool BitmapFile::isTopDown() const { return d && d->topDown; }

void BitmapFile::Private::checkRect(int x1, int y1, int x2, int y2) const
{
    if (x1 < 0 || y1 < 0 || x1 > x2 || y1 > y2 || x2 >= width || y2 >= height)
        throw KelvarinError(QStringLiteral("Область (%1, %2) - (%3, %4) выходит за пределы изображения %5.")
                                .arg(x1).arg(y1).arg(x2).arg(y2).arg(name));
}

// Reads file rows r0..r1, bytes lo..hi of each (one read, the bytes between
// rows included), and fills every request's part of those rows.
void BitmapFile::Private::readBand(const std::vector<BitmapFile::BrightnessRequest> &requests, int r0, int r1,
                                   qint64 lo, qint64 hi)
{
    const qint64 size = qint64(r1 - r0) * stride + (hi - lo);
    if (qint64(band.size()) < size)
        band.resize(size_t(size));
    readExact(pixelOffset + qint64(r0) * stride + lo, band.data(), size);
    for (const BitmapFile::BrightnessRequest &q : requests) {
        const int first = std::max(r0, std::min(fileRow(q.y1), fileRow(q.y2)));
        const int last = std::min(r1, std::max(fileRow(q.y1), fileRow(q.y2)));
        const qint64 qlo = qint64(q.x1) * bpp / 8;
        const qint64 column = qint64(q.y2) - q.y1 + 1;
        for (int r = first; r <= last; ++r) {
            const int y = fileRow(r); // the mapping is its own inverse
            brightnessOfRow(band.data() + qint64(r - r0) * stride + (qlo - lo), qlo, q.x1, q.x2,
                            q.out + (y - q.y1), column);
        }
    }
}

// One rectangle of an image held in memory (after ensureDecoded for RLE).
void BitmapFile::Private::readHeld(const BitmapFile::BrightnessRequest &q)
{
    const qint64 lo = qint64(q.x1) * (isRle() ? 8 : bpp) / 8;
    const qint64 column = qint64(q.y2) - q.y1 + 1;
    for (int y = q.y1; y <= q.y2; ++y)
        brightnessOfRow(rowBytes(fileRow(y), lo), lo, q.x1, q.x2, q.out + (y - q.y1), column);
}

void BitmapFile::readBrightness(const std::vector<BrightnessRequest> &requests)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    for (const BrightnessRequest &q : requests)
        d->checkRect(q.x1, q.y1, q.x2, q.y2);
    if (d->isRle() || d->fd < 0) {
        if (d->isRle())
            d->ensureDecoded();
        for (const BrightnessRequest &q : requests)
            d->readHeld(q);
        return;
    }
    // Row spans of the requests in file order, merged into bands.
    struct Span { int r0, r1; qint64 lo, hi; const BrightnessRequest *request; };
    std::vector<Span> spans;
    for (const BrightnessRequest &q : requests) {
        spans.push_back({std::min(d->fileRow(q.y1), d->fileRow(q.y2)), std::max(d->fileRow(q.y1), d->fileRow(q.y2)),
                         qint64(q.x1) * d->bpp / 8, (qint64(q.x2 + 1) * d->bpp + 7) / 8, &q});
    }
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.r0 < b.r0; });
    const qint64 joinRows = std::max<qint64>(1, kBandJoinBytes / std::max<qint64>(d->stride, 1));
    const qint64 bandRows = std::max<qint64>(1, kMaxBand / std::max<qint64>(d->stride, 1));
    try {
        for (size_t i = 0; i < spans.size();) {
            Span band = spans[i];
            // Only the rectangles merged into a band are filled from it: another
            // one whose rows overlap it (kept out by the band's size) may lie in
            // columns the band never read.
            std::vector<BrightnessRequest> members{*spans[i++].request};
            while (i < spans.size() && spans[i].r0 <= band.r1 + joinRows
                   && qint64(std::max(band.r1, spans[i].r1) - band.r0 + 1) <= bandRows) {
                band.r1 = std::max(band.r1, spans[i].r1);
                band.lo = std::min(band.lo, spans[i].lo);
                band.hi = std::max(band.hi, spans[i].hi);
                members.push_back(*spans[i++].request);
            }
            // A single rectangle taller than a band is read in slices.
            for (qint64 r = band.r0; r <= band.r1; r += bandRows)
                d->readBand(members, int(r), int(std::min<qint64>(band.r1, r + bandRows - 1)), band.lo, band.hi);
        }
    } catch (const std::bad_alloc &) {
        d->band = std::vector<quint8>();
        d->fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

void BitmapFile::readBrightness(int x1, int y1, int x2, int y2, double *out)
{
    readBrightness(std::vector<BrightnessRequest>{{x1, y1, x2, y2, out}});
}

void BitmapFile::readRgb32(quint32 *pixels, qsizetype pixelsPerLine)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    if (pixelsPerLine < d->width)
        throw KelvarinError(QStringLiteral("Недостаточно места для изображения %1.").arg(d->name));
    if (d->isRle() || d->fd < 0) {
        if (d->isRle())
            d->ensureDecoded();
        for (int r = 0; r < d->height; ++r)
            d->colourOfRow(d->rowBytes(r, 0), pixels + qsizetype(d->fileRow(r)) * pixelsPerLine);
        return;
    }
    // Straight from the file in bands: display needs every row once.
    const int band = int(std::max<qint64>(1, kDisplayBand / d->stride));
    try {
        std::vector<quint8> buffer(size_t(std::min<qint64>(band, d->height) * d->stride));
        for (int r0 = 0; r0 < d->height; r0 += band) {
            const int rows = std::min(band, d->height - r0);
            d->readExact(d->pixelOffset + r0 * d->stride, buffer.data(), rows * d->stride);
            for (int i = 0; i < rows; ++i)
                d->colourOfRow(buffer.data() + i * d->stride, pixels + qsizetype(d->fileRow(r0 + i)) * pixelsPerLine);
        }
    } catch (const std::bad_alloc &) {
        d->fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

// Pixels of a bitmap file: run-length streams decoded, and rows turned into
// keys (for detection) or colours (for display) for every pixel kind.

#include "BitmapFilePrivate.h"

#include "KelvarinError.h"
#include "PixelLoops.h"

#include <algorithm>
#include <new>

using namespace BitmapDetail;

// The brightness of every possible sum B + G + R: the sum times the 80-bit value
// nearest to 1/3, rounded to a double. For sums up to 765 this equals sum / 3.0
// rounded once; the product is kept because it is how brightness is defined, and
// detection compares pixels against thresholds exactly.
const std::array<double, 766> &BitmapDetail::thirds()
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

// The brightness of each key: the palette's for palette images, the stored
// index for 8-bit ones, a third of the channel sum for the rest.
BitmapFile::KeyTable BitmapFile::Private::keyTable()
{
    static const std::array<double, 256> identity = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = i;
        return t;
    }();
    switch (kind) {
    case PixelKind::Packed1:
    case PixelKind::Packed4:
    case PixelKind::PaletteBytes:
        return {paletteBrightness.data(), 256, false};
    case PixelKind::Index8:
        // An 8-bit pixel's brightness is its stored index, whatever colour the
        // palette gives it: grey cameras write a grey ramp, and measurements made
        // on 8-bit images have always been on the stored values.
        return {identity.data(), 256, true};
    case PixelKind::Masks16:
        if (sums16.empty()) {
            sums16.resize(65536);
            for (quint32 v = 0; v < 65536; ++v)
                sums16[v] = quint16(channels[0].value(v) + channels[1].value(v) + channels[2].value(v));
        }
        break;
    default:
        break;
    }
    return {thirds().data(), 766, true};
}

namespace {

template<typename Key>
quint16 keysBy(int n, quint16 *out, const Key &key)
{
    quint16 top = 0;
    for (int i = 0; i < n; ++i) {
        out[i] = key(i);
        top = std::max(top, out[i]);
    }
    return top;
}

} // namespace

// Keys of pixels x1..x2 of one row whose bytes from offset lo start at p, into
// out[0..x2 - x1]; returns the largest. keyTable() must have been called for
// the image.
quint16 BitmapFile::Private::keysOfRow(const quint8 *p, qint64 lo, int x1, int x2, quint16 *out) const
{
    const int n = x2 - x1 + 1;
    switch (kind) {
    case PixelKind::Packed1: {
        const qint64 bit0 = qint64(x1) - lo * 8;
        return keysBy(n, out, [&](int i) {
            const qint64 bit = bit0 + i;
            return quint16((p[bit >> 3] >> (7 - (bit & 7))) & 1);
        });
    }
    case PixelKind::Packed4: {
        const qint64 nibble0 = qint64(x1) - lo * 2;
        return keysBy(n, out, [&](int i) {
            const qint64 nib = nibble0 + i;
            return quint16((p[nib >> 1] >> ((nib & 1) ? 0 : 4)) & 0x0f);
        });
    }
    case PixelKind::Index8:
    case PixelKind::PaletteBytes:
        return PixelLoops::bytes(p, 1, n, out);
    case PixelKind::Bgr24:
        return PixelLoops::byteSums(p, 3, n, out);
    case PixelKind::Bgrx32:
        return PixelLoops::byteSums(p, 4, n, out);
    case PixelKind::Masks16:
        return keysBy(n, out, [&](int i) { return sums16[le16(p + 2 * i)]; });
    case PixelKind::Masks32:
        return keysBy(n, out, [&](int i) {
            const quint32 v = le32(p + 4 * i);
            return quint16(channels[0].value(v) + channels[1].value(v) + channels[2].value(v));
        });
    }
    return 0;
}

// One row y of a request from bytes that start at offset lo of its file row.
// The row's keys are still in the first-level cache when its maxima are taken.
void BitmapFile::Private::keysOfRequestRow(const BitmapFile::KeyRequest &q, const quint8 *p, qint64 lo, int y) const
{
    quint16 *row = q.out + qsizetype(y - q.y1) * q.rowStride;
    const quint16 top = keysOfRow(p, lo, q.x1, q.x2, row);
    if (q.rowMax)
        q.rowMax[y - q.y1] = top;
    if (q.columnMax)
        PixelLoops::raiseColumnMaxima(row, q.x2 - q.x1 + 1, q.columnMax, true);
}

namespace {

quint32 rgb(quint32 r, quint32 g, quint32 b) { return 0xff000000u | r << 16 | g << 8 | b; }

// Colours of n pixels `Bytes` apart stored blue, green, red: one loop the
// compiler can vectorise.
template<int Bytes>
KELVARIN_PIXEL_LOOP void bgrColours(const quint8 *p, int n, quint32 *out)
{
    for (int i = 0; i < n; ++i)
        out[i] = rgb(p[Bytes * i + 2], p[Bytes * i + 1], p[Bytes * i]);
}

} // namespace

// The colour of pixel x of a row whose bytes (from offset 0) start at p.
quint32 BitmapFile::Private::colourAt(const quint8 *p, qint64 x) const
{
    switch (kind) {
    case PixelKind::Packed1:
        return paletteRgb[(p[x >> 3] >> (7 - (x & 7))) & 1];
    case PixelKind::Packed4:
        return paletteRgb[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0f];
    case PixelKind::Index8:
    case PixelKind::PaletteBytes:
        return paletteRgb[p[x]];
    case PixelKind::Bgr24:
        return rgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
    case PixelKind::Bgrx32:
        return rgb(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
    case PixelKind::Masks16: {
        const quint32 v = le16(p + 2 * x);
        return rgb(channels[2].value(v), channels[1].value(v), channels[0].value(v));
    }
    case PixelKind::Masks32: {
        const quint32 v = le32(p + 4 * x);
        return rgb(channels[2].value(v), channels[1].value(v), channels[0].value(v));
    }
    }
    return 0;
}

void BitmapFile::Private::coloursOfSpan(const quint8 *p, int x1, int n, quint32 *out) const
{
    switch (kind) {
    case PixelKind::Bgr24:
        bgrColours<3>(p + qint64(x1) * 3, n, out);
        return;
    case PixelKind::Bgrx32:
        bgrColours<4>(p + qint64(x1) * 4, n, out);
        return;
    default:
        for (int i = 0; i < n; ++i)
            out[i] = colourAt(p, qint64(x1) + i);
    }
}

void BitmapFile::Private::coloursAt(const quint8 *p, const int *xs, int n, quint32 *out) const
{
    for (int i = 0; i < n; ++i)
        out[i] = colourAt(p, xs[i]);
}

// Headers of a bitmap file: the file and information headers, colour masks
// and the palette, checked against the limits and the file's size.

#include "BitmapFilePrivate.h"

#include "KelvarinError.h"

#include <algorithm>
#include <bit>

using namespace BitmapDetail;

// Widens a channel of `bits` bits (1..8) to 8 bits by repeating its bits from
// the top, so the channel's full intensity becomes exactly 255 and black stays
// 0: five bits v give v << 3 | v >> 2, six bits v << 2 | v >> 4.
static quint8 replicate(quint32 v, int bits)
{
    quint32 r = 0;
    int filled = 0;
    while (filled < 8) {
        r = (r << bits) | v;
        filled += bits;
    }
    return quint8(r >> (filled - 8));
}

Channel BitmapDetail::makeChannel(quint32 mask)
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

bool BitmapDetail::contiguous(quint32 mask)
{
    if (mask == 0)
        return true;
    const quint32 shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}


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

// --- Headers --------------------------------------------------------------

void BitmapFile::Private::parseHeaders()
{
    quint8 start[18];
    const qint64 got = readAt(0, start, sizeof start);
    if (got < 2 || start[0] != 'B' || start[1] != 'M')
        fail(QStringLiteral("Файл %1 не является точечным рисунком BMP, изображением PNG, TIFF или JPEG."));
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


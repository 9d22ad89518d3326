#include "BmpWriter.h"

#include "AtomicFile.h"

#include <bit>

static void put16(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

static void put32(QByteArray &out, quint32 v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

static quint32 pixelAt(const BmpWriter::Image &image, int x, int y)
{
    return image.pixels.value(qsizetype(y) * image.width + x, 0);
}

// Places an 8-bit channel value into a mask: its top bits when the mask is
// narrower, padded with zero bits when it is wider.
static quint32 packChannel(quint32 value8, quint32 mask)
{
    if (mask == 0)
        return 0;
    const int low = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const quint32 v = width <= 8 ? value8 >> (8 - width) : value8 << (width - 8);
    return (v << low) & mask;
}

static void standardMasks(const BmpWriter::Image &image, quint32 &r, quint32 &g, quint32 &b)
{
    r = image.redMask;
    g = image.greenMask;
    b = image.blueMask;
    if (r == 0 && g == 0 && b == 0) {
        const bool bits16 = image.bitsPerPixel == 16;
        r = bits16 ? 0xf800 : 0xff0000;
        g = bits16 ? 0x07e0 : 0x00ff00;
        b = bits16 ? 0x001f : 0x0000ff;
    }
}

static bool hasBitfields(const BmpWriter::Image &image)
{
    return image.compression == BmpWriter::Bitfields || image.compression == BmpWriter::AlphaBitfields;
}

// One stored 16- or 32-bit value from a colour 0xRRGGBB.
static quint32 packColour(const BmpWriter::Image &image, quint32 rgb)
{
    if (image.rawValues)
        return rgb;
    const quint32 r8 = (rgb >> 16) & 0xff, g8 = (rgb >> 8) & 0xff, b8 = rgb & 0xff;
    if (!hasBitfields(image)) {
        if (image.bitsPerPixel == 16)
            return (r8 >> 3) << 10 | (g8 >> 3) << 5 | b8 >> 3;
        return rgb & 0xffffff;
    }
    quint32 r, g, b;
    standardMasks(image, r, g, b);
    return packChannel(r8, r) | packChannel(g8, g) | packChannel(b8, b) | image.alphaMask;
}

// One row in file order, padded to a 32-bit boundary.
static QByteArray uncompressedRow(const BmpWriter::Image &image, int y)
{
    QByteArray row;
    const int bpp = image.bitsPerPixel;
    if (bpp < 8) {
        quint32 acc = 0;
        int bits = 0;
        for (int x = 0; x < image.width; ++x) {
            acc = (acc << bpp) | (pixelAt(image, x, y) & ((1u << bpp) - 1));
            bits += bpp;
            if (bits == 8) {
                row.append(char(acc));
                acc = 0;
                bits = 0;
            }
        }
        if (bits > 0)
            row.append(char(acc << (8 - bits)));
    } else {
        for (int x = 0; x < image.width; ++x) {
            const quint32 p = pixelAt(image, x, y);
            switch (bpp) {
            case 8: row.append(char(p)); break;
            case 16: put16(row, packColour(image, p)); break;
            case 24: row.append(char(p & 0xff)).append(char((p >> 8) & 0xff)).append(char((p >> 16) & 0xff)); break;
            default: put32(row, packColour(image, p)); break;
            }
        }
    }
    while (row.size() % 4 != 0)
        row.append('\0');
    return row;
}

// Encodes one row of indices for RLE: runs of two or more equal pixels as
// encoded runs, stretches of three or more differing ones as literals, so both
// modes of a decoder are exercised.
static void rleRow(QByteArray &out, const QList<quint8> &row, bool four)
{
    const int n = int(row.size());
    int x = 0;
    while (x < n) {
        int run = 1;
        while (x + run < n && run < 255 && row[x + run] == row[x])
            ++run;
        if (run >= 2) {
            out.append(char(run)).append(char(four ? row[x] << 4 | row[x] : row[x]));
            x += run;
            continue;
        }
        int literal = 1;
        while (x + literal < n && literal < 255
               && !(x + literal + 1 < n && row[x + literal] == row[x + literal + 1]))
            ++literal;
        if (literal < 3) {
            for (int i = 0; i < literal; ++i)
                out.append(char(1)).append(char(four ? row[x + i] << 4 : row[x + i]));
        } else {
            out.append('\0').append(char(literal));
            QByteArray data;
            for (int i = 0; i < literal; ++i) {
                if (!four)
                    data.append(char(row[x + i]));
                else if (i % 2 == 0)
                    data.append(char(row[x + i] << 4));
                else
                    data.back() = char(data.back() | row[x + i]);
            }
            if (data.size() % 2 != 0)
                data.append('\0');
            out.append(data);
        }
        x += literal;
    }
}

static QByteArray pixelData(const BmpWriter::Image &image)
{
    QByteArray data;
    const bool rle = image.compression == BmpWriter::Rle8 || image.compression == BmpWriter::Rle4;
    if (rle && !image.rleData.isEmpty())
        return image.rleData;
    for (int i = 0; i < image.height; ++i) {
        const int y = image.topDown ? i : image.height - 1 - i;
        if (!rle) {
            data.append(uncompressedRow(image, y));
            continue;
        }
        QList<quint8> row;
        for (int x = 0; x < image.width; ++x)
            row.append(quint8(pixelAt(image, x, y) & (image.compression == BmpWriter::Rle4 ? 0x0f : 0xff)));
        rleRow(data, row, image.compression == BmpWriter::Rle4);
        data.append('\0').append(char(i == image.height - 1 ? 1 : 0));  // end of line or of bitmap
    }
    return data;
}

static QByteArray infoHeader(const BmpWriter::Image &image, qint64 colours, qint64 imageSize)
{
    QByteArray h;
    put32(h, quint32(image.headerSize));
    if (image.headerSize == 12) {
        put16(h, quint32(image.width));
        put16(h, quint32(image.height));
        put16(h, 1);
        put16(h, quint32(image.bitsPerPixel));
        return h;
    }
    put32(h, quint32(image.width));
    put32(h, quint32(image.topDown ? -image.height : image.height));
    put16(h, 1);
    put16(h, quint32(image.bitsPerPixel));
    put32(h, image.compression);
    put32(h, quint32(imageSize));
    put32(h, 2835);  // 72 dots per inch
    put32(h, 2835);
    put32(h, quint32(colours));
    put32(h, 0);
    if (image.headerSize >= 52) {
        // Without bit fields the masks are written as given, which readers ignore.
        quint32 r = image.redMask, g = image.greenMask, b = image.blueMask;
        if (hasBitfields(image))
            standardMasks(image, r, g, b);
        put32(h, r);
        put32(h, g);
        put32(h, b);
    }
    if (image.headerSize >= 56)
        put32(h, image.alphaMask);
    if (image.headerSize >= 108)
        put32(h, 0x73524742);  // colour space 'sRGB'; endpoints and gamma stay 0
    h.resize(image.headerSize, '\0');
    if (image.headerSize >= 124)
        h[108] = 4;  // rendering intent: pictures
    return h;
}

QByteArray BmpWriter::encode(const Image &image)
{
    const bool core = image.headerSize == 12;
    QByteArray masks;
    if (image.headerSize == 40 && hasBitfields(image)) {
        quint32 r, g, b;
        standardMasks(image, r, g, b);
        put32(masks, r);
        put32(masks, g);
        put32(masks, b);
        if (image.compression == AlphaBitfields)
            put32(masks, image.alphaMask);
    }
    QByteArray palette;
    const qint64 entries = core && image.bitsPerPixel <= 8 ? qint64(1) << image.bitsPerPixel : image.palette.size();
    for (qint64 i = 0; i < entries; ++i) {
        const quint32 c = image.palette.value(i, 0);
        palette.append(char(c & 0xff)).append(char((c >> 8) & 0xff)).append(char((c >> 16) & 0xff));
        if (!core)
            palette.append('\0');
    }
    const QByteArray pixels = pixelData(image);
    const qint64 colours = image.colorsUsed >= 0 ? image.colorsUsed : image.palette.size();
    const QByteArray header = infoHeader(image, colours, pixels.size());

    const qint64 offset = 14 + header.size() + masks.size() + palette.size() + image.gapBeforePixels;
    QByteArray out;
    out.append("BM");
    put32(out, quint32(offset + pixels.size()));
    put32(out, 0);
    put32(out, quint32(offset));
    out.append(header).append(masks).append(palette);
    out.append(QByteArray(image.gapBeforePixels, '\0'));
    out.append(pixels);
    return out;
}

void BmpWriter::write(const QString &path, const Image &image)
{
    AtomicFile::writeOrThrow(path, encode(image));
}

#pragma once

// The inside of BitmapFile, shared by its three source files: BitmapHeader.cpp
// (headers, palette and masks), BitmapPixels.cpp (row decoding per pixel kind
// and run-length streams) and BitmapFile.cpp (the file, its mapping and the
// requests). Not for use elsewhere.

#include "BitmapFile.h"
#include "ImageDecoder.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace BitmapDetail {

// Limits on what a header may declare. A side of up to 262140 pixels and up to
// 2^28 pixels in all is far beyond any camera, yet keeps every byte offset and
// every count of doubles well inside 64 bits. Uncompressed files must also hold
// their whole pixel array, so their allocations are backed by the file's size.
// A run-length stream is not: two bytes may declare the rest of the image, so an
// RLE image, which is decoded whole at one byte per pixel, is capped at 2^26
// pixels (64 MB).
inline constexpr qint64 kMaxSide = 65535 * 4;
inline constexpr qint64 kMaxPixels = qint64(1) << 28;
inline constexpr qint64 kMaxRlePixels = qint64(1) << 26;

// The largest band of rows a batch of rectangles reads at once: small enough to
// stay in the processor's cache between the read and the decoding. The buffer
// belongs to the thread and is kept for the next image, so after the first one
// no fresh memory is touched.
inline constexpr qint64 kMaxBand = qint64(256) << 10;
// Rows between two rectangles' rows that are read along rather than skipped:
// one read of a little more costs less than two reads.
inline constexpr qint64 kBandJoinBytes = qint64(64) << 10;
// Rows read at a time for display.
inline constexpr qint64 kDisplayBand = qint64(1) << 20;

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

// One colour channel of a 16- or 32-bit pixel: (pixel >> shift) & mask keeps its
// top bits (at most 8), and widen maps them to 0..255.
struct Channel
{
    int shift = 0;
    quint32 mask = 0;
    std::array<quint8, 256> widen{};

    quint32 value(quint32 pixel) const { return widen[(pixel >> shift) & mask]; }
};

inline quint16 le16(const quint8 *p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 le32(const quint8 *p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }

// The brightness of every possible sum B + G + R (see BitmapPixels.cpp).
const std::array<double, 766> &thirds();
Channel makeChannel(quint32 mask);
bool contiguous(quint32 mask);

} // namespace BitmapDetail

struct BitmapFile::Private
{
    using PixelKind = BitmapDetail::PixelKind;
    using Channel = BitmapDetail::Channel;

    ~Private();

    bool open = false;
    QString name;        // full path, or the name given to openBytes
    int fd = -1;
    QByteArray bytes;    // the whole file when opened from memory
    qint64 fileSize = 0;

    int width = 0;
    int height = 0;
    int bpp = 0;
    bool topDown = false;
    quint32 compression = BitmapDetail::BiRgb;
    PixelKind kind = PixelKind::Bgr24;
    qint64 pixelOffset = 0;
    qint64 stride = 0;

    std::array<quint32, 256> paletteRgb{};        // 0xffRRGGBB; beyond the palette black
    std::array<double, 256> paletteBrightness{};  // beyond the palette 0
    std::array<Channel, 3> channels;              // blue, green, red
    bool standardMasks32 = false;
    std::vector<quint16> sums16;                  // B + G + R of every 16-bit pixel, built on first use

    std::vector<quint8> decoded;  // an RLE image, one byte a pixel, in file row order
    // A PNG, TIFF or JPEG file: its reader, which then holds the descriptor.
    std::unique_ptr<ImageDecoder> other;

    bool isRle() const { return compression == BitmapDetail::BiRle8 || compression == BitmapDetail::BiRle4; }
    int fileRow(int y) const { return topDown ? y : height - 1 - y; }
    // Whether the pixel rows are in memory (opened from bytes, or decoded).
    bool held() const { return isRle() || fd < 0; }

    [[noreturn]] void fail(const QString &textWithName) const;
    [[noreturn]] void damaged(const QString &reason) const;
    [[noreturn]] void unsupported(const QString &reason) const;
    [[noreturn]] void changed() const;
    [[noreturn]] void tooLarge(qint64 w, qint64 h) const;

    // BitmapFile.cpp: the source.
    void openSource(const QString &path);
    // Chooses the reader by the file's first bytes and reads the headers.
    void openAny();
    qint64 readAt(qint64 offset, quint8 *dst, qint64 len) const;
    void readExact(qint64 offset, quint8 *dst, qint64 len) const;
    QByteArray readHeaderBytes(qint64 offset, qint64 len) const;

    // BitmapHeader.cpp
    void parseHeaders();
    void parseCoreHeader(const quint8 *h);
    void parseInfoHeader(const quint8 *h);
    void setSize(qint64 w, qint64 h);
    void readMasks(quint32 headerSize, qint64 &dataStart);
    void setMasks(quint32 red, quint32 green, quint32 blue);
    void readPalette(qint64 paletteOffset, int entrySize, quint32 declared);
    void chooseKind();
    void checkPixelData();

    // BitmapPixels.cpp
    void ensureDecoded();
    void decodeRle(const quint8 *src, qint64 size);
    const quint8 *rowBytes(int r, qint64 lo) const;
    KeyTable keyTable();
    // Keys of pixels x1..x2 of one row whose bytes from offset lo start at p;
    // returns the largest.
    quint16 keysOfRow(const quint8 *p, qint64 lo, int x1, int x2, quint16 *out) const;
    void keysOfRequestRow(const BitmapFile::KeyRequest &q, const quint8 *p, qint64 lo, int y) const;
    // Colours of pixels x1..x1 + n - 1 of a row whose bytes (from offset 0) are at p.
    void coloursOfSpan(const quint8 *p, int x1, int n, quint32 *out) const;
    // Colours of the pixels xs[0..n-1] of such a row.
    void coloursAt(const quint8 *p, const int *xs, int n, quint32 *out) const;
    quint32 colourAt(const quint8 *p, qint64 x) const;

    // BitmapFile.cpp: requests.
    void checkRect(int x1, int y1, int x2, int y2) const;
    void readBand(const std::vector<BitmapFile::KeyRequest> &requests, int r0, int r1, qint64 lo, qint64 hi);
    void readHeld(const std::vector<BitmapFile::KeyRequest> &requests);
    void readBands(const std::vector<BitmapFile::KeyRequest> &requests);
    void readPicture(const BitmapFile::PictureRequest &q);
};

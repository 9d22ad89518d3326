#pragma once

#include "BitmapFile.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <vector>

// Where the bytes of an image file come from: an open descriptor, or memory
// (tests, fuzzing, archive entries). `name` is what messages call the file.
struct ImageBytes
{
    int fd = -1;
    QByteArray bytes;
    qint64 size = 0;
    QString name;

    // Up to len bytes at offset, fewer only at the end; -1 on a read error.
    qint64 readAt(qint64 offset, quint8 *dst, qint64 len) const { return readAt(fd, bytes, offset, dst, len); }
    // The same from the descriptor fd, or from `memory` when fd is negative.
    static qint64 readAt(int fd, const QByteArray &memory, qint64 offset, quint8 *dst, qint64 len);
};

// How the samples of one decoded row lie: what the format readers hand over,
// after their library's own unpacking. 16-bit samples are in the machine's
// byte order; palette rows hold one index a byte.
struct SampleLayout
{
    enum class Colour { Grey, Rgb, Palette };
    Colour colour = Colour::Grey;
    int channels = 1;        // samples a pixel, an alpha sample included
    int bytesPerSample = 1;  // 1 or 2
    bool indexIsBrightness = true;       // palette: the index is the brightness (8-bit palettes)
    std::array<quint32, 256> palette{};  // 0xffRRGGBB; beyond the palette black

    qint64 pixelBytes() const { return qint64(channels) * bytesPerSample; }
};

// A picture format other than the bitmap, behind BitmapFile: PNG, TIFF, JPEG.
//
// Every pixel becomes a key as for bitmaps, and the key table gives its
// brightness on the 0..255 scale:
//   8-bit grey, 8-bit palette: the value (the index) itself;
//   8-bit colour: (B + G + R) / 3 from the same table as bitmaps, so that a
//     lossless copy of a bitmap measures exactly as the bitmap;
//   16-bit grey: value / 257, every one of the 65536 levels kept;
//   16-bit colour: the key is (B + G + R) / 3 on the 16-bit scale (a third
//     of a 16-bit level is what is lost), its brightness key / 257, except
//     that where the sum is 257 times an 8-bit sum the brightness is that of
//     the 8-bit sum: a 16-bit copy of an 8-bit picture (value x 257) measures
//     exactly as the picture.
// Alpha is ignored.
class ImageDecoder
{
public:
    // The file's first bytes name its format; null when none of these.
    static std::unique_ptr<ImageDecoder> forSignature(const quint8 *start, qint64 size, ImageBytes source);

    explicit ImageDecoder(ImageBytes source);
    virtual ~ImageDecoder();
    ImageDecoder(const ImageDecoder &) = delete;
    ImageDecoder &operator=(const ImageDecoder &) = delete;

    // Reads the headers; throws KelvarinError naming the file.
    virtual void open() = 0;
    // Rectangles within the image, their column maxima zeroed.
    virtual void readKeys(const std::vector<BitmapFile::KeyRequest> &requests) = 0;
    virtual void readPicture(const BitmapFile::PictureRequest &request) = 0;

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return int(m_layout.pixelBytes()) * 8; }
    BitmapFile::KeyTable keyTable() const;

protected:
    // Checks the size against the limits bitmaps have, and the decoded size
    // against the file's (a decompression bomb).
    void setSize(qint64 width, qint64 height, qint64 pixelBytes);
    [[noreturn]] void damaged(const QString &reason) const;
    [[noreturn]] void unsupported(const QString &reason) const;
    [[noreturn]] void outOfMemory() const;

    // The largest image row any request needs, and the smallest.
    static int lastRow(const std::vector<BitmapFile::KeyRequest> &requests);
    static int firstRow(const std::vector<BitmapFile::KeyRequest> &requests);
    // Fills every request's part of image row y from the row's samples.
    void keysFromRow(const std::vector<BitmapFile::KeyRequest> &requests, int y, const quint8 *row) const;
    // The image row a picture row shows, and the picture rows image row y gives.
    int imageRow(const BitmapFile::PictureRequest &q, int py) const;
    void pictureFromRow(const BitmapFile::PictureRequest &q, int y, const quint8 *row) const;

    ImageBytes m_source;
    SampleLayout m_layout;
    int m_width = 0;
    int m_height = 0;

private:
    quint16 keysOfRow(const quint8 *row, int x1, int n, quint16 *out) const;
    quint32 colourAt(const quint8 *row, qint64 x) const;
    mutable std::array<double, 256> m_paletteBrightness{};
    mutable bool m_paletteReady = false;
};

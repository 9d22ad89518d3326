#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// An image file opened for measurement: a Windows bitmap (BMP), or a PNG,
// TIFF or JPEG picture, which open() recognises by its first bytes and hands
// to its ImageDecoder (see there for their keys and brightness). What follows
// holds for every format; the rest of this comment describes bitmaps.
//
// open() reads and validates the headers only; pixel rows are read later, and
// only the rows a request needs, so measuring a few zones of a large image
// touches a small part of the file. The brightness of an 8-bit pixel is its
// stored palette index; of every other pixel the sum of its blue, green and red
// (channels narrower than 8 bits widened by bit replication) times the 80-bit
// value nearest to 1/3, rounded to a double.
//
// Every failure throws KelvarinError with a Russian message naming the file:
// not a bitmap, truncated, unsupported variant, absurd or hostile sizes.
class BitmapFile
{
public:
    BitmapFile();
    ~BitmapFile();
    BitmapFile(BitmapFile &&) noexcept;
    BitmapFile &operator=(BitmapFile &&) noexcept;

    void open(const QString &path);
    // The same for a file held in memory (tests, fuzzing); `name` is used in messages.
    void openBytes(const QByteArray &bytes, const QString &name);
    void close();
    bool isOpen() const;

    QString path() const;
    int width() const;
    int height() const;
    int bitsPerPixel() const;
    bool isTopDown() const;

    // Brightness of every pixel of the rectangle x1..x2, y1..y2 (inclusive,
    // within the image, y counted from the top row as displayed), stored column
    // by column: out[(x - x1) * (y2 - y1 + 1) + (y - y1)].
    void readBrightness(int x1, int y1, int x2, int y2, double *out);

    // One rectangle of a batch and where its brightness goes, laid out as above.
    struct BrightnessRequest
    {
        int x1, y1, x2, y2;
        double *out;
    };
    // Several rectangles at once, as detection needs them for all zones of an
    // image: the file rows any of them needs are read in bands, one read per
    // band, so a few zones spread over a large image cost a few reads instead
    // of one per zone row.
    void readBrightness(const std::vector<BrightnessRequest> &requests);

    // Pixels as keys: small integers whose brightness the key table gives. A
    // pixel's key is its B + G + R (after widening) for 16-, 24- and 32-bit
    // images, its stored index for the others. Detection works on keys: two
    // bytes a pixel instead of eight, and one table look-up gives the same
    // double as reading brightness.
    struct KeyTable
    {
        const double *brightness = nullptr; // brightness of key k: brightness[k]
        int size = 0;                       // keys are below size (766, or 65536 for 16-bit pictures)
        bool increasing = false;            // brightness never falls as the key grows
    };
    KeyTable keyTable();

    // One rectangle (inclusive, within the image, y from the top as displayed)
    // whose keys go row by row: out[(y - y1) * rowStride + (x - x1)]. Found on
    // the way when asked for: the largest key of every row, rowMax[y - y1], and
    // of every column, columnMax[x - x1], so that detection can find the rows
    // and columns holding a spot without another pass over the keys.
    struct KeyRequest
    {
        int x1, y1, x2, y2;
        quint16 *out;
        qsizetype rowStride;
        quint16 *rowMax = nullptr;
        quint16 *columnMax = nullptr;
    };
    void readKeys(const std::vector<KeyRequest> &requests);

    // The whole image as 0xffRRGGBB pixels, top row first, for display; 8-bit
    // images through their palette. `pixelsPerLine` is the destination stride.
    void readRgb32(quint32 *pixels, qsizetype pixelsPerLine);

    // Part of a picture of the image for display, as 0xffRRGGBB pixels. The
    // picture is pictureWidth x pictureHeight (the image's size, or smaller to
    // show it reduced): its pixel (px, py) is the image's pixel
    // (px * width / pictureWidth, py * height / pictureHeight). Only the
    // picture's pixels x1..x2, y1..y2 (inclusive) are written, at
    // pixels[py * pixelsPerLine + px]; only the file rows and columns they
    // come from are read. A view showing a part of a large image costs that part.
    struct PictureRequest
    {
        int pictureWidth, pictureHeight;
        int x1, y1, x2, y2;
        quint32 *pixels;
        qsizetype pixelsPerLine;
    };
    void readPicture(const PictureRequest &request);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

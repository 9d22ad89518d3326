#pragma once

#include <QList>
#include <QString>

#include <vector>

// Writes PNG, TIFF and JPEG files with their reference libraries, from plain
// samples, so tests and benchmarks can make exact pictures of every variant
// the engine reads (and copies of bitmaps in those formats).
class PictureWriter
{
public:
    struct Picture
    {
        int width = 1;
        int height = 1;
        int channels = 1;  // 1 grey, 2 grey + alpha, 3 colour, 4 colour + alpha
        int bits = 8;      // 8 or 16; for palettes also 1, 2 or 4
        // Samples row by row, top row first, `channels` a pixel (red first);
        // palette indices for a palette picture.
        std::vector<quint16> samples;
        QList<quint32> palette;  // 0xRRGGBB; a palette picture when not empty

        quint16 &at(int x, int y, int channel = 0) { return samples[size_t((qint64(y) * width + x) * channels + channel)]; }
    };

    enum class TiffCompression { None, Lzw, Deflate, PackBits };
    struct TiffLayout
    {
        TiffCompression compression = TiffCompression::None;
        int rowsPerStrip = 16;
        int tileSize = 0;  // tiles of tileSize x tileSize when not 0
        bool predictor = false;
        bool bigEndian = false;
        bool minIsWhite = false;       // white stored as 0 (grey pictures)
        bool separatePlanes = false;   // each sample of a pixel in its own plane
        int orientation = 1;           // 1 rows from the top, 4 from the bottom, ...
        bool eightBitColourMap = false; // palette levels 0..255 where 16 bits belong
    };

    // The picture of a bitmap file as the engine reads it: 8-bit bitmaps as grey
    // (their stored indices), 1- and 4-bit ones with their palette (as 8-bit
    // colour with `expandPalette`), the others as colour; with `sixteen` every
    // sample becomes value x 257 in 16 bits. Empty (width 0) when unreadable.
    static Picture fromBitmap(const QString &path, bool sixteen, bool expandPalette);

    // Each returns false, with `error` filled, when the file cannot be written.
    static bool png(const QString &path, const Picture &picture, bool interlaced, QString *error);
    static bool tiff(const QString &path, const Picture &picture, const TiffLayout &layout, QString *error);
    static bool jpeg(const QString &path, const Picture &picture, int quality, bool progressive, QString *error);
};

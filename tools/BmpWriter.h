#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes Windows bitmap files of every variant the engine reads, from a plain
// description, so tests and sample data can build exact files: any header size,
// bit depth, palette, colour masks, row order, gap before the pixels and RLE.
class BmpWriter
{
public:
    enum Compression : quint32 { Rgb = 0, Rle8 = 1, Rle4 = 2, Bitfields = 3, AlphaBitfields = 6 };

    struct Image
    {
        int width = 1;
        int height = 1;
        int bitsPerPixel = 24;
        int headerSize = 40;  // 12 (OS/2), 40, 52, 56, 108 or 124
        Compression compression = Rgb;
        bool topDown = false;  // written with a negative height

        // Pixels row by row, top row first as displayed, width * height of them
        // (missing ones are 0). For 1, 4 and 8 bits they are palette indices; for
        // 16 and 32 bits colours 0xRRGGBB packed into the masks, or with
        // rawValues the stored pixel values themselves; for 24 bits 0xRRGGBB.
        QList<quint32> pixels;
        bool rawValues = false;

        // Colours 0xRRGGBB. The OS/2 header always gets 2^bpp entries (padded
        // with black); the others get exactly these, also for 16 to 32 bits.
        QList<quint32> palette;
        // Written as biClrUsed; -1 writes the palette's size.
        qint64 colorsUsed = -1;

        // Colour masks of BI_BITFIELDS and BI_ALPHABITFIELDS; all three 0 means
        // 5-6-5 for 16 bits and 8-8-8 for 32 bits. Also written into 52-byte and
        // larger headers, there as given for the other compressions.
        quint32 redMask = 0;
        quint32 greenMask = 0;
        quint32 blueMask = 0;
        quint32 alphaMask = 0;

        // Zero bytes between the palette (or masks) and the pixel data.
        int gapBeforePixels = 0;

        // For RLE: when not empty, written verbatim as the compressed data
        // instead of encoding `pixels`.
        QByteArray rleData;
    };

    static QByteArray encode(const Image &image);

    // Writes the file whole through AtomicFile; throws KelvarinError on failure.
    static void write(const QString &path, const Image &image);

    // Offsets of header fields, for tests that damage a file on purpose.
    enum Offset { FileSizeAt = 2, PixelOffsetAt = 10, HeaderSizeAt = 14, WidthAt = 18, HeightAt = 22,
                  BitsPerPixelAt = 28, CompressionAt = 30, ColorsUsedAt = 46, MasksAt = 54 };
};

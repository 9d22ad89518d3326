// Copies of the benchmark's bitmaps in the other formats the engine reads.
//
//   make_format_copies SOURCE_DIR TARGET_DIR
//
// Every SOURCE_DIR/*.bmp becomes TARGET_DIR/png/NAME.png (8-bit colour, zlib's
// default level), TARGET_DIR/tif/NAME.tif (uncompressed, strips of 16 rows),
// TARGET_DIR/tif-lzw/NAME.tif and TARGET_DIR/jpg/NAME.jpg (quality 90, baseline).

#include "PictureWriter.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_format_copies SOURCE_DIR TARGET_DIR\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const QDir target(QString::fromLocal8Bit(argv[2]));
    for (const char *sub : {"png", "tif", "tif-lzw", "jpg"})
        target.mkpath(QLatin1String(sub));
    for (const QString &name : source.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name)) {
        const PictureWriter::Picture picture = PictureWriter::fromBitmap(source.filePath(name), false, true);
        const QString base = name.chopped(4);
        QString error;
        PictureWriter::TiffLayout lzw;
        lzw.compression = PictureWriter::TiffCompression::Lzw;
        lzw.predictor = true;
        if (picture.width == 0 || !PictureWriter::png(target.filePath(QStringLiteral("png/") + base + QStringLiteral(".png")), picture, false, &error)
            || !PictureWriter::tiff(target.filePath(QStringLiteral("tif/") + base + QStringLiteral(".tif")), picture, {}, &error)
            || !PictureWriter::tiff(target.filePath(QStringLiteral("tif-lzw/") + base + QStringLiteral(".tif")), picture, lzw, &error)
            || !PictureWriter::jpeg(target.filePath(QStringLiteral("jpg/") + base + QStringLiteral(".jpg")), picture, 90, false, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(error));
            return 1;
        }
    }
    return 0;
}

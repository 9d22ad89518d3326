#include "PictureWriter.h"

#include "BitmapFile.h"
#include "KelvarinError.h"

#include <QFile>

#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>

namespace {

struct FileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForWriting(const QString &path, QString *error)
{
    File f(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!f)
        *error = QStringLiteral("cannot create ") + path;
    return f;
}

// One row as bytes: 8-bit samples as they are, 16-bit ones in the machine's order.
std::vector<quint8> rowBytes(const PictureWriter::Picture &p, int y)
{
    const size_t n = size_t(p.width) * size_t(p.channels);
    const quint16 *s = p.samples.data() + size_t(y) * n;
    std::vector<quint8> row;
    if (p.bits == 16) {
        row.resize(n * 2);
        std::memcpy(row.data(), s, n * 2);
    } else if (p.bits == 8) {
        row.assign(s, s + n);
    } else {  // packed palette indices, first pixel in the high bits
        row.assign((n * size_t(p.bits) + 7) / 8, 0);
        for (size_t i = 0; i < n; ++i) {
            const size_t bit = i * size_t(p.bits);
            row[bit / 8] |= quint8(s[i] << (8 - p.bits - int(bit % 8)));
        }
    }
    return row;
}

} // namespace

PictureWriter::Picture PictureWriter::fromBitmap(const QString &path, bool sixteen, bool expandPalette)
{
    Picture p;
    p.width = 0;
    try {
        BitmapFile bmp;
        bmp.open(path);
        const int w = bmp.width(), h = bmp.height(), bpp = bmp.bitsPerPixel();
        std::vector<quint16> keys(size_t(w) * size_t(h));
        bmp.readKeys({{0, 0, w - 1, h - 1, keys.data(), w}});
        std::vector<quint32> colours(size_t(w) * size_t(h));
        bmp.readRgb32(colours.data(), w);
        p.width = w;
        p.height = h;
        const bool grey = bpp == 8;
        const bool palette = (bpp == 1 || bpp == 4) && !expandPalette && !sixteen;
        p.channels = grey || palette ? 1 : 3;
        p.bits = sixteen ? 16 : palette ? bpp : 8;
        p.samples.resize(size_t(w) * size_t(h) * size_t(p.channels));
        if (palette)
            p.palette = QList<quint32>(1 << bpp, 0);
        const int scale = sixteen ? 257 : 1;
        for (size_t i = 0; i < keys.size(); ++i) {
            const quint32 c = colours[i];
            if (grey || palette) {
                p.samples[i] = quint16(keys[i] * scale);
                if (palette)
                    p.palette[keys[i]] = c & 0xffffff;
            } else {
                p.samples[3 * i] = quint16(((c >> 16) & 0xff) * scale);
                p.samples[3 * i + 1] = quint16(((c >> 8) & 0xff) * scale);
                p.samples[3 * i + 2] = quint16((c & 0xff) * scale);
            }
        }
    } catch (const KelvarinError &) {
        p.width = 0;
    }
    return p;
}

bool PictureWriter::png(const QString &path, const Picture &p, bool interlaced, QString *error)
{
    File f = openForWriting(path, error);
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<std::vector<quint8>> rows;
    std::vector<png_bytep> pointers;
    std::vector<png_color> colours;
    for (quint32 c : p.palette)
        colours.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
    for (int y = 0; y < p.height; ++y)
        rows.push_back(rowBytes(p, y));
    for (auto &row : rows)
        pointers.push_back(row.data());
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = QStringLiteral("libpng failed on ") + path;
        return false;
    }
    png_init_io(png, f.get());
    const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    const int type = p.palette.isEmpty() ? types[p.channels] : PNG_COLOR_TYPE_PALETTE;
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), p.bits, type,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!colours.empty())
        png_set_PLTE(png, info, colours.data(), int(colours.size()));
    png_write_info(png, info);
    if (p.bits == 16)
        png_set_swap(png);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

namespace {

// The picture as its TIFF stores it: white as 0 when asked, rows from the
// bottom up when asked, and one picture a plane when its samples lie in planes.
std::vector<PictureWriter::Picture> storedPlanes(PictureWriter::Picture p, const PictureWriter::TiffLayout &layout)
{
    if (layout.minIsWhite) {
        const quint16 white = quint16((1u << p.bits) - 1);
        for (quint16 &s : p.samples)
            s = quint16(white - s);
    }
    if (layout.orientation == ORIENTATION_BOTLEFT || layout.orientation == ORIENTATION_BOTRIGHT) {
        const size_t row = size_t(p.width) * size_t(p.channels);
        for (int y = 0; y < p.height / 2; ++y)
            std::swap_ranges(p.samples.begin() + qsizetype(size_t(y) * row), p.samples.begin() + qsizetype(size_t(y + 1) * row),
                             p.samples.begin() + qsizetype(size_t(p.height - 1 - y) * row));
    }
    if (!layout.separatePlanes)
        return {p};
    std::vector<PictureWriter::Picture> planes(size_t(p.channels), p);
    for (int c = 0; c < p.channels; ++c) {
        PictureWriter::Picture &plane = planes[size_t(c)];
        plane.channels = 1;
        plane.samples.resize(size_t(p.width) * size_t(p.height));
        for (size_t i = 0; i < plane.samples.size(); ++i)
            plane.samples[i] = p.samples[i * size_t(p.channels) + size_t(c)];
    }
    return planes;
}

bool writeTiles(TIFF *t, const PictureWriter::Picture &p, int tileSize, int plane)
{
    bool ok = true;
    const qint64 rowSize = (qint64(p.width) * p.channels * p.bits + 7) / 8;
    const qint64 tileRow = qint64(tileSize) * p.channels * p.bits / 8;  // tiles are 16 pixels wide or more
    std::vector<quint8> tile(size_t(tileRow * tileSize));
    for (int ty = 0; ty < p.height; ty += tileSize) {
        for (int tx = 0; tx < p.width; tx += tileSize) {
            std::fill(tile.begin(), tile.end(), 0);
            for (int y = ty; y < std::min(p.height, ty + tileSize); ++y) {
                const std::vector<quint8> row = rowBytes(p, y);
                const qint64 from = qint64(tx) * p.channels * p.bits / 8;
                std::memcpy(tile.data() + (y - ty) * tileRow, row.data() + from, size_t(std::min(tileRow, rowSize - from)));
            }
            ok = ok && TIFFWriteTile(t, tile.data(), quint32(tx), quint32(ty), 0, quint16(plane)) >= 0;
        }
    }
    return ok;
}

bool writeStrips(TIFF *t, const PictureWriter::Picture &p, int rowsPerStrip, int plane)
{
    bool ok = true;
    const int strips = (p.height + rowsPerStrip - 1) / rowsPerStrip;
    for (int y0 = 0, strip = 0; y0 < p.height; y0 += rowsPerStrip, ++strip) {
        std::vector<quint8> bytes;
        for (int y = y0; y < std::min(p.height, y0 + rowsPerStrip); ++y) {
            const std::vector<quint8> row = rowBytes(p, y);
            bytes.insert(bytes.end(), row.begin(), row.end());
        }
        ok = ok && TIFFWriteEncodedStrip(t, quint32(plane * strips + strip), bytes.data(), tmsize_t(bytes.size())) >= 0;
    }
    return ok;
}

void setTiffFields(TIFF *t, const PictureWriter::Picture &p, const PictureWriter::TiffLayout &layout)
{
    const int compressions[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS};
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, quint32(p.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, quint32(p.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, quint16(p.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, quint16(p.channels));
    const int photometric = !p.palette.isEmpty() ? PHOTOMETRIC_PALETTE
                            : p.channels >= 3    ? PHOTOMETRIC_RGB
                            : layout.minIsWhite  ? PHOTOMETRIC_MINISWHITE
                                                 : PHOTOMETRIC_MINISBLACK;
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, layout.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compressions[int(layout.compression)]);
    if (layout.orientation != ORIENTATION_TOPLEFT)
        TIFFSetField(t, TIFFTAG_ORIENTATION, quint16(layout.orientation));
    if (p.channels == 2 || p.channels == 4) {
        const quint16 extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (layout.predictor)
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (!p.palette.isEmpty()) {
        // Levels of 16 bits, or of 8 as careless writers store them.
        std::vector<quint16> map(3 * (size_t(1) << p.bits), 0);
        const size_t n = size_t(1) << p.bits;
        const int scale = layout.eightBitColourMap ? 1 : 257;
        for (size_t i = 0; i < size_t(p.palette.size()) && i < n; ++i) {
            const quint32 c = p.palette.at(qsizetype(i));
            map[i] = quint16(((c >> 16) & 0xff) * scale);
            map[n + i] = quint16(((c >> 8) & 0xff) * scale);
            map[2 * n + i] = quint16((c & 0xff) * scale);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
}

} // namespace

bool PictureWriter::tiff(const QString &path, const Picture &p, const TiffLayout &layout, QString *error)
{
    TIFF *t = TIFFOpen(QFile::encodeName(path).constData(), layout.bigEndian ? "wb" : "wl");
    if (!t) {
        *error = QStringLiteral("cannot create ") + path;
        return false;
    }
    setTiffFields(t, p, layout);
    if (layout.tileSize > 0) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, quint32(layout.tileSize));
        TIFFSetField(t, TIFFTAG_TILELENGTH, quint32(layout.tileSize));
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, quint32(layout.rowsPerStrip));
    }
    bool ok = true;
    const std::vector<Picture> planes = storedPlanes(p, layout);
    for (size_t plane = 0; plane < planes.size(); ++plane) {
        ok = ok && (layout.tileSize > 0 ? writeTiles(t, planes[plane], layout.tileSize, int(plane))
                                        : writeStrips(t, planes[plane], layout.rowsPerStrip, int(plane)));
    }
    TIFFClose(t);
    if (!ok)
        *error = QStringLiteral("libtiff failed on ") + path;
    return ok;
}

bool PictureWriter::jpeg(const QString &path, const Picture &p, int quality, bool progressive, QString *error)
{
    File f = openForWriting(path, error);
    if (!f)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f.get());
    info.image_width = JDIMENSION(p.width);
    info.image_height = JDIMENSION(p.height);
    info.input_components = p.channels == 1 ? 1 : 3;
    info.in_color_space = p.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<quint8> row(size_t(p.width) * size_t(info.input_components));
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < info.input_components; ++c)
                row[size_t(x * info.input_components + c)] =
                    quint8(p.samples[size_t((qint64(y) * p.width + x) * p.channels + c)] >> (p.bits == 16 ? 8 : 0));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

#include "PngDecoder.h"

#include "KelvarinError.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

// One pass of libpng over the file. libpng reports errors by a long jump, so
// every call into it goes through the small functions below, which hold no
// object with a destructor: nothing is skipped when it jumps.
struct PngDecoder::Reader
{
    const ImageBytes *source = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    qint64 position = 0;
    std::vector<quint8> buffer = std::vector<quint8>(size_t(64) << 10);
    qint64 bufferStart = 0;
    qint64 bufferEnd = 0;
    bool truncated = false;
    bool readError = false;
    int depth = 0; // bits per sample as stored
    char message[256] = {};

    ~Reader()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

namespace {

using Reader = PngDecoder::Reader;

void onError(png_structp png, png_const_charp message)
{
    auto *reader = static_cast<Reader *>(png_get_error_ptr(png));
    std::strncpy(reader->message, message, sizeof reader->message - 1);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The file in chunks of the reader's buffer.
void readData(png_structp png, png_bytep out, size_t length)
{
    auto *r = static_cast<Reader *>(png_get_io_ptr(png));
    while (length > 0) {
        if (r->position >= r->bufferEnd) {
            const qint64 got = r->source->readAt(r->position, r->buffer.data(), qint64(r->buffer.size()));
            if (got <= 0) {
                (got < 0 ? r->readError : r->truncated) = true;
                png_error(png, "end of file");
            }
            r->bufferStart = r->position;
            r->bufferEnd = r->position + got;
        }
        const size_t n = std::min<size_t>(length, size_t(r->bufferEnd - r->position));
        std::memcpy(out, r->buffer.data() + (r->position - r->bufferStart), n);
        out += n;
        length -= n;
        r->position += qint64(n);
    }
}

// The header and the transformations that give the rows SampleLayout reads:
// one byte an index for palettes, grey of fewer bits widened to 8, 16-bit
// samples in the machine's order. Transparency is left out (alpha is ignored).
bool start(Reader &r)
{
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, onError, onWarning);
    if (!r.png)
        return false;
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return false;
    // Sizes are judged by the reader's own limits, with its own message.
    png_set_user_limits(r.png, 0x7fffffff, 0x7fffffff);
    // Text and profile chunks are not needed; they may not claim much memory.
    png_set_chunk_malloc_max(r.png, png_alloc_size_t(8) << 20);
    png_set_read_fn(r.png, &r, readData);
    png_read_info(r.png, r.info);
    const int colourType = png_get_color_type(r.png, r.info);
    const int depth = png_get_bit_depth(r.png, r.info);
    r.depth = depth;
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_packing(r.png);
    else if (depth < 8)
        png_set_expand_gray_1_2_4_to_8(r.png);
    if (depth == 16)
        png_set_swap(r.png);
    if (png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE)
        png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    return true;
}

bool readRow(Reader &r, quint8 *row)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_read_row(r.png, row, nullptr);
    return true;
}

bool readImage(Reader &r, quint8 **rows)
{
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_read_image(r.png, rows);
    return true;
}

} // namespace

PngDecoder::PngDecoder(ImageBytes source) : ImageDecoder(std::move(source)) {}
PngDecoder::~PngDecoder() = default;

void PngDecoder::failed(const Reader &r) const
{
    if (r.readError)
        throw KelvarinError(QStringLiteral("Ошибка чтения файла %1.").arg(m_source.name));
    if (r.truncated)
        damaged(QStringLiteral("данные изображения обрываются"));
    const QString message = QString::fromLatin1(r.message);
    if (message.contains(QLatin1String("CRC")))
        damaged(QStringLiteral("неверная контрольная сумма (CRC): %1").arg(message));
    if (message.contains(QLatin1String("memory"), Qt::CaseInsensitive))
        outOfMemory();
    damaged(QStringLiteral("ошибка в данных PNG: %1").arg(message));
}

void PngDecoder::open()
{
    Reader r;
    r.source = &m_source;
    if (!start(r))
        failed(r);
    const qint64 w = png_get_image_width(r.png, r.info);
    const qint64 h = png_get_image_height(r.png, r.info);
    const int colourType = png_get_color_type(r.png, r.info);
    const int depth = r.depth;
    m_layout.channels = png_get_channels(r.png, r.info);
    m_layout.bytesPerSample = depth == 16 ? 2 : 1;
    m_layout.colour = (colourType & PNG_COLOR_MASK_PALETTE) ? SampleLayout::Colour::Palette
                      : (colourType & PNG_COLOR_MASK_COLOR) ? SampleLayout::Colour::Rgb
                                                            : SampleLayout::Colour::Grey;
    if (m_layout.colour == SampleLayout::Colour::Palette) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(r.png, r.info, &palette, &count) == 0)
            damaged(QStringLiteral("нет палитры"));
        m_layout.palette.fill(0xff000000u);
        for (int i = 0; i < std::min(count, 256); ++i)
            m_layout.palette[size_t(i)] = 0xff000000u | quint32(palette[i].red) << 16
                                          | quint32(palette[i].green) << 8 | palette[i].blue;
        m_layout.indexIsBrightness = depth == 8;
    }
    m_interlaced = png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE;
    setSize(w, h, m_layout.pixelBytes());
    m_rowBytes = qint64(png_get_rowbytes(r.png, r.info));
    if (m_rowBytes < qint64(m_width) * m_layout.pixelBytes())
        damaged(QStringLiteral("недопустимый заголовок"));
}

template<typename Use>
void PngDecoder::decodeRows(int last, const Use &use)
{
    try {
        Reader r;
        r.source = &m_source;
        if (!start(r))
            failed(r);
        if (m_interlaced) {
            // Every pass reaches the bottom row: the picture is decoded whole.
            std::vector<quint8> image(size_t(m_rowBytes) * size_t(m_height));
            std::vector<quint8 *> rows(static_cast<size_t>(m_height));
            for (int y = 0; y < m_height; ++y)
                rows[size_t(y)] = image.data() + qint64(y) * m_rowBytes;
            if (!readImage(r, rows.data()))
                failed(r);
            for (int y = 0; y <= last; ++y)
                use(y, rows[size_t(y)]);
            return;
        }
        std::vector<quint8> row(static_cast<size_t>(m_rowBytes));
        for (int y = 0; y <= last; ++y) {
            if (!readRow(r, row.data()))
                failed(r);
            use(y, row.data());
        }
    } catch (const std::bad_alloc &) {
        outOfMemory();
    }
}

void PngDecoder::readKeys(const std::vector<BitmapFile::KeyRequest> &requests)
{
    if (requests.empty())
        return;
    const int first = firstRow(requests);
    decodeRows(lastRow(requests), [&](int y, const quint8 *row) {
        if (y >= first)
            keysFromRow(requests, y, row);
    });
}

void PngDecoder::readPicture(const BitmapFile::PictureRequest &q)
{
    const int first = imageRow(q, q.y1);
    decodeRows(imageRow(q, q.y2), [&](int y, const quint8 *row) {
        if (y >= first)
            pictureFromRow(q, y, row);
    });
}

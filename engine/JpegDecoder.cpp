#include "JpegDecoder.h"

#include "KelvarinError.h"

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A progressive file may hold many scans, and each is a pass over the whole
// coefficient buffer: a small file of thousands of scans keeps the reader
// busy for minutes. Real encoders write about ten.
constexpr int kMaxScans = 500;
// What libjpeg may hold at once (a progressive picture's coefficients).
constexpr long kMaxMemory = 1L << 30;
// Columns decoded beyond a request on either side: the chroma upsampling of a
// pixel looks at its neighbours, which must be those of a full decoding.
constexpr int kColumnMargin = 32;

} // namespace

// One pass of libjpeg over the file. libjpeg reports errors by a long jump
// (from error_exit below), so every call into it goes through the small
// functions further down, which hold no object with a destructor.
struct JpegDecoder::Reader
{
    struct Errors
    {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    };
    jpeg_decompress_struct info;
    Errors errors;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    const ImageBytes *file = nullptr;
    qint64 position = 0;
    std::vector<quint8> buffer = std::vector<quint8>(size_t(64) << 10);
    bool created = false;
    bool truncated = false;
    bool readError = false;
    bool tooManyScans = false;
    char message[JMSG_LENGTH_MAX] = {};

    ~Reader()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

namespace {

using Reader = JpegDecoder::Reader;

Reader *readerOf(j_common_ptr info) { return static_cast<Reader *>(info->client_data); }

void errorExit(j_common_ptr info)
{
    Reader *r = readerOf(info);
    info->err->format_message(info, r->message);
    std::longjmp(r->errors.jump, 1);
}

// Warnings (extraneous bytes, say) are let pass, as other readers do.
void outputMessage(j_common_ptr) {}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    Reader *r = readerOf(reinterpret_cast<j_common_ptr>(info));
    const qint64 got = r->file->readAt(r->position, r->buffer.data(), qint64(r->buffer.size()));
    if (got <= 0) {
        (got < 0 ? r->readError : r->truncated) = true;
        std::longjmp(r->errors.jump, 1);
    }
    r->position += got;
    info->src->next_input_byte = r->buffer.data();
    info->src->bytes_in_buffer = size_t(got);
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *src = info->src;
    if (size_t(count) <= src->bytes_in_buffer) {
        src->next_input_byte += count;
        src->bytes_in_buffer -= size_t(count);
        return;
    }
    Reader *r = readerOf(reinterpret_cast<j_common_ptr>(info));
    r->position += qint64(count) - qint64(src->bytes_in_buffer);
    src->bytes_in_buffer = 0;
}

void onProgress(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        Reader *r = readerOf(info);
        r->tooManyScans = true;
        std::longjmp(r->errors.jump, 1);
    }
}

bool readHeader(Reader &r)
{
    r.info.err = jpeg_std_error(&r.errors.manager);
    r.errors.manager.error_exit = errorExit;
    r.errors.manager.output_message = outputMessage;
    if (setjmp(r.errors.jump))
        return false;
    jpeg_create_decompress(&r.info);
    r.created = true;
    r.info.client_data = &r;
    r.info.mem->max_memory_to_use = kMaxMemory;
    r.source.init_source = initSource;
    r.source.fill_input_buffer = fillInputBuffer;
    r.source.skip_input_data = skipInputData;
    r.source.resync_to_restart = jpeg_resync_to_restart;
    r.source.term_source = termSource;
    r.source.bytes_in_buffer = 0;
    r.source.next_input_byte = nullptr;
    r.info.src = &r.source;
    r.progress.progress_monitor = onProgress;
    r.info.progress = &r.progress;
    jpeg_read_header(&r.info, TRUE);
    return true;
}

bool startDecoding(Reader &r, J_COLOR_SPACE space, JDIMENSION *x, JDIMENSION *width, JDIMENSION skip)
{
    if (setjmp(r.errors.jump))
        return false;
    r.info.out_color_space = space;
    // A progressive file cut short would otherwise have its missing detail
    // guessed from neighbouring blocks, and the guess differs when rows are
    // skipped or columns cropped: a picture must read the same whichever part
    // of it is asked for.
    r.info.do_block_smoothing = FALSE;
    jpeg_start_decompress(&r.info);
    if (*width < r.info.output_width)
        jpeg_crop_scanline(&r.info, x, width);
    if (skip > 0 && jpeg_skip_scanlines(&r.info, skip) != skip)
        std::longjmp(r.errors.jump, 1);
    return true;
}

bool readScanline(Reader &r, quint8 *row)
{
    if (setjmp(r.errors.jump))
        return false;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(&r.info, rows, 1) == 1;
}

} // namespace

JpegDecoder::JpegDecoder(ImageBytes source) : ImageDecoder(std::move(source)) {}
JpegDecoder::~JpegDecoder() = default;

void JpegDecoder::failed(const Reader &r) const
{
    if (r.readError)
        throw KelvarinError(QStringLiteral("Ошибка чтения файла %1.").arg(m_source.name));
    if (r.truncated)
        damaged(QStringLiteral("данные изображения обрываются"));
    if (r.tooManyScans)
        throw KelvarinError(QStringLiteral("Файл %1 отклонен: в изображении больше %2 проходов.")
                                .arg(m_source.name).arg(kMaxScans));
    const QString message = QString::fromLatin1(r.message);
    if (message.contains(QLatin1String("Insufficient memory")))
        throw KelvarinError(QStringLiteral("Файл %1 отклонен: изображению нужно больше %2 МБ памяти.")
                                .arg(m_source.name).arg(kMaxMemory >> 20));
    damaged(QStringLiteral("ошибка в данных JPEG: %1").arg(message));
}

void JpegDecoder::open()
{
    Reader r;
    r.file = &m_source;
    if (!readHeader(r))
        failed(r);
    switch (r.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        m_layout.colour = SampleLayout::Colour::Grey;
        m_layout.channels = 1;
        break;
    case JCS_YCbCr:
    case JCS_RGB:
        m_layout.colour = SampleLayout::Colour::Rgb;
        m_layout.channels = 3;
        break;
    default:
        unsupported(QStringLiteral("цветовая модель JPEG %1").arg(int(r.info.jpeg_color_space)));
    }
    if (r.info.data_precision != 8)
        unsupported(QStringLiteral("%1 бит на отсчет").arg(r.info.data_precision));
    setSize(r.info.image_width, r.info.image_height, m_layout.pixelBytes());
}

template<typename Use>
void JpegDecoder::decodeRows(int first, int last, int x1, int x2, const Use &use)
{
    try {
        Reader r;
        r.file = &m_source;
        if (!readHeader(r))
            failed(r);
        const int from = std::max(0, x1 - kColumnMargin);
        JDIMENSION x = JDIMENSION(from);
        JDIMENSION width = JDIMENSION(std::min(m_width - 1, x2 + kColumnMargin) - from + 1);
        const J_COLOR_SPACE space = m_layout.colour == SampleLayout::Colour::Grey ? JCS_GRAYSCALE : JCS_RGB;
        if (!startDecoding(r, space, &x, &width, JDIMENSION(first)))
            failed(r);
        const qint64 pixel = m_layout.pixelBytes();
        // Room for the columns before the decoded ones, so that pixel x lies at x * pixel bytes.
        std::vector<quint8> row(size_t((qint64(x) + width) * pixel));
        for (int y = first; y <= last; ++y) {
            if (!readScanline(r, row.data() + qint64(x) * pixel))
                failed(r);
            use(y, row.data());
        }
    } catch (const std::bad_alloc &) {
        outOfMemory();
    }
}

void JpegDecoder::readKeys(const std::vector<BitmapFile::KeyRequest> &requests)
{
    if (requests.empty())
        return;
    int x1 = m_width - 1, x2 = 0;
    for (const BitmapFile::KeyRequest &q : requests) {
        x1 = std::min(x1, q.x1);
        x2 = std::max(x2, q.x2);
    }
    decodeRows(firstRow(requests), lastRow(requests), x1, x2,
               [&](int y, const quint8 *row) { keysFromRow(requests, y, row); });
}

void JpegDecoder::readPicture(const BitmapFile::PictureRequest &q)
{
    const int x1 = int(qint64(q.x1) * m_width / q.pictureWidth);
    const int x2 = int(qint64(q.x2) * m_width / q.pictureWidth);
    decodeRows(imageRow(q, q.y1), imageRow(q, q.y2), x1, x2,
               [&](int y, const quint8 *row) { pictureFromRow(q, y, row); });
}

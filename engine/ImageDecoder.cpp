#include "ImageDecoder.h"

#include "BitmapFilePrivate.h"
#include "JpegDecoder.h"
#include "KelvarinError.h"
#include "PixelLoops.h"
#include "PngDecoder.h"
#include "TiffDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <unistd.h>

using namespace BitmapDetail;

namespace {

// Past this many decoded bytes an image must not decode to more than this many
// times its file: camera pictures hold noise and compress a few times at most,
// so such a ratio is a file made to exhaust the reader.
constexpr qint64 kBombBytes = qint64(64) << 20;
constexpr qint64 kBombRatio = 256;

const std::array<double, 256> &identity()
{
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = i;
        return t;
    }();
    return table;
}

const std::vector<double> &grey16()
{
    static const std::vector<double> table = [] {
        std::vector<double> t(65536);
        for (int v = 0; v < 65536; ++v)
            t[size_t(v)] = v / 257.0;
        return t;
    }();
    return table;
}

// Keys (B + G + R) / 3 of 16-bit colour; see the class comment.
const std::vector<double> &colour16()
{
    static const std::vector<double> table = [] {
        std::vector<double> t = grey16();
        const auto &third = thirds();
        for (int sum = 0; sum < 766; ++sum)
            t[size_t(sum * 257 / 3)] = third[size_t(sum)];
        return t;
    }();
    return table;
}

quint32 rgb(quint32 r, quint32 g, quint32 b) { return 0xff000000u | r << 16 | g << 8 | b; }

} // namespace

qint64 ImageBytes::readAt(int fd, const QByteArray &memory, qint64 offset, quint8 *dst, qint64 len)
{
    if (fd < 0) {
        const qint64 available = std::clamp<qint64>(memory.size() - offset, 0, len);
        if (available > 0)
            std::memcpy(dst, memory.constData() + offset, size_t(available));
        return available;
    }
    qint64 done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, dst + done, size_t(len - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::unique_ptr<ImageDecoder> ImageDecoder::forSignature(const quint8 *s, qint64 size, ImageBytes source)
{
    static const quint8 png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 8 && std::memcmp(s, png, 8) == 0)
        return std::make_unique<PngDecoder>(std::move(source));
    if (size >= 4 && ((s[0] == 'I' && s[1] == 'I' && s[2] == 42 && s[3] == 0)
                      || (s[0] == 'M' && s[1] == 'M' && s[2] == 0 && s[3] == 42)))
        return std::make_unique<TiffDecoder>(std::move(source));
    if (size >= 3 && s[0] == 0xff && s[1] == 0xd8 && s[2] == 0xff)
        return std::make_unique<JpegDecoder>(std::move(source));
    return nullptr;
}

ImageDecoder::ImageDecoder(ImageBytes source) : m_source(std::move(source)) {}

ImageDecoder::~ImageDecoder()
{
    if (m_source.fd >= 0)
        ::close(m_source.fd);
}

void ImageDecoder::damaged(const QString &reason) const
{
    throw KelvarinError(QStringLiteral("Файл %1 поврежден: %2.").arg(m_source.name, reason));
}

void ImageDecoder::unsupported(const QString &reason) const
{
    throw KelvarinError(QStringLiteral("Формат файла %1 не поддерживается: %2.").arg(m_source.name, reason));
}

void ImageDecoder::outOfMemory() const
{
    throw KelvarinError(QStringLiteral("Недостаточно памяти для чтения файла %1.").arg(m_source.name));
}

void ImageDecoder::setSize(qint64 w, qint64 h, qint64 pixelBytes)
{
    if (w <= 0 || h <= 0)
        damaged(QStringLiteral("недопустимый размер изображения %1 x %2").arg(w).arg(h));
    if (w > kMaxSide || h > kMaxSide || w * h > kMaxPixels)
        throw KelvarinError(QStringLiteral("Изображение в файле %1 слишком велико: %2 x %3 точек.")
                                .arg(m_source.name, QString::number(w), QString::number(h)));
    const qint64 decoded = w * h * pixelBytes;
    if (decoded > kBombBytes && decoded / kBombRatio > m_source.size)
        throw KelvarinError(QStringLiteral("Файл %1 отклонен: изображение %2 x %3 точек в файле из %4 байт "
                                           "(распакованные данные в %5 раз больше файла).")
                                .arg(m_source.name, QString::number(w), QString::number(h),
                                     QString::number(m_source.size),
                                     QString::number(decoded / std::max<qint64>(m_source.size, 1))));
    m_width = int(w);
    m_height = int(h);
}

BitmapFile::KeyTable ImageDecoder::keyTable() const
{
    if (m_layout.bytesPerSample == 2) {
        const std::vector<double> &t = m_layout.colour == SampleLayout::Colour::Rgb ? colour16() : grey16();
        return {t.data(), 65536, true};
    }
    switch (m_layout.colour) {
    case SampleLayout::Colour::Grey:
        return {identity().data(), 256, true};
    case SampleLayout::Colour::Rgb:
        return {thirds().data(), 766, true};
    case SampleLayout::Colour::Palette:
        break;
    }
    if (m_layout.indexIsBrightness)
        return {identity().data(), 256, true};
    if (!m_paletteReady) {
        for (size_t i = 0; i < 256; ++i) {
            const quint32 c = m_layout.palette[i];
            m_paletteBrightness[i] = thirds()[((c >> 16) & 0xff) + ((c >> 8) & 0xff) + (c & 0xff)];
        }
        m_paletteReady = true;
    }
    return {m_paletteBrightness.data(), 256, false};
}

int ImageDecoder::lastRow(const std::vector<BitmapFile::KeyRequest> &requests)
{
    int last = -1;
    for (const BitmapFile::KeyRequest &q : requests)
        last = std::max(last, q.y2);
    return last;
}

int ImageDecoder::firstRow(const std::vector<BitmapFile::KeyRequest> &requests)
{
    int first = std::numeric_limits<int>::max();
    for (const BitmapFile::KeyRequest &q : requests)
        first = std::min(first, q.y1);
    return first;
}

// Keys of pixels x1..x1 + n - 1 of a row; returns the largest.
quint16 ImageDecoder::keysOfRow(const quint8 *row, int x1, int n, quint16 *out) const
{
    const int c = m_layout.channels;
    const bool colour = m_layout.colour == SampleLayout::Colour::Rgb;
    if (m_layout.bytesPerSample == 2) {
        const auto *p = reinterpret_cast<const quint16 *>(row) + qint64(x1) * c;
        return colour ? PixelLoops::wordThirds(p, c, n, out) : PixelLoops::words(p, c, n, out);
    }
    const quint8 *p = row + qint64(x1) * c;
    return colour ? PixelLoops::byteSums(p, c, n, out) : PixelLoops::bytes(p, c, n, out);
}

void ImageDecoder::keysFromRow(const std::vector<BitmapFile::KeyRequest> &requests, int y, const quint8 *row) const
{
    const bool narrow = m_layout.bytesPerSample == 1;
    for (const BitmapFile::KeyRequest &q : requests) {
        if (y < q.y1 || y > q.y2)
            continue;
        const int n = q.x2 - q.x1 + 1;
        quint16 *out = q.out + qsizetype(y - q.y1) * q.rowStride;
        const quint16 top = keysOfRow(row, q.x1, n, out);
        if (q.rowMax)
            q.rowMax[y - q.y1] = top;
        if (q.columnMax)
            PixelLoops::raiseColumnMaxima(out, n, q.columnMax, narrow);
    }
}

quint32 ImageDecoder::colourAt(const quint8 *row, qint64 x) const
{
    const int c = m_layout.channels;
    if (m_layout.bytesPerSample == 2) {
        const auto *p = reinterpret_cast<const quint16 *>(row) + x * c;
        if (m_layout.colour == SampleLayout::Colour::Rgb)
            return rgb(p[0] >> 8, p[1] >> 8, p[2] >> 8);
        return rgb(p[0] >> 8, p[0] >> 8, p[0] >> 8);
    }
    const quint8 *p = row + x * c;
    switch (m_layout.colour) {
    case SampleLayout::Colour::Rgb:
        return rgb(p[0], p[1], p[2]);
    case SampleLayout::Colour::Palette:
        return m_layout.palette[p[0]];
    case SampleLayout::Colour::Grey:
        break;
    }
    return rgb(p[0], p[0], p[0]);
}

int ImageDecoder::imageRow(const BitmapFile::PictureRequest &q, int py) const
{
    return int(qint64(py) * m_height / q.pictureHeight);
}

// Every picture row of the request that shows image row y.
void ImageDecoder::pictureFromRow(const BitmapFile::PictureRequest &q, int y, const quint8 *row) const
{
    // The first picture row at or after image row y: ceil(y * pictureHeight / height).
    int py = int((qint64(y) * q.pictureHeight + m_height - 1) / m_height);
    for (py = std::max(py, q.y1); py <= q.y2 && imageRow(q, py) == y; ++py) {
        quint32 *out = q.pixels + qsizetype(py) * q.pixelsPerLine;
        for (int px = q.x1; px <= q.x2; ++px)
            out[px] = colourAt(row, qint64(px) * m_width / q.pictureWidth);
    }
}

#include "TiffDecoder.h"

#include "KelvarinError.h"
#include "PixelLoops.h"
#include "TiffLibrary.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <new>

// libtiff reads through these callbacks from the image's bytes, and tells its
// errors through the handler, which keeps the last one for the message.
struct TiffDecoder::Client
{
    const ImageBytes *source = nullptr;
    qint64 position = 0;
    bool readError = false;
    char message[256] = {};
};

namespace {

using Client = TiffDecoder::Client;

tmsize_t readProc(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *c = static_cast<Client *>(handle);
    const qint64 got = c->source->readAt(c->position, static_cast<quint8 *>(buffer), qint64(size));
    if (got < 0) {
        c->readError = true;
        return -1;
    }
    c->position += got;
    return tmsize_t(got);
}

tmsize_t writeProc(thandle_t, void *, tmsize_t) { return -1; }

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto *c = static_cast<Client *>(handle);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = c->position;
    else if (whence == SEEK_END)
        base = c->source->size;
    const qint64 target = base + qint64(offset);
    if (target < 0)
        return toff_t(-1);
    c->position = target;
    return toff_t(target);
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t handle) { return toff_t(static_cast<Client *>(handle)->source->size); }

int onError(TIFF *, void *user, const char *module, const char *format, va_list args)
{
    auto *c = static_cast<Client *>(user);
    char text[200];
    std::vsnprintf(text, sizeof text, format, args);
    std::snprintf(c->message, sizeof c->message, "%s%s%s", module ? module : "", module ? ": " : "", text);
    return 1;
}

int onWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

quint32 field32(TIFF *tiff, ttag_t tag, quint32 fallback)
{
    uint32_t value = 0;
    return TiffLibrary::instance().getField(tiff, tag, &value) ? value : fallback;
}

quint16 field16(TIFF *tiff, ttag_t tag, quint16 fallback)
{
    uint16_t value = 0;
    return TiffLibrary::instance().getField(tiff, tag, &value) ? value : fallback;
}

} // namespace

TiffDecoder::TiffDecoder(ImageBytes source) : ImageDecoder(std::move(source)), m_client(std::make_unique<Client>())
{
    m_client->source = &m_source;
}

TiffDecoder::~TiffDecoder()
{
    if (m_tiff)
        TiffLibrary::instance().close(m_tiff);
}

void TiffDecoder::failed(const char *what) const
{
    if (m_client->readError)
        throw KelvarinError(QStringLiteral("Ошибка чтения файла %1.").arg(m_source.name));
    const QString detail = QString::fromLatin1(m_client->message[0] ? m_client->message : what);
    if (detail.contains(QLatin1String("memory"), Qt::CaseInsensitive)
        || detail.contains(QLatin1String("alloc"), Qt::CaseInsensitive))
        throw KelvarinError(QStringLiteral("Файл %1 отклонен: %2.").arg(m_source.name, detail));
    damaged(QStringLiteral("ошибка в данных TIFF: %1").arg(detail));
}

void TiffDecoder::open()
{
    const TiffLibrary &tiff = TiffLibrary::instance();
    TIFFOpenOptions *options = tiff.openOptionsAlloc();
    if (!options)
        outOfMemory();
    tiff.openOptionsSetErrorHandlerExtR(options, onError, m_client.get());
    tiff.openOptionsSetWarningHandlerExtR(options, onWarning, m_client.get());
    // No single allocation beyond what an image within the limits needs.
    tiff.openOptionsSetMaxSingleMemAlloc(options, tmsize_t(1) << 30);
    const QByteArray name = m_source.name.toUtf8();
    m_tiff = tiff.clientOpenExt(name.constData(), "rm", m_client.get(), readProc, writeProc, seekProc, closeProc,
                               sizeProc, nullptr, nullptr, options);
    tiff.openOptionsFree(options);
    if (!m_tiff)
        failed("no first page");
    checkLayout();
    checkOrientation();
    checkBands();
}

// Grey, colour or palette of unsigned samples; 8 or 16 bits, fewer for a
// single sample (widened to a byte). Samples of a pixel together, or in
// planes of 8 or 16 bits.
void TiffDecoder::checkLayout()
{
    const quint16 bits = field16(m_tiff, TIFFTAG_BITSPERSAMPLE, 1);
    const quint16 samples = field16(m_tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    const quint16 planar = field16(m_tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const quint16 format = field16(m_tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    if (bits != 8 && bits != 16 && !((bits == 1 || bits == 2 || bits == 4) && samples == 1))
        unsupported(QStringLiteral("%1 бит на отсчет").arg(bits));
    if (format != SAMPLEFORMAT_UINT)
        unsupported(QStringLiteral("отсчеты не целые без знака"));
    checkPhotometric(field16(m_tiff, TIFFTAG_PHOTOMETRIC, 0xffff), samples);
    m_bits = bits;
    m_planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
    m_layout.channels = samples;
    m_layout.bytesPerSample = bits == 16 ? 2 : 1;
    setSize(field32(m_tiff, TIFFTAG_IMAGEWIDTH, 0), field32(m_tiff, TIFFTAG_IMAGELENGTH, 0), m_layout.pixelBytes());
    if (m_layout.colour == SampleLayout::Colour::Palette)
        readPalette();
}

void TiffDecoder::checkPhotometric(quint16 photometric, quint16 samples)
{
    if ((photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) && samples >= 1 && samples <= 2) {
        m_layout.colour = SampleLayout::Colour::Grey;
        m_invert = photometric == PHOTOMETRIC_MINISWHITE;
    } else if (photometric == PHOTOMETRIC_RGB && samples >= 3 && samples <= 4) {
        m_layout.colour = SampleLayout::Colour::Rgb;
    } else if (photometric == PHOTOMETRIC_PALETTE && samples == 1) {
        m_layout.colour = SampleLayout::Colour::Palette;
    } else {
        unsupported(QStringLiteral("цветовая модель %1 с %2 отсчетами на точку").arg(photometric).arg(samples));
    }
}

// The colour map holds 16-bit levels; a map whose levels all lie below 256 was
// written with 8-bit ones (a common slip of writers), and is read as such. As
// for other palette pictures, an 8-bit index is the brightness itself, and the
// colour gives the brightness of fewer bits.
void TiffDecoder::readPalette()
{
    if (m_bits == 16)
        unsupported(QStringLiteral("палитра из 65536 цветов"));
    quint16 *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TiffLibrary::instance().getField(m_tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        damaged(QStringLiteral("нет палитры"));
    const int count = 1 << m_bits;
    bool wide = false;
    for (int i = 0; i < count; ++i)
        wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
    const int shift = wide ? 8 : 0;
    m_layout.palette.fill(0xff000000u);
    for (int i = 0; i < count; ++i)
        m_layout.palette[size_t(i)] = 0xff000000u | quint32(red[i] >> shift) << 16 | quint32(green[i] >> shift) << 8
                                      | quint32(blue[i] >> shift);
    m_layout.indexIsBrightness = m_bits == 8;
}

// Rows from the top or from the bottom, columns from the left; a picture
// turned or mirrored otherwise is refused rather than measured in the wrong
// coordinates.
void TiffDecoder::checkOrientation()
{
    const quint16 orientation = field16(m_tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (orientation != ORIENTATION_TOPLEFT && orientation != ORIENTATION_BOTLEFT)
        unsupported(QStringLiteral("ориентация %1 (читаются 1: первая строка сверху, и 4: первая строка снизу, "
                                   "первый столбец слева)")
                        .arg(orientation));
    m_bottomUp = orientation == ORIENTATION_BOTLEFT;
}

void TiffDecoder::checkBands()
{
    const TiffLibrary &tiff = TiffLibrary::instance();
    const qint64 samplesPerPlane = m_planes > 1 ? 1 : m_layout.channels;
    m_planeRowBytes = (qint64(m_width) * samplesPerPlane * m_bits + 7) / 8;
    m_rowBytes = qint64(m_width) * m_layout.pixelBytes();
    m_tiled = tiff.isTiled(m_tiff);
    if (m_tiled) {
        m_tileWidth = int(field32(m_tiff, TIFFTAG_TILEWIDTH, 0));
        m_bandRows = int(field32(m_tiff, TIFFTAG_TILELENGTH, 0));
        if (m_tileWidth <= 0 || m_bandRows <= 0 || m_tileWidth > 65536 || m_bandRows > 65536 || m_tileWidth % 8 != 0
            || tiff.tileSize64(m_tiff)
                   != quint64(m_tileWidth) * quint64(m_bandRows) * quint64(samplesPerPlane) * quint64(m_bits) / 8)
            damaged(QStringLiteral("недопустимый размер плиток"));
    } else {
        m_bandRows = int(std::clamp<quint32>(field32(m_tiff, TIFFTAG_ROWSPERSTRIP, quint32(m_height)), 1,
                                              quint32(m_height)));
    }
    if (tiff.scanlineSize64(m_tiff) != quint64(m_planeRowBytes))
        damaged(QStringLiteral("недопустимая длина строки"));
}

// One plane's stored rows of a band: a strip straight into dst, or the tiles
// the columns x1..x2 reach, each copied into its place.
void TiffDecoder::readPlane(int band, int plane, int rows, int x1, int x2, quint8 *dst)
{
    const TiffLibrary &tiff = TiffLibrary::instance();
    const quint32 y = quint32(band) * quint32(m_bandRows);
    if (!m_tiled) {
        const qint64 bytes = qint64(rows) * m_planeRowBytes;
        const tmsize_t got = tiff.readEncodedStrip(m_tiff, tiff.computeStrip(m_tiff, y, quint16(plane)), dst, tmsize_t(bytes));
        if (got < 0)
            failed("strip");
        if (got < bytes)
            damaged(QStringLiteral("данные изображения обрываются"));
        return;
    }
    // A tile's row in bytes: tile widths are multiples of 16, so whole bytes.
    const qint64 tileRowBytes = qint64(m_tileWidth) * (m_planes > 1 ? 1 : m_layout.channels) * m_bits / 8;
    const tmsize_t tileSize = tmsize_t(tileRowBytes * m_bandRows);
    if (qint64(m_tile.size()) < tileSize)
        m_tile.resize(size_t(tileSize));
    for (int column = x1 / m_tileWidth; column <= x2 / m_tileWidth; ++column) {
        const quint32 x = quint32(column) * quint32(m_tileWidth);
        const ttile_t tile = tiff.computeTile(m_tiff, x, y, 0, quint16(plane));
        const tmsize_t got = tiff.readEncodedTile(m_tiff, tile, m_tile.data(), tileSize);
        if (got < 0)
            failed("tile");
        if (got < tileSize)
            damaged(QStringLiteral("данные изображения обрываются"));
        const qint64 from = qint64(column) * tileRowBytes;
        const qint64 width = std::min<qint64>(tileRowBytes, m_planeRowBytes - from);
        for (int r = 0; r < rows; ++r)
            std::copy_n(m_tile.data() + r * tileRowBytes, width, dst + r * m_planeRowBytes + from);
    }
}

// Samples of one plane into their place among a pixel's samples.
void TiffDecoder::interleave(int plane, int rows)
{
    const int c = m_layout.channels;
    const qint64 pixels = qint64(rows) * m_width;
    if (m_layout.bytesPerSample == 2) {
        const auto *from = reinterpret_cast<const quint16 *>(m_stored.data());
        auto *to = reinterpret_cast<quint16 *>(m_band.data()) + plane;
        for (qint64 i = 0; i < pixels; ++i)
            to[i * c] = from[i];
        return;
    }
    quint8 *to = m_band.data() + plane;
    for (qint64 i = 0; i < pixels; ++i)
        to[i * c] = m_stored[size_t(i)];
}

// Samples of 1, 2 or 4 bits (the first pixel in the high bits) to a byte each:
// palette indices as they are, grey levels widened to 0..255 by repeating
// their bits.
void TiffDecoder::widen(int rows)
{
    const int perByte = 8 / m_bits;
    const quint8 mask = quint8((1 << m_bits) - 1);
    const int scale = m_layout.colour == SampleLayout::Colour::Palette ? 1 : 255 / mask;
    for (int r = 0; r < rows; ++r) {
        const quint8 *from = m_stored.data() + qint64(r) * m_planeRowBytes;
        quint8 *to = m_band.data() + qint64(r) * m_rowBytes;
        for (int x = 0; x < m_width; ++x) {
            const int shift = 8 - m_bits * (x % perByte + 1);
            to[x] = quint8(((from[x / perByte] >> shift) & mask) * scale);
        }
    }
}

const quint8 *TiffDecoder::decodeBand(int band, int x1, int x2)
{
    const int rows = std::min(m_bandRows, m_height - band * m_bandRows);
    const qint64 bytes = qint64(rows) * m_rowBytes;
    if (qint64(m_band.size()) < bytes)
        m_band.resize(size_t(bytes));
    if (m_planes == 1 && m_bits >= 8) {
        readPlane(band, 0, rows, x1, x2, m_band.data());
    } else {
        const qint64 stored = qint64(rows) * m_planeRowBytes;
        if (qint64(m_stored.size()) < stored)
            m_stored.resize(size_t(stored));
        for (int plane = 0; plane < m_planes; ++plane) {
            readPlane(band, plane, rows, x1, x2, m_stored.data());
            if (m_bits < 8)
                widen(rows);
            else
                interleave(plane, rows);
        }
    }
    if (m_invert)
        PixelLoops::invert(m_band.data(), bytes / m_layout.bytesPerSample, m_layout.bytesPerSample);
    return m_band.data();
}

void TiffDecoder::readKeys(const std::vector<BitmapFile::KeyRequest> &requests)
{
    // The bands any request needs, and the columns it needs of each.
    std::map<int, std::pair<int, int>> bands;
    for (const BitmapFile::KeyRequest &q : requests) {
        for (int band = std::min(bandOf(q.y1), bandOf(q.y2)); band <= std::max(bandOf(q.y1), bandOf(q.y2)); ++band) {
            auto [it, fresh] = bands.try_emplace(band, q.x1, q.x2);
            if (!fresh)
                it->second = {std::min(it->second.first, q.x1), std::max(it->second.second, q.x2)};
        }
    }
    try {
        for (const auto &[band, columns] : bands) {
            const quint8 *rows = decodeBand(band, columns.first, columns.second);
            const int s0 = band * m_bandRows;
            const int s1 = std::min(m_height, s0 + m_bandRows);
            for (int s = s0; s < s1; ++s)
                keysFromRow(requests, storedRow(s), rows + qint64(s - s0) * m_rowBytes);
        }
    } catch (const std::bad_alloc &) {
        outOfMemory();
    }
}

void TiffDecoder::readPicture(const BitmapFile::PictureRequest &q)
{
    const int x1 = int(qint64(q.x1) * m_width / q.pictureWidth);
    const int x2 = int(qint64(q.x2) * m_width / q.pictureWidth);
    try {
        int decoded = -1;
        const quint8 *rows = nullptr;
        for (int py = q.y1; py <= q.y2; ++py) {
            const int y = imageRow(q, py);
            if (bandOf(y) != decoded) {
                decoded = bandOf(y);
                rows = decodeBand(decoded, x1, x2);
            }
            if (py == q.y1 || imageRow(q, py - 1) != y)
                pictureFromRow(q, y, rowOf(rows, decoded, y));
        }
    } catch (const std::bad_alloc &) {
        outOfMemory();
    }
}

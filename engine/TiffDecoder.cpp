#include "TiffDecoder.h"

#include "KelvarinError.h"
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
    m_tiled = tiff.isTiled(m_tiff);
    if (m_tiled) {
        m_tileWidth = int(field32(m_tiff, TIFFTAG_TILEWIDTH, 0));
        m_bandRows = int(field32(m_tiff, TIFFTAG_TILELENGTH, 0));
        if (m_tileWidth <= 0 || m_bandRows <= 0 || m_tileWidth > 65536 || m_bandRows > 65536
            || tiff.tileSize64(m_tiff) != quint64(m_tileWidth) * quint64(m_bandRows) * quint64(m_layout.pixelBytes()))
            damaged(QStringLiteral("недопустимый размер плиток"));
    } else {
        m_bandRows = int(std::clamp<quint32>(field32(m_tiff, TIFFTAG_ROWSPERSTRIP, quint32(m_height)), 1,
                                              quint32(m_height)));
    }
    m_rowBytes = qint64(m_width) * m_layout.pixelBytes();
    if (tiff.scanlineSize64(m_tiff) != quint64(m_rowBytes))
        damaged(QStringLiteral("недопустимая длина строки"));
}

// Grey (black is 0) or colour, 8 or 16 bits of unsigned samples, samples of a
// pixel together (or a single sample).
void TiffDecoder::checkLayout()
{
    const quint16 bits = field16(m_tiff, TIFFTAG_BITSPERSAMPLE, 1);
    const quint16 samples = field16(m_tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    const quint16 photometric = field16(m_tiff, TIFFTAG_PHOTOMETRIC, 0xffff);
    const quint16 planar = field16(m_tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const quint16 format = field16(m_tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    if (bits != 8 && bits != 16)
        unsupported(QStringLiteral("%1 бит на отсчет").arg(bits));
    if (format != SAMPLEFORMAT_UINT)
        unsupported(QStringLiteral("отсчеты не целые без знака"));
    if (photometric == PHOTOMETRIC_MINISBLACK && samples >= 1 && samples <= 2)
        m_layout.colour = SampleLayout::Colour::Grey;
    else if (photometric == PHOTOMETRIC_RGB && samples >= 3 && samples <= 4)
        m_layout.colour = SampleLayout::Colour::Rgb;
    else
        unsupported(QStringLiteral("цветовая модель %1 с %2 отсчетами на точку").arg(photometric).arg(samples));
    if (planar != PLANARCONFIG_CONTIG && samples > 1)
        unsupported(QStringLiteral("цвета в отдельных плоскостях"));
    m_layout.channels = samples;
    m_layout.bytesPerSample = bits / 8;
    setSize(field32(m_tiff, TIFFTAG_IMAGEWIDTH, 0), field32(m_tiff, TIFFTAG_IMAGELENGTH, 0), m_layout.pixelBytes());
}

const quint8 *TiffDecoder::decodeBand(int band, int x1, int x2)
{
    const TiffLibrary &tiff = TiffLibrary::instance();
    const int rows = std::min(m_bandRows, m_height - band * m_bandRows);
    const qint64 bytes = qint64(rows) * m_rowBytes;
    if (qint64(m_band.size()) < bytes)
        m_band.resize(size_t(bytes));
    if (!m_tiled) {
        const tmsize_t got = tiff.readEncodedStrip(m_tiff, quint32(band), m_band.data(), tmsize_t(bytes));
        if (got < 0)
            failed("strip");
        if (got < bytes)
            damaged(QStringLiteral("данные изображения обрываются"));
        return m_band.data();
    }
    const qint64 tileRowBytes = qint64(m_tileWidth) * m_layout.pixelBytes();
    const tmsize_t tileSize = tmsize_t(tileRowBytes * m_bandRows);
    if (qint64(m_tile.size()) < tileSize)
        m_tile.resize(size_t(tileSize));
    for (int column = x1 / m_tileWidth; column <= x2 / m_tileWidth; ++column) {
        const quint32 x = quint32(column) * quint32(m_tileWidth);
        const ttile_t tile = tiff.computeTile(m_tiff, x, quint32(band) * quint32(m_bandRows), 0, 0);
        const tmsize_t got = tiff.readEncodedTile(m_tiff, tile, m_tile.data(), tileSize);
        if (got < 0)
            failed("tile");
        if (got < tileSize)
            damaged(QStringLiteral("данные изображения обрываются"));
        const qint64 width = std::min<qint64>(tileRowBytes, m_rowBytes - qint64(x) * m_layout.pixelBytes());
        for (int r = 0; r < rows; ++r)
            std::copy_n(m_tile.data() + r * tileRowBytes, width,
                        m_band.data() + r * m_rowBytes + qint64(x) * m_layout.pixelBytes());
    }
    return m_band.data();
}

void TiffDecoder::readKeys(const std::vector<BitmapFile::KeyRequest> &requests)
{
    // The bands any request needs, and the columns it needs of each.
    std::map<int, std::pair<int, int>> bands;
    for (const BitmapFile::KeyRequest &q : requests) {
        for (int band = bandOf(q.y1); band <= bandOf(q.y2); ++band) {
            auto [it, fresh] = bands.try_emplace(band, q.x1, q.x2);
            if (!fresh)
                it->second = {std::min(it->second.first, q.x1), std::max(it->second.second, q.x2)};
        }
    }
    try {
        for (const auto &[band, columns] : bands) {
            const quint8 *rows = decodeBand(band, columns.first, columns.second);
            const int y0 = band * m_bandRows;
            const int y1 = std::min(m_height, y0 + m_bandRows);
            for (int y = y0; y < y1; ++y)
                keysFromRow(requests, y, rows + qint64(y - y0) * m_rowBytes);
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
                pictureFromRow(q, y, rows + qint64(y - decoded * m_bandRows) * m_rowBytes);
        }
    } catch (const std::bad_alloc &) {
        outOfMemory();
    }
}

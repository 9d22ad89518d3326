#include "BitmapFilePrivate.h"

#include "KelvarinError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace BitmapDetail;

BitmapFile::Private::~Private()
{
    if (fd >= 0)
        ::close(fd);
}

// --- Reading the source ---------------------------------------------------

void BitmapFile::Private::openSource(const QString &path)
{
    name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // Non-blocking, so that a named pipe given as an image cannot hang the open;
    // it is refused below as not a regular file.
    fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            fail(QStringLiteral("Файл %1 не найден."));
        fail(QStringLiteral("Не удалось открыть файл %1 для чтения."));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0)
        fail(QStringLiteral("Не удалось открыть файл %1 для чтения."));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("Файл %1 не является точечным рисунком BMP."));
    fileSize = st.st_size;
}

// Reads up to len bytes at offset; fewer only at the end of the file.
qint64 BitmapFile::Private::readAt(qint64 offset, quint8 *dst, qint64 len) const
{
    if (fd < 0) {
        const qint64 available = std::clamp<qint64>(bytes.size() - offset, 0, len);
        if (available > 0)
            std::memcpy(dst, bytes.constData() + offset, size_t(available));
        return available;
    }
    qint64 done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, dst + done, size_t(len - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Ошибка чтения файла %1."));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// Reads exactly len bytes of what open() found to be there; a shorter read means
// the file has been cut since.
void BitmapFile::Private::readExact(qint64 offset, quint8 *dst, qint64 len) const
{
    if (readAt(offset, dst, len) != len)
        changed();
}

QByteArray BitmapFile::Private::readHeaderBytes(qint64 offset, qint64 len) const
{
    if (offset + len > fileSize)
        damaged(QStringLiteral("заголовок обрывается"));
    QByteArray buffer(len, Qt::Uninitialized);
    if (readAt(offset, reinterpret_cast<quint8 *>(buffer.data()), len) != len)
        damaged(QStringLiteral("заголовок обрывается"));
    return buffer;
}


// --- Requests --------------------------------------------------------------

void BitmapFile::Private::checkRect(int x1, int y1, int x2, int y2) const
{
    if (x1 < 0 || y1 < 0 || x1 > x2 || y1 > y2 || x2 >= width || y2 >= height)
        throw KelvarinError(QStringLiteral("Область (%1, %2) - (%3, %4) выходит за пределы изображения %5.")
                                .arg(x1).arg(y1).arg(x2).arg(y2).arg(name));
}

// Reads file rows r0..r1, bytes lo..hi of each (one read, the bytes between
// rows included), and fills every request's part of those rows.
void BitmapFile::Private::readBand(const std::vector<BitmapFile::KeyRequest> &requests, int r0, int r1,
                                   qint64 lo, qint64 hi)
{
    const qint64 size = qint64(r1 - r0) * stride + (hi - lo);
    if (qint64(band.size()) < size)
        band.resize(size_t(size));
    readExact(pixelOffset + qint64(r0) * stride + lo, band.data(), size);
    for (const BitmapFile::KeyRequest &q : requests) {
        const int first = std::max(r0, std::min(fileRow(q.y1), fileRow(q.y2)));
        const int last = std::min(r1, std::max(fileRow(q.y1), fileRow(q.y2)));
        const qint64 qlo = qint64(q.x1) * bpp / 8;
        for (int r = first; r <= last; ++r) {
            const int y = fileRow(r); // the mapping is its own inverse
            keysOfRequestRow(q, band.data() + qint64(r - r0) * stride + (qlo - lo), qlo, y);
        }
    }
}

// Rectangles of an image in memory: decoded (RLE) or opened from bytes.
void BitmapFile::Private::readHeld(const std::vector<BitmapFile::KeyRequest> &requests)
{
    for (const BitmapFile::KeyRequest &q : requests) {
        const qint64 lo = qint64(q.x1) * (isRle() ? 8 : bpp) / 8;
        for (int y = q.y1; y <= q.y2; ++y)
            keysOfRequestRow(q, rowBytes(fileRow(y), lo), lo, y);
    }
}

// A file: the row spans of the requests in file order, merged into bands read
// with one call each. (Mapping the file copies nothing, but on the virtual
// machines stations and build hosts run on, touching mapped pages costs more
// than copying the rows.)
void BitmapFile::Private::readBands(const std::vector<BitmapFile::KeyRequest> &requests)
{
    struct Span { int r0, r1; qint64 lo, hi; const KeyRequest *request; };
    std::vector<Span> spans;
    for (const KeyRequest &q : requests) {
        spans.push_back({std::min(fileRow(q.y1), fileRow(q.y2)), std::max(fileRow(q.y1), fileRow(q.y2)),
                         qint64(q.x1) * bpp / 8, (qint64(q.x2 + 1) * bpp + 7) / 8, &q});
    }
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.r0 < b.r0; });
    const qint64 joinRows = std::max<qint64>(1, kBandJoinBytes / std::max<qint64>(stride, 1));
    const qint64 bandRows = std::max<qint64>(1, kMaxBand / std::max<qint64>(stride, 1));
    try {
        for (size_t i = 0; i < spans.size();) {
            Span span = spans[i];
            // Only the rectangles merged into a band are filled from it: another
            // one whose rows overlap it (kept out by the band's size) may lie in
            // columns the band never read.
            std::vector<KeyRequest> members{*spans[i++].request};
            while (i < spans.size() && spans[i].r0 <= span.r1 + joinRows
                   && qint64(std::max(span.r1, spans[i].r1) - span.r0 + 1) <= bandRows) {
                span.r1 = std::max(span.r1, spans[i].r1);
                span.lo = std::min(span.lo, spans[i].lo);
                span.hi = std::max(span.hi, spans[i].hi);
                members.push_back(*spans[i++].request);
            }
            // A single rectangle taller than a band is read in slices.
            for (qint64 r = span.r0; r <= span.r1; r += bandRows)
                readBand(members, int(r), int(std::min<qint64>(span.r1, r + bandRows - 1)), span.lo, span.hi);
        }
    } catch (const std::bad_alloc &) {
        band = std::vector<quint8>();
        fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

// --- Public interface -----------------------------------------------------

BitmapFile::BitmapFile() : d(std::make_unique<Private>()) {}
BitmapFile::~BitmapFile() = default;
BitmapFile::BitmapFile(BitmapFile &&) noexcept = default;
BitmapFile &BitmapFile::operator=(BitmapFile &&) noexcept = default;

// A failed open leaves the object as it was: an image already open stays open.
void BitmapFile::open(const QString &path)
{
    auto p = std::make_unique<Private>();
    p->openSource(path);
    p->parseHeaders();
    p->open = true;
    d = std::move(p);
}

void BitmapFile::openBytes(const QByteArray &bytes, const QString &name)
{
    auto p = std::make_unique<Private>();
    p->name = name;
    p->bytes = bytes;
    p->fileSize = bytes.size();
    p->parseHeaders();
    p->open = true;
    d = std::move(p);
}

void BitmapFile::close()
{
    d = std::make_unique<Private>();
}

bool BitmapFile::isOpen() const { return d && d->open; }
QString BitmapFile::path() const { return d ? d->name : QString(); }
int BitmapFile::width() const { return d ? d->width : 0; }
int BitmapFile::height() const { return d ? d->height : 0; }
int BitmapFile::bitsPerPixel() const { return d ? d->bpp : 0; }
bool BitmapFile::isTopDown() const { return d && d->topDown; }

BitmapFile::KeyTable BitmapFile::keyTable()
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    return d->keyTable();
}

void BitmapFile::readKeys(const std::vector<KeyRequest> &requests)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    for (const KeyRequest &q : requests)
        d->checkRect(q.x1, q.y1, q.x2, q.y2);
    d->keyTable(); // builds what keysOfRow looks up
    for (const KeyRequest &q : requests) {
        if (q.maxKey)
            *q.maxKey = 0;
    }
    if (d->isRle())
        d->ensureDecoded();
    if (d->held())
        d->readHeld(requests);
    else
        d->readBands(requests);
}

// Through keys: all rectangles' keys in one batch, row by row, then each
// rectangle's brightness column by column.
void BitmapFile::readBrightness(const std::vector<BrightnessRequest> &requests)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    for (const BrightnessRequest &q : requests)
        d->checkRect(q.x1, q.y1, q.x2, q.y2);
    const KeyTable table = keyTable();
    std::vector<std::vector<quint16>> keys(requests.size());
    std::vector<KeyRequest> keyRequests;
    try {
        for (size_t i = 0; i < requests.size(); ++i) {
            const BrightnessRequest &q = requests[i];
            const qsizetype w = qsizetype(q.x2) - q.x1 + 1, h = qsizetype(q.y2) - q.y1 + 1;
            keys[i].resize(size_t(w * h));
            keyRequests.push_back({q.x1, q.y1, q.x2, q.y2, keys[i].data(), w});
        }
    } catch (const std::bad_alloc &) {
        d->fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
    readKeys(keyRequests);
    for (size_t i = 0; i < requests.size(); ++i) {
        const BrightnessRequest &q = requests[i];
        const qsizetype w = qsizetype(q.x2) - q.x1 + 1, h = qsizetype(q.y2) - q.y1 + 1;
        for (qsizetype x = 0; x < w; ++x)
            for (qsizetype y = 0; y < h; ++y)
                q.out[x * h + y] = table.brightness[keys[i][size_t(y * w + x)]];
    }
}

void BitmapFile::readBrightness(int x1, int y1, int x2, int y2, double *out)
{
    readBrightness(std::vector<BrightnessRequest>{{x1, y1, x2, y2, out}});
}

void BitmapFile::readRgb32(quint32 *pixels, qsizetype pixelsPerLine)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    if (pixelsPerLine < d->width)
        throw KelvarinError(QStringLiteral("Недостаточно места для изображения %1.").arg(d->name));
    if (d->isRle())
        d->ensureDecoded();
    if (d->held()) {
        for (int r = 0; r < d->height; ++r)
            d->colourOfRow(d->rowBytes(r, 0), pixels + qsizetype(d->fileRow(r)) * pixelsPerLine);
        return;
    }
    // Straight from the file in bands: display needs every row once.
    const int band = int(std::max<qint64>(1, kDisplayBand / d->stride));
    try {
        std::vector<quint8> buffer(size_t(std::min<qint64>(band, d->height) * d->stride));
        for (int r0 = 0; r0 < d->height; r0 += band) {
            const int rows = std::min(band, d->height - r0);
            d->readExact(d->pixelOffset + r0 * d->stride, buffer.data(), rows * d->stride);
            for (int i = 0; i < rows; ++i)
                d->colourOfRow(buffer.data() + i * d->stride, pixels + qsizetype(d->fileRow(r0 + i)) * pixelsPerLine);
        }
    } catch (const std::bad_alloc &) {
        d->fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

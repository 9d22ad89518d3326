#include "BitmapFilePrivate.h"

#include "KelvarinError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
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
        fail(QStringLiteral("Файл %1 не является точечным рисунком BMP, изображением PNG, TIFF или JPEG."));
    fileSize = st.st_size;
}

// Reads up to len bytes at offset; fewer only at the end of the file.
qint64 BitmapFile::Private::readAt(qint64 offset, quint8 *dst, qint64 len) const
{
    const qint64 done = ImageBytes::readAt(fd, bytes, offset, dst, len);
    if (done < 0)
        fail(QStringLiteral("Ошибка чтения файла %1."));
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

namespace {

// The calling thread's buffer for the rows of a band, at least `size` bytes.
// It is kept from image to image (every job measures one image after another)
// and never cleared: each read fills what is then decoded. It is made large
// enough for any band at once, so it is allocated once per job.
// Putting its pages in place up front (MAP_POPULATE) was measured and dropped
// (a band is at most 256 kB): 20 images of 2592 x 1944, 16 zones of 301 x 301,
// --no-journal, medians of 9, processor time 64-72 ms with it against 65-74 ms
// without, jobs 1 and 2, three rounds.
quint8 *bandBuffer(qint64 size)
{
    struct Buffer
    {
        std::unique_ptr<quint8[]> bytes;
        qint64 size = 0;
    };
    thread_local Buffer buffer;
    if (buffer.size < size) {
        const qint64 wanted = std::max(size, kMaxBand);
        buffer.bytes.reset();
        buffer.bytes.reset(new quint8[size_t(wanted)]);
        buffer.size = wanted;
    }
    return buffer.bytes.get();
}

} // namespace

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
    quint8 *band = bandBuffer(size);
    readExact(pixelOffset + qint64(r0) * stride + lo, band, size);
    for (const BitmapFile::KeyRequest &q : requests) {
        const int first = std::max(r0, std::min(fileRow(q.y1), fileRow(q.y2)));
        const int last = std::min(r1, std::max(fileRow(q.y1), fileRow(q.y2)));
        const qint64 qlo = qint64(q.x1) * bpp / 8;
        for (int r = first; r <= last; ++r) {
            const int y = fileRow(r); // the mapping is its own inverse
            keysOfRequestRow(q, band + qint64(r - r0) * stride + (qlo - lo), qlo, y);
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

// A file: the rows any request needs, in file order, read in bands of at most
// kMaxBand bytes with one call each. Every file row is read once however many
// rectangles lie side by side in it, and each band fills the part of every
// rectangle that crosses it. (Mapping the file copies nothing, but on the
// virtual machines stations and build hosts run on, touching mapped pages
// costs more than copying the rows.)
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
        std::vector<KeyRequest> members;
        for (size_t i = 0; i < spans.size();) {
            // A run of rows no gap wider than joinRows interrupts.
            size_t end = i + 1;
            int runEnd = spans[i].r1;
            while (end < spans.size() && spans[end].r0 <= runEnd + joinRows)
                runEnd = std::max(runEnd, spans[end++].r1);
            for (qint64 r = spans[i].r0; r <= runEnd; r += bandRows) {
                const int r0 = int(r);
                const int r1 = int(std::min<qint64>(runEnd, r + bandRows - 1));
                members.clear();
                qint64 lo = std::numeric_limits<qint64>::max();
                qint64 hi = 0;
                for (size_t k = i; k < end; ++k) {
                    if (spans[k].r0 > r1 || spans[k].r1 < r0)
                        continue;
                    members.push_back(*spans[k].request);
                    lo = std::min(lo, spans[k].lo);
                    hi = std::max(hi, spans[k].hi);
                }
                if (!members.empty())
                    readBand(members, r0, r1, lo, hi);
            }
            i = end;
        }
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

void BitmapFile::Private::openAny()
{
    quint8 start[8] = {};
    const qint64 got = readAt(0, start, sizeof start);
    ImageBytes source{fd, bytes, fileSize, name};
    other = ImageDecoder::forSignature(start, got, source);
    if (!other) {
        parseHeaders();
        return;
    }
    fd = -1; // the reader closes it
    bytes = QByteArray();
    other->open();
    width = other->width();
    height = other->height();
    bpp = other->bitsPerPixel();
    topDown = true;
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
    p->openAny();
    p->open = true;
    d = std::move(p);
}

void BitmapFile::openBytes(const QByteArray &bytes, const QString &name)
{
    auto p = std::make_unique<Private>();
    p->name = name;
    p->bytes = bytes;
    p->fileSize = bytes.size();
    p->openAny();
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
    return d->other ? d->other->keyTable() : d->keyTable();
}

void BitmapFile::readKeys(const std::vector<KeyRequest> &requests)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    for (const KeyRequest &q : requests)
        d->checkRect(q.x1, q.y1, q.x2, q.y2);
    for (const KeyRequest &q : requests) {
        if (q.columnMax)
            std::fill_n(q.columnMax, q.x2 - q.x1 + 1, quint16(0));
    }
    if (d->other) {
        d->other->readKeys(requests);
        return;
    }
    d->keyTable(); // builds what keysOfRow looks up
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
    d->readPicture({d->width, d->height, 0, 0, d->width - 1, d->height - 1, pixels, pixelsPerLine});
}

void BitmapFile::readPicture(const PictureRequest &q)
{
    if (!isOpen())
        throw KelvarinError(QStringLiteral("Изображение не открыто."));
    if (q.pictureWidth < 1 || q.pictureHeight < 1 || q.pictureWidth > d->width || q.pictureHeight > d->height
        || q.x1 < 0 || q.y1 < 0 || q.x1 > q.x2 || q.y1 > q.y2 || q.x2 >= q.pictureWidth || q.y2 >= q.pictureHeight)
        throw KelvarinError(QStringLiteral("Область (%1, %2) - (%3, %4) выходит за пределы изображения %5.")
                                .arg(q.x1).arg(q.y1).arg(q.x2).arg(q.y2).arg(d->name));
    if (q.pixelsPerLine < q.x2 + 1)
        throw KelvarinError(QStringLiteral("Недостаточно места для изображения %1.").arg(d->name));
    d->readPicture(q);
}

// Display reads the rows a picture needs in bands of consecutive file rows,
// bytes lo..hi of each; a reduced picture skips rows, and rows far apart are
// read one by one rather than with everything between them.
void BitmapFile::Private::readPicture(const BitmapFile::PictureRequest &q)
{
    if (other) {
        other->readPicture(q);
        return;
    }
    if (isRle())
        ensureDecoded();
    const int n = q.x2 - q.x1 + 1;
    const bool reduced = q.pictureWidth != width;
    try {
        // The image column of every picture column, counted from the first one read.
        std::vector<int> xs;
        const int xFirst = int(qint64(q.x1) * width / q.pictureWidth);
        const int xLast = int(qint64(q.x2) * width / q.pictureWidth);
        const int unitBits = isRle() ? 8 : bpp;
        const qint64 lo = qint64(xFirst) * unitBits / 8;
        const qint64 hi = (qint64(xLast + 1) * unitBits + 7) / 8;
        const int x0 = int(lo * 8 / unitBits); // the pixel at byte lo
        if (reduced) {
            xs.resize(size_t(n));
            for (int i = 0; i < n; ++i)
                xs[size_t(i)] = int(qint64(q.x1 + i) * width / q.pictureWidth) - x0;
        }
        auto imageRow = [&](int py) { return int(qint64(py) * height / q.pictureHeight); };
        // Picture row py from the bytes of its file row, starting at byte lo.
        auto convert = [&](const quint8 *from, int py) {
            quint32 *out = q.pixels + qsizetype(py) * q.pixelsPerLine + q.x1;
            if (reduced)
                coloursAt(from, xs.data(), n, out);
            else
                coloursOfSpan(from, q.x1 - x0, n, out);
        };
        if (held()) {
            for (int py = q.y1; py <= q.y2; ++py)
                convert(rowBytes(fileRow(imageRow(py)), lo), py);
            return;
        }
        const qint64 rowStep = std::max<qint64>(1, height / q.pictureHeight);
        const bool oneByOne = rowStep * stride > kBandJoinBytes;
        for (int py = q.y1; py <= q.y2;) {
            // Picture rows py..last come from image rows a..b, file rows r0..r1.
            int last = py;
            if (!oneByOne) {
                while (last < q.y2 && qint64(imageRow(last + 1) - imageRow(py) + 1) * stride <= kDisplayBand)
                    ++last;
            }
            const int a = imageRow(py), b = imageRow(last);
            const int r0 = std::min(fileRow(a), fileRow(b));
            const int r1 = std::max(fileRow(a), fileRow(b));
            const qint64 size = qint64(r1 - r0) * stride + (hi - lo);
            quint8 *band = bandBuffer(size);
            readExact(pixelOffset + qint64(r0) * stride + lo, band, size);
            for (int y = py; y <= last; ++y)
                convert(band + qint64(fileRow(imageRow(y)) - r0) * stride, y);
            py = last + 1;
        }
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("Недостаточно памяти для чтения файла %1."));
    }
}

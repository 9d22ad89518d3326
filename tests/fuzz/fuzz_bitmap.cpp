// Feeds arbitrary bytes to the bitmap reader: headers, palettes, masks and
// run-length streams. Any input must either be refused with KelvarinError or
// read in full; a crash, a sanitizer report or an exception of another type is
// a finding. Every input that opens is also read as a file (one rectangle at a
// time, and all in one batch of bands) and must give exactly the values read from memory.
#include "BitmapFile.h"
#include "KelvarinError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

// Inputs past this size add nothing that a smaller one cannot reach.
static constexpr size_t kMaxInput = 1 << 20;
// Images that decode to more pixels than this are valid but slow the fuzzer
// down; their headers have been checked by then.
static constexpr qint64 kMaxPixels = qint64(1) << 16;

struct Rect
{
    int x1, y1, x2, y2;
};

// The whole image, rectangles that start and end inside a byte of packed
// pixels, and overlapping and side-by-side ones as zones are read.
static std::vector<Rect> rectangles(int w, int h)
{
    return {{0, 0, w - 1, h - 1},         {w / 3, h / 2, w - 1 - w / 5, h - 1}, {w - 1, 0, w - 1, h / 3},
            {w / 4, h / 4, w / 2, h / 2}, {w / 3, h / 3, w - 1, h / 2},         {0, h / 4, w / 8, h - 1},
            {w / 4, h / 4, w / 2, h / 2}};
}

// Brightness of every rectangle, one after another (or all in one batch, as
// detection reads its zones), or an empty list when the reader refused the image.
static std::vector<double> readAll(BitmapFile &file, bool batch)
{
    std::vector<double> all;
    try {
        const std::vector<Rect> rects = rectangles(file.width(), file.height());
        std::vector<std::vector<double>> values;
        std::vector<BitmapFile::BrightnessRequest> requests;
        for (const Rect &r : rects) {
            values.emplace_back(size_t(r.x2 - r.x1 + 1) * size_t(r.y2 - r.y1 + 1));
            requests.push_back({r.x1, r.y1, r.x2, r.y2, values.back().data()});
        }
        if (batch) {
            file.readBrightness(requests);
        } else {
            for (const BitmapFile::BrightnessRequest &q : requests)
                file.readBrightness(q.x1, q.y1, q.x2, q.y2, q.out);
        }
        for (const std::vector<double> &v : values)
            all.insert(all.end(), v.begin(), v.end());
        std::vector<quint32> pixels(size_t(file.width() + 1) * size_t(file.height()));
        file.readRgb32(pixels.data(), file.width() + 1);
        for (quint32 p : pixels)
            all.push_back(p);
    } catch (const KelvarinError &) {
        all.clear();
    }
    return all;
}

// The same bytes as a file, through a descriptor that lives as long as the process.
static std::vector<double> readAsFile(const uint8_t *data, size_t size, bool batch)
{
    static const int fd = memfd_create("fuzz.bmp", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        abort();
    BitmapFile file;
    file.open(QStringLiteral("/proc/self/fd/%1").arg(fd));
    return readAll(file, batch);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    // Not copied: the reader sees exactly the fuzzer's buffer, so the address
    // sanitizer catches a read even one byte past its end.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    BitmapFile file;
    try {
        file.openBytes(bytes, QStringLiteral("fuzz.bmp"));
    } catch (const KelvarinError &) {
        return 0;
    }
    if (file.width() <= 0 || file.height() <= 0 || qint64(file.width()) * file.height() > kMaxPixels)
        return 0;
    const std::vector<double> fromMemory = readAll(file, false);
    if (readAsFile(data, size, false) != fromMemory || readAsFile(data, size, true) != fromMemory)
        abort();  // the file and memory readers disagree
    return 0;
}

// Feeds arbitrary bytes to the bitmap reader: headers, palettes, masks and
// run-length streams. Any input must either be refused with KelvarinError or
// read in full; a crash, a sanitizer report or an exception of another type is
// a finding.
#include "BitmapFile.h"
#include "KelvarinError.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Inputs past this size add nothing that a smaller one cannot reach.
static constexpr size_t kMaxInput = 1 << 20;
// Images that decode to more pixels than this are valid but slow the fuzzer
// down; their headers have been checked by then.
static constexpr qint64 kMaxPixels = qint64(1) << 16;

static void readRectangle(BitmapFile &file, int x1, int y1, int x2, int y2)
{
    std::vector<double> values(size_t(x2 - x1 + 1) * size_t(y2 - y1 + 1));
    file.readBrightness(x1, y1, x2, y2, values.data());
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
    const int w = file.width();
    const int h = file.height();
    if (w <= 0 || h <= 0 || qint64(w) * h > kMaxPixels)
        return 0;
    try {
        readRectangle(file, 0, 0, w - 1, h - 1);
        // Rectangles that start and end inside a byte of packed pixels.
        readRectangle(file, w / 3, h / 2, w - 1 - w / 5, h - 1);
        readRectangle(file, w - 1, 0, w - 1, h / 3);
        std::vector<quint32> pixels(size_t(w + 1) * size_t(h));
        file.readRgb32(pixels.data(), w + 1);
    } catch (const KelvarinError &) {
    }
    return 0;
}

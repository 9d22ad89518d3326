#pragma once

// The body shared by the fuzz targets of the PNG, TIFF and JPEG readers: any
// input that starts with the format's signature must be refused with
// KelvarinError or read in full; a crash, a sanitizer report or an exception
// of another type is a finding. What opens is read in rectangles one at a
// time, in one batch, and as a picture, from memory and as a file, and the
// two must agree.
#include "BitmapFile.h"
#include "KelvarinError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace FuzzPicture {

// Pictures that decode to more pixels than this are valid but slow the
// fuzzer down; their headers have been checked by then.
inline constexpr qint64 kMaxPixels = qint64(1) << 16;

inline std::vector<double> readAll(BitmapFile &file, bool batch)
{
    std::vector<double> all;
    try {
        const int w = file.width(), h = file.height();
        const int rects[][4] = {{0, 0, w - 1, h - 1}, {w / 3, h / 2, w - 1, h - 1}, {w - 1, 0, w - 1, h / 3},
                                {w / 4, h / 4, w / 2, h / 2}, {0, h / 4, w / 8, h - 1}};
        std::vector<std::vector<double>> values;
        std::vector<BitmapFile::BrightnessRequest> requests;
        for (const auto &r : rects) {
            values.emplace_back(size_t(r[2] - r[0] + 1) * size_t(r[3] - r[1] + 1));
            requests.push_back({r[0], r[1], r[2], r[3], values.back().data()});
        }
        if (batch) {
            file.readBrightness(requests);
        } else {
            for (const BitmapFile::BrightnessRequest &q : requests)
                file.readBrightness(q.x1, q.y1, q.x2, q.y2, q.out);
        }
        for (const std::vector<double> &v : values)
            all.insert(all.end(), v.begin(), v.end());
        std::vector<quint32> pixels(size_t(w + 1) * size_t(h));
        file.readRgb32(pixels.data(), w + 1);
        for (quint32 p : pixels)
            all.push_back(p);
    } catch (const KelvarinError &) {
        all.clear();
    }
    return all;
}

inline std::vector<double> readAsFile(const uint8_t *data, size_t size, bool batch)
{
    static const int fd = memfd_create("fuzz.picture", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        abort();
    BitmapFile file;
    try {
        file.open(QStringLiteral("/proc/self/fd/%1").arg(fd));
    } catch (const KelvarinError &) {
        abort();  // opened from memory, but not as a file
    }
    return readAll(file, batch);
}

inline int run(const uint8_t *data, size_t size, const char *signature, size_t signatureSize)
{
    if (size > (size_t(1) << 20) || size < signatureSize || std::memcmp(data, signature, signatureSize) != 0)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    BitmapFile file;
    try {
        file.openBytes(bytes, QStringLiteral("fuzz"));
    } catch (const KelvarinError &) {
        return 0;
    }
    if (file.width() <= 0 || file.height() <= 0 || qint64(file.width()) * file.height() > kMaxPixels)
        return 0;
    const std::vector<double> fromMemory = readAll(file, false);
    if (readAll(file, true) != fromMemory || readAsFile(data, size, true) != fromMemory)
        abort();  // the ways of reading disagree
    return 0;
}

} // namespace FuzzPicture

#include "ImageStart.h"

#include "KelvarinError.h"

#include <QDir>

namespace {

quint32 le(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// The bytes a bitmap needs from its start, as its headers give them; the
// whole file when they cannot tell (compressed rows, a header this check
// does not know): the bitmap reader then checks everything itself.
qint64 bitmapBytes(const QByteArray &start, qint64 size)
{
    if (start.size() < 30)
        return size;
    const quint32 headerSize = le(start, 14, 4);
    qint64 width = 0, height = 0;
    quint32 bits = 0, compression = 0;
    if (headerSize == 12) {
        width = le(start, 18, 2);
        height = le(start, 20, 2);
        bits = le(start, 24, 2);
    } else if (headerSize >= 40 && start.size() >= 34) {
        width = qint32(le(start, 18, 4));
        height = qAbs(qint64(qint32(le(start, 22, 4))));
        bits = le(start, 28, 2);
        compression = le(start, 30, 4);
    } else {
        return size;
    }
    // Compressed rows (RLE) end where their codes say.
    if (compression == 1 || compression == 2 || width <= 0 || height <= 0 || bits == 0 || bits > 32)
        return size;
    const qint64 stride = (width * bits + 31) / 32 * 4;
    const qint64 needed = qint64(le(start, 10, 4)) + stride * height;
    return qMin(size, needed);
}

// PNG, TIFF and JPEG: their pixels are compressed or may lie anywhere in the
// file, so the whole entry is needed; their readers bound what they decode.
bool otherImageStart(const QByteArray &s)
{
    const auto at = [&s](int i) { return quint8(s.at(i)); };
    if (s.startsWith("\x89PNG\r\n\x1a\n"))
        return true;
    if (s.size() >= 4 && ((s.startsWith("II") && at(2) == 42 && at(3) == 0) || (s.startsWith("MM") && at(2) == 0 && at(3) == 42)))
        return true;
    return s.size() >= 3 && at(0) == 0xff && at(1) == 0xd8 && at(2) == 0xff;
}

} // namespace

qint64 ImageStart::check(const QByteArray &firstBytes, qint64 size, const QString &name)
{
    // Formats are told apart by their signature.
    if (firstBytes.startsWith("BM"))
        return bitmapBytes(firstBytes, size);
    if (otherImageStart(firstBytes))
        return size;
    throw KelvarinError(QStringLiteral("Файл %1 не является точечным рисунком BMP, изображением PNG, TIFF или JPEG.").arg(QDir::toNativeSeparators(name)));
}

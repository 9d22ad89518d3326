// The cost of archiving one image into the watch's one archive when the
// archive is empty and when it already holds 2 GB: appending in place must not
// copy what is there, so both figures should be about the same.
//
// The large archive is sparse: one stored entry of 2,000,000,000 zero bytes
// written as a hole, so building it takes seconds and almost no disk. Usage:
//   bench_archiver [images per case, default 10] [directory, default the system's temporary one]

#include "ArchiveImages.h"
#include "ZipArchiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr quint32 FillerSize = 2000000000u;
const QByteArray FillerName = "filler.bin";

void put16(QByteArray &bytes, quint32 value)
{
    bytes += char(value & 0xFF);
    bytes += char(value >> 8 & 0xFF);
}

void put32(QByteArray &bytes, quint32 value)
{
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

quint32 zerosCrc(quint32 size)
{
    const QByteArray zeros(1 << 20, '\0');
    uLong crc = crc32(0, nullptr, 0);
    for (quint32 done = 0; done < size;) {
        const quint32 n = qMin<quint32>(size - done, quint32(zeros.size()));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(zeros.constData()), n);
        done += n;
    }
    return quint32(crc);
}

// A local or central header of the stored filler entry.
QByteArray header(bool central, quint32 crc)
{
    QByteArray bytes;
    put32(bytes, central ? 0x02014b50 : 0x04034b50);
    if (central)
        put16(bytes, 20); // made by
    put16(bytes, 20);     // needed
    put16(bytes, 0);      // flags
    put16(bytes, 0);      // stored
    put16(bytes, 0);      // time
    put16(bytes, 0x5921); // date: 2024-09-01
    put32(bytes, crc);
    put32(bytes, FillerSize);
    put32(bytes, FillerSize);
    put16(bytes, quint32(FillerName.size()));
    put16(bytes, 0); // extra
    if (central) {
        put16(bytes, 0); // comment
        put16(bytes, 0); // disk
        put16(bytes, 0); // internal attributes
        put32(bytes, 0); // external attributes
        put32(bytes, 0); // local header offset
    }
    return bytes + FillerName;
}

bool writeSparseArchive(const QString &path)
{
    const quint32 crc = zerosCrc(FillerSize);
    const QByteArray local = header(false, crc);
    const QByteArray central = header(true, crc);
    QByteArray end;
    put32(end, 0x06054b50);
    put32(end, 0);
    put16(end, 1);
    put16(end, 1);
    put32(end, quint32(central.size()));
    put32(end, quint32(local.size()) + FillerSize);
    put16(end, 0);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const off_t directory = off_t(local.size()) + off_t(FillerSize);
    const bool ok = ::pwrite(fd, local.constData(), size_t(local.size()), 0) == local.size()
                 && ::pwrite(fd, central.constData(), size_t(central.size()), directory) == central.size()
                 && ::pwrite(fd, end.constData(), size_t(end.size()), directory + central.size()) == end.size();
    ::close(fd);
    return ok;
}

// A 2048 x 1536 8-bit bitmap's worth of bytes: dark with a few bright spots,
// as a camera's target images are (they compress as those do).
QByteArray imageBytes(int seed)
{
    QByteArray bytes(2048 * 1536 + 1078, char(6));
    for (int i = 0; i < bytes.size(); i += 97)
        bytes[i] = char((i * 31 + seed) % 23);
    for (int spot = 0; spot < 8; ++spot) {
        const int at = 1078 + (200 + spot * 150 + seed) * 2048 + 300 + spot * 200;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                bytes[at + y * 2048 + x] = char(200);
    }
    return bytes;
}

// Milliseconds per image over `count` images archived into `archive`.
double costPerImage(const QString &archive, const QString &buffer, int count, QTextStream &out)
{
    ZipArchiver zip;
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        const QString image = QDir(buffer).filePath(QStringLiteral("img_%1.bmp").arg(i, 4, 10, QLatin1Char('0')));
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || file.write(imageBytes(i)) < 0)
            return -1;
        file.close();
        QElapsedTimer timer;
        timer.start();
        const QString failure = zip.archive(archive, image);
        total += timer.nsecsElapsed();
        if (!failure.isEmpty()) {
            out << "failed: " << failure << Qt::endl;
            return -1;
        }
    }
    return double(total) / 1e6 / count;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
    QTemporaryDir dir(argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("bench-XXXXXX"))
                               : QDir::temp().filePath(QStringLiteral("bench-XXXXXX")));
    const QString buffer = dir.filePath(QStringLiteral("buffer"));
    QDir().mkpath(buffer);
    const double empty = costPerImage(dir.filePath(QStringLiteral("empty.zip")), buffer, count, out);
    const QString large = dir.filePath(QStringLiteral("large.zip"));
    if (!writeSparseArchive(large)) {
        out << "the 2 GB archive could not be made in " << dir.path() << Qt::endl;
        return 1;
    }
    const qint64 largeSize = QFileInfo(large).size();
    const double grown = costPerImage(large, buffer, count, out);
    if (empty < 0 || grown < 0)
        return 1;
    out << "images per case: " << count << " (3 MB bitmaps)" << Qt::endl;
    out << QStringLiteral("empty archive:  %1 ms per image").arg(empty, 0, 'f', 1) << Qt::endl;
    out << QStringLiteral("%1 GB archive: %2 ms per image")
               .arg(double(largeSize) / 1e9, 0, 'f', 1)
               .arg(grown, 0, 'f', 1)
        << Qt::endl;
    out << QStringLiteral("ratio: %1 (target at most 1.2)").arg(grown / empty, 0, 'f', 2) << Qt::endl;
    out << "entries in the large archive: " << ArchiveImages::allEntriesOf(large).size() << Qt::endl;
    return 0;
}

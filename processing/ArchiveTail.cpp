#include "ArchiveTail.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The end of central directory record: 22 bytes and a comment of up to 65,535.
constexpr qint64 EndRecordSize = 22;
constexpr qint64 LongestEndSearch = EndRecordSize + 0xFFFF;
constexpr qint64 Zip64LocatorSize = 20;
constexpr qint64 Zip64EndRecordSize = 56;

quint64 littleEndian(const QByteArray &bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

bool readAt(int fd, qint64 offset, qint64 size, QByteArray *bytes)
{
    bytes->resize(qsizetype(size));
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes->data() + done, size_t(size - done), off_t(offset + done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Where the end record begins within `end`: the last signature whose comment
// length reaches exactly to the end of the file.
qsizetype endRecordAt(const QByteArray &end)
{
    for (qsizetype at = end.size() - EndRecordSize; at >= 0; --at) {
        if (end.at(at) == 'P' && end.at(at + 1) == 'K' && end.at(at + 2) == 5 && end.at(at + 3) == 6
            && at + EndRecordSize + qsizetype(littleEndian(end, at + 20, 2)) == end.size())
            return at;
    }
    return -1;
}

// The offset of the central directory that the last bytes of an archive
// (`end`; `fileSize` the whole file's size) give, or -1 when they give none;
// the ZIP64 record is read when the end record's offset is the ZIP64 mark.
template<typename ReadAt>
qint64 directoryOffsetOf(const QByteArray &end, qint64 fileSize, ReadAt readAtFile)
{
    const qsizetype record = endRecordAt(end);
    if (record < 0)
        return -1;
    const qint64 recordOffset = fileSize - end.size() + record;
    qint64 offset = qint64(littleEndian(end, record + 16, 4));
    if (offset == 0xFFFFFFFF) {
        // ZIP64: the locator just before the end record points at the ZIP64 end record.
        QByteArray locator, zip64;
        if (recordOffset < Zip64LocatorSize || !readAtFile(recordOffset - Zip64LocatorSize, Zip64LocatorSize, &locator)
            || !locator.startsWith(QByteArrayLiteral("PK\x06\x07")))
            return -1;
        const qint64 zip64Offset = qint64(littleEndian(locator, 8, 8));
        if (!readAtFile(zip64Offset, Zip64EndRecordSize, &zip64) || !zip64.startsWith(QByteArrayLiteral("PK\x06\x06")))
            return -1;
        offset = qint64(littleEndian(zip64, 48, 8));
    }
    return offset >= 0 && offset <= recordOffset ? offset : -1;
}

} // namespace

bool ArchiveTail::take(const QString &path, QString *reason)
{
    m_size = -1;
    m_path = path;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = fd < 0 ? qt_error_string(errno) : QStringLiteral("это не обычный файл");
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const qint64 size = st.st_size;
    const qint64 endSize = qMin(size, LongestEndSearch);
    QByteArray end;
    const auto readFile = [fd](qint64 offset, qint64 count, QByteArray *bytes) { return readAt(fd, offset, count, bytes); };
    qint64 offset = -1;
    if (readFile(size - endSize, endSize, &end))
        offset = directoryOffsetOf(end, size, readFile);
    const bool read = offset >= 0 && readFile(offset, size - offset, &m_bytes);
    ::close(fd);
    if (!read) {
        *reason = QStringLiteral("конец архива (центральный каталог) не читается");
        return false;
    }
    m_size = size;
    m_offset = offset;
    return true;
}

bool ArchiveTail::restore(QString *reason) const
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    qint64 done = 0;
    while (done < m_bytes.size()) {
        const ssize_t n = ::pwrite(fd, m_bytes.constData() + done, size_t(m_bytes.size() - done), off_t(m_offset + done));
        if (n <= 0)
            break;
        done += n;
    }
    const bool written = done == m_bytes.size() && ::ftruncate(fd, off_t(m_size)) == 0 && ::fsync(fd) == 0;
    if (!written)
        *reason = qt_error_string(errno);
    ::close(fd);
    return written;
}

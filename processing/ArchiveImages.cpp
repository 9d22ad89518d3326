#include "ArchiveImages.h"

#include "BitmapFile.h"
#include "FileStamp.h"
#include "ImageList.h"
#include "KelvarinError.h"
#include "EntryMemory.h"
#include "ImageStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cstring>
#include <memory>

#include <zip.h>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString zipErrorText(zip_error_t *error)
{
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

// An archive opened for reading, closed with the object.
class Archive
{
public:
    explicit Archive(const QString &path)
        : m_path(path)
    {
        int code = 0;
        // Consistency checks: a cut or patched archive is refused when opened.
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
        if (!m_zip) {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            const QString reason = zipErrorText(&error);
            zip_error_fini(&error);
            throw KelvarinError(QStringLiteral("Архив %1 не читается: %2.").arg(native(path), reason));
        }
    }
    ~Archive() { zip_discard(m_zip); }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    zip_t *handle() const { return m_zip; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    zip_t *m_zip = nullptr;
};

// Each thread keeps the archive it read last: the entries of one archive are
// read one after the other, and its directory is parsed once. An archive
// changed since (grown by the watch, replaced by another) is opened afresh.
Archive &archiveFor(const QString &path)
{
    thread_local std::unique_ptr<Archive> last;
    thread_local FileStamp lastStamp;
    const FileStamp stamp = FileStamp::of(path);
    if (!last || last->path() != path || stamp != lastStamp) {
        last.reset();
        last = std::make_unique<Archive>(path);
        lastStamp = stamp;
    }
    return *last;
}

bool isImageEntry(const QString &entry)
{
    return !entry.endsWith(QLatin1Char('/')) && ImageList::isImageName(entry);
}

// Images up to this size are read into a buffer their thread keeps; larger
// ones into a buffer of their own that goes with the image.
constexpr qint64 KeptBufferBytes = qint64(64) << 20;

// Each thread reads its entries into one buffer kept from entry to entry:
// a fresh buffer for every image would be thousands of new pages to fault in
// (a 15 MB bitmap is 3,700 of them), which costs more than inflating it
// (bench_run over zips: 0.60-0.65 times `unzip -p` with it, 1.10-1.41 without).
// What a thread keeps is bounded by KeptBufferBytes.
QByteArray &entryBuffer(qint64 size)
{
    thread_local QByteArray buffer;
    // Still shared with an image opened earlier: leave that one its bytes. A
    // buffer far larger than needed (after a huge entry) is given back.
    if (!buffer.isDetached() || buffer.capacity() / 2 > size)
        buffer = QByteArray();
    buffer.resize(qsizetype(size));
    return buffer;
}

// The buffer's bytes for the image; a large one is not kept by the thread.
QByteArray handOver(QByteArray &buffer)
{
    if (buffer.size() <= KeptBufferBytes)
        return buffer;
    return std::exchange(buffer, QByteArray());
}

// Reads up to `size` bytes of an open entry; the number read.
qint64 readFrom(zip_file_t *file, char *into, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const zip_int64_t n = zip_fread(file, into + done, zip_uint64_t(size - done));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

// Why reading an entry stopped short: libzip's reason, or what was seen when it has none.
QString shortReadReason(zip_file_t *file)
{
    zip_error_t *error = zip_file_get_error(file);
    if (zip_error_code_zip(error) != ZIP_ER_OK)
        return zipErrorText(error);
    return QStringLiteral("данные обрываются раньше заявленного размера");
}

// Inflates what is left of the entry without keeping it: reading to the end
// checks the whole entry against its CRC. True when the end came where the
// archive says and the CRC matched.
bool readToTheEnd(zip_file_t *file, qint64 left)
{
    char scratch[65536];
    while (left > 0) {
        const qint64 n = readFrom(file, scratch, qMin<qint64>(left, qint64(sizeof scratch)));
        if (n <= 0)
            return false;
        left -= n;
    }
    char extra = 0;
    return zip_fread(file, &extra, 1) == 0;
}

// The image's bytes: its start is checked before anything else is inflated,
// only the bytes the image needs are kept, the rest is read for its CRC alone.
QByteArray readEntry(const QString &archivePath, const QString &entry)
{
    Archive &archive = archiveFor(archivePath);
    const QString where = QStringLiteral("%1 в архиве %2").arg(entry, native(archivePath));
    const QByteArray encoded = entry.toUtf8();
    const zip_int64_t index = zip_name_locate(archive.handle(), encoded.constData(), ZIP_FL_ENC_GUESS);
    if (index < 0)
        throw KelvarinError(QStringLiteral("Файл %1 не найден.").arg(where));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.handle(), zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        throw KelvarinError(QStringLiteral("Файл %1 поврежден: размер не читается.").arg(where));
    // The size is what the archive claims; a claim beyond any bitmap is refused before anything is read.
    const qint64 size = qint64(stat.size);
    if (stat.size > zip_uint64_t(ArchiveImages::MaxEntryBytes)) {
        throw KelvarinError(QStringLiteral("Файл %1 слишком велик: %2 байт (допустимо не более %3).")
                                .arg(where).arg(stat.size).arg(ArchiveImages::MaxEntryBytes));
    }
    zip_file_t *file = zip_fopen_index(archive.handle(), zip_uint64_t(index), 0);
    if (!file) {
        throw KelvarinError(QStringLiteral("Файл %1 не читается: %2.")
                                .arg(where, zipErrorText(zip_get_error(archive.handle()))));
    }
    const auto closeFile = qScopeGuard([&] { zip_fclose(file); });
    QByteArray start(qMin<qint64>(size, ImageStart::BytesNeeded), Qt::Uninitialized);
    if (readFrom(file, start.data(), start.size()) != start.size())
        throw KelvarinError(QStringLiteral("Файл %1 поврежден: %2.").arg(where, shortReadReason(file)));
    const qint64 needed = ImageStart::check(start, size, native(archivePath) + QLatin1Char(':') + entry);
    const EntryMemory::Reservation reserved(needed);
    QByteArray *buffer = nullptr;
    try {
        buffer = &entryBuffer(needed);
    } catch (const std::bad_alloc &) {
        throw KelvarinError(QStringLiteral("Недостаточно памяти для чтения файла %1.").arg(where));
    }
    std::memcpy(buffer->data(), start.constData(), size_t(qMin<qint64>(needed, start.size())));
    const qint64 rest = needed - qMin<qint64>(needed, start.size());
    if (rest > 0 && readFrom(file, buffer->data() + start.size(), rest) != rest)
        throw KelvarinError(QStringLiteral("Файл %1 поврежден: %2.").arg(where, shortReadReason(file)));
    if (!readToTheEnd(file, size - qMax<qint64>(needed, start.size())))
        throw KelvarinError(QStringLiteral("Файл %1 поврежден: %2.").arg(where, shortReadReason(file)));
    return handOver(*buffer);
}

} // namespace

bool ArchiveImages::isArchive(const QString &path)
{
    return path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

QStringList ArchiveImages::allEntriesOf(const QString &archivePath)
{
    Archive &archive = archiveFor(archivePath);
    const zip_int64_t count = zip_get_num_entries(archive.handle(), 0);
    QStringList names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(archive.handle(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (name)
            names << QString::fromUtf8(name);
    }
    return names;
}

qint64 ArchiveImages::storedSize(const QString &archivePath, const QString &entry)
{
    Archive &archive = archiveFor(archivePath);
    const zip_int64_t index = zip_name_locate(archive.handle(), entry.toUtf8().constData(), ZIP_FL_ENC_GUESS);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0 || zip_stat_index(archive.handle(), zip_uint64_t(index), 0, &stat) != 0
        || !(stat.valid & ZIP_STAT_SIZE))
        return -1;
    return qint64(stat.size);
}

QStringList ArchiveImages::entriesOf(const QString &archivePath)
{
    QStringList names = allEntriesOf(archivePath);
    names.removeIf([](const QString &name) { return !isImageEntry(name); });
    if (names.isEmpty())
        throw KelvarinError(QStringLiteral("В архиве %1 нет изображений *.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg.").arg(native(archivePath)));
    std::sort(names.begin(), names.end(), ImageList::lessByName);
    return names;
}

QStringList ArchiveImages::expand(const QStringList &paths, bool archivesInDirectories)
{
    auto archiveImages = [](const QString &archive) {
        QStringList images;
        try {
            for (const QString &entry : entriesOf(archive))
                images << archive + QLatin1Char(':') + entry;
        } catch (const KelvarinError &) {
            images << archive + QLatin1Char(':'); // fails with the reason when opened
        }
        return images;
    };
    QStringList images;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            QStringList names = ImageList::imagesIn(path);
            if (archivesInDirectories) {
                const QDir dir(path);
                for (const QString &name : dir.entryList({QStringLiteral("*.zip")}, QDir::Files | QDir::Hidden))
                    names << dir.filePath(name);
                std::sort(names.begin(), names.end(), ImageList::lessByName);
            }
            for (const QString &name : names)
                images << (isArchive(name) ? archiveImages(name) : QStringList{name});
        } else if (isArchive(path) && info.isFile()) {
            images << archiveImages(path);
        } else {
            images << path;
        }
    }
    return images;
}

bool ArchiveImages::splitName(const QString &name, QString *archive, QString *entry)
{
    // The archive part ends at the first ".zip:" that names an existing file.
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = name.indexOf(QLatin1String(".zip:"), from, Qt::CaseInsensitive);
        if (at < 0)
            return false;
        const QString candidate = name.left(at + 4);
        if (QFileInfo(candidate).isFile()) {
            *archive = candidate;
            *entry = name.mid(at + 5);
            return true;
        }
        from = at + 1;
    }
}

void ArchiveImages::open(BitmapFile &image, const QString &name)
{
    QString archive, entry;
    if (QFileInfo(name).exists() || !splitName(name, &archive, &entry)) {
        image.open(name);
        return;
    }
    if (entry.isEmpty()) {
        // An archive that could not be listed: say why now.
        entriesOf(archive);
        throw KelvarinError(QStringLiteral("В архиве %1 нет изображений *.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg.").arg(native(archive)));
    }
    // The image opened before gives back its bytes, so that they can be reused.
    image.close();
    image.openBytes(readEntry(archive, entry), native(archive) + QLatin1Char(':') + entry);
}

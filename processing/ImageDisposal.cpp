#include "ImageDisposal.h"

#include "ArchiveImages.h"
#include "AtomicFile.h"
#include "ImageArchiver.h"
#include "KelvarinError.h"
#include "RegularFile.h"
#include "TParameters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Names are tried up to this number; a buffer that reuses one name more often is not a station.
static constexpr int MaxNumberedNames = 100000;

ImageDisposal::ImageDisposal(ImageArchiver &archiver)
    : m_archiver(archiver)
{
}

void ImageDisposal::begin(const QString &resultsBase)
{
    m_resultsBase = resultsBase;
    m_namesInArchive.clear();
    m_knownArchive = FileStamp();
}

QString ImageDisposal::numberedName(const QString &fileName, int n)
{
    if (n <= 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString tag = QLatin1Char('~') + QString::number(n);
    if (dot <= 0)
        return fileName + tag;
    return fileName.left(dot) + tag + fileName.mid(dot);
}

bool ImageDisposal::nameTaken(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

ImageDisposal::Result ImageDisposal::dispose(const QString &imagePath, const TParameters &params)
{
    // Both archive options on (an edited settings file): one archive.
    if (params.SaveToOneZip)
        return archiveIntoOne(imagePath);
    if (params.SaveToManyZip)
        return archiveOnItsOwn(imagePath);
    return moveToWorkDir(imagePath, params.WorkDir);
}

// The archiver stores the image under its file name. A name the archive holds
// already is given to the image in the buffer first (a new link, so no file
// there is replaced), and the image goes in under that name.
ImageDisposal::Result ImageDisposal::archiveIntoOne(const QString &imagePath)
{
    const QString archivePath = m_resultsBase + QStringLiteral(".zip");
    const QString unreadable = learnArchiveNames(archivePath);
    if (!unreadable.isEmpty()) {
        Result result;
        result.imagePath = imagePath;
        result.reason = unreadable;
        return result;
    }
    Result named = giveFreeName(imagePath);
    if (!named.reason.isEmpty())
        return named;
    Result result = archiveAs(archivePath, named.imagePath);
    if (result.outcome == Outcome::Archived) {
        m_namesInArchive.insert(QFileInfo(named.imagePath).fileName());
        m_knownArchive = FileStamp::of(archivePath);
    }
    return result;
}

// An archive this watch did not leave as it is now (there before the watch,
// or changed by someone else since) is read for the names it holds; an
// archive that cannot be read is never added to.
QString ImageDisposal::learnArchiveNames(const QString &archivePath)
{
    const FileStamp now = FileStamp::of(archivePath);
    if (!now.exists() || now == m_knownArchive)
        return {};
    try {
        const QStringList names = ArchiveImages::allEntriesOf(archivePath);
        for (const QString &name : names)
            m_namesInArchive.insert(name);
    } catch (const KelvarinError &error) {
        return error.message();
    }
    m_knownArchive = now;
    return {};
}

// The image under a name neither the archive nor the buffer holds: its own
// or "name~n.ext"; `reason` tells why none could be given.
ImageDisposal::Result ImageDisposal::giveFreeName(const QString &imagePath)
{
    Result result;
    result.imagePath = imagePath;
    const QFileInfo image(imagePath);
    if (!m_namesInArchive.contains(image.fileName()))
        return result;
    for (int n = 2; n < MaxNumberedNames; ++n) {
        const QString name = numberedName(image.fileName(), n);
        const QString candidate = image.dir().filePath(name);
        if (m_namesInArchive.contains(name) || nameTaken(candidate))
            continue;
        if (::link(QFile::encodeName(imagePath).constData(), QFile::encodeName(candidate).constData()) == 0) {
            ::unlink(QFile::encodeName(imagePath).constData());
            result.imagePath = candidate;
            return result;
        }
        if (errno != EEXIST) {
            result.reason = QStringLiteral("не удается переименовать файл в %1 (%2)").arg(name, qt_error_string(errno));
            return result;
        }
    }
    result.reason = QStringLiteral("нет свободного имени в архиве");
    return result;
}

// "<base>_<stem>.zip", the stem being the name up to its first "."; an archive
// of that name (another image with the same stem) is never added to.
ImageDisposal::Result ImageDisposal::archiveOnItsOwn(const QString &imagePath)
{
    const QString name = QFileInfo(imagePath).fileName();
    const QString stem = m_resultsBase + QLatin1Char('_') + name.left(name.indexOf(QLatin1Char('.')));
    for (int n = 1; n < MaxNumberedNames; ++n) {
        const QString archive = stem + (n == 1 ? QStringLiteral(".zip") : QStringLiteral("~%1.zip").arg(n));
        if (!nameTaken(archive))
            return archiveAs(archive, imagePath);
    }
    Result result;
    result.imagePath = imagePath;
    result.reason = QStringLiteral("нет свободного имени архива");
    return result;
}

// The archive is named in full with ".zip": the archiver appends it by itself
// only to a name without any ".", and a working directory may contain one.
ImageDisposal::Result ImageDisposal::archiveAs(const QString &archivePath, const QString &imagePath)
{
    Result result;
    result.imagePath = imagePath;
    result.storedAs = archivePath;
    const QString failure = m_archiver.archive(archivePath, imagePath);
    if (!QFileInfo::exists(imagePath)) {
        result.outcome = Outcome::Archived;
        return result;
    }
    result.reason = failure.isEmpty() ? QStringLiteral("файл остался на месте") : failure;
    return result;
}

// Copies the image into the working directory under a free name (never
// replacing a file, never through a link) and deletes it from the buffer only
// when the copy is there in full.
ImageDisposal::Result ImageDisposal::moveToWorkDir(const QString &imagePath, const QString &workDir)
{
    Result result;
    result.imagePath = imagePath;
    QByteArray bytes;
    // Images of any size: the limit only keeps a device from being read for ever.
    if (RegularFile::read(imagePath, &bytes, &result.reason, qint64(1) << 32) != RegularFile::Status::Ok)
        return result;
    const QString name = QFileInfo(imagePath).fileName();
    for (int n = 1; n < MaxNumberedNames; ++n) {
        const QString target = QDir(workDir).filePath(numberedName(name, n));
        if (nameTaken(target))
            continue;
        bool taken = false;
        if (!AtomicFile::writeNew(target, bytes, &result.reason, &taken)) {
            if (taken)
                continue;
            result.reason = QStringLiteral("Не скопирован в рабочую директорию %1: %2")
                                .arg(QDir::toNativeSeparators(workDir), result.reason);
            return result;
        }
        result.storedAs = target;
        return removeCopied(imagePath, target);
    }
    result.reason = QStringLiteral("нет свободного имени в рабочей директории");
    return result;
}

ImageDisposal::Result ImageDisposal::removeCopied(const QString &imagePath, const QString &copy)
{
    Result result;
    result.imagePath = imagePath;
    result.storedAs = copy;
    if (QFile::remove(imagePath) || !QFileInfo::exists(imagePath)) {
        result.outcome = Outcome::Moved;
        return result;
    }
    result.outcome = Outcome::CopiedNotRemoved;
    result.reason = QStringLiteral("Скопирован в рабочую директорию, но не удален из буферной.");
    return result;
}

#include "AtomicFile.h"

#include "KelvarinError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static AtomicFile::Step failingStep = AtomicFile::Step::None;

void AtomicFile::failStepForTesting(Step step)
{
    failingStep = step;
}

static bool injected(AtomicFile::Step step)
{
    if (failingStep != step)
        return false;
    errno = EIO;
    return true;
}

static QString systemReason(int error)
{
    return qt_error_string(error);
}

QString AtomicFile::refusalReason(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("На месте файла %1 находится символическая ссылка; запись через нее не выполняется.")
            .arg(QDir::toNativeSeparators(path));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 не является обычным файлом.").arg(QDir::toNativeSeparators(path));
    return {};
}

// A name beside the target that nobody else uses; O_EXCL makes sure of it.
static int createTemporary(const QString &path, QByteArray *tempName)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = info.dir().filePath(QStringLiteral(".%1.%2.tmp")
                                                     .arg(info.fileName())
                                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        *tempName = QFile::encodeName(name);
        const int fd = ::open(tempName->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

static bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        if (injected(AtomicFile::Step::Write))
            return false;
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Keeps the permissions of the file being replaced (a settings file made private stays private).
static void keepMode(int fd, const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
}

// Writes the bytes to a new temporary file beside `path` and flushes them to
// the disk; the name of the staged file in *tempName. False with the reason.
static bool stage(const QString &path, const QByteArray &bytes, QByteArray *tempName, QString *reason)
{
    *reason = AtomicFile::refusalReason(path);
    if (!reason->isEmpty())
        return false;
    const int fd = createTemporary(path, tempName);
    if (fd < 0) {
        *reason = systemReason(errno);
        return false;
    }
    keepMode(fd, path);
    bool ok = writeAll(fd, bytes);
    ok = ok && !injected(AtomicFile::Step::Flush) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    // A failed close can be the first sign of a write the disk did not take.
    const bool closeFails = injected(AtomicFile::Step::Close);
    const bool closed = ::close(fd) == 0 && !closeFails;
    if (ok && !closed) {
        ok = false;
        error = closeFails ? EIO : errno;
    }
    if (!ok) {
        ::unlink(tempName->constData());
        *reason = systemReason(error);
    }
    return ok;
}

bool AtomicFile::write(const QString &path, const QByteArray &bytes, QString *errorText)
{
    return writeSet({{path, bytes}}, errorText);
}

bool AtomicFile::writeSet(const QList<std::pair<QString, QByteArray>> &files, QString *errorText,
                          QString *failedPath)
{
    QList<QByteArray> staged;
    QString reason;
    qsizetype failed = -1;
    for (qsizetype i = 0; i < files.size() && failed < 0; ++i) {
        QByteArray tempName;
        if (stage(files.at(i).first, files.at(i).second, &tempName, &reason))
            staged << tempName;
        else
            failed = i;
    }
    // Every file is on the disk in full: only now is anything replaced.
    for (qsizetype i = 0; i < staged.size() && failed < 0; ++i) {
        if (injected(Step::Rename)
            || ::rename(staged.at(i).constData(), QFile::encodeName(files.at(i).first).constData()) != 0) {
            reason = systemReason(errno);
            failed = i;
        }
    }
    if (failed < 0)
        return true;
    for (const QByteArray &tempName : staged)
        ::unlink(tempName.constData()); // the ones already renamed are gone by that name
    if (errorText)
        *errorText = reason;
    if (failedPath)
        *failedPath = files.at(failed).first;
    return false;
}

void AtomicFile::writeSetOrThrow(const QList<std::pair<QString, QByteArray>> &files)
{
    QString reason;
    QString path;
    if (!writeSet(files, &reason, &path)) {
        throw KelvarinError(QStringLiteral("Не удается создать файл %1. %2")
                                .arg(QDir::toNativeSeparators(path), reason));
    }
}

bool AtomicFile::writeStreamed(const QString &path, const std::function<bool(const PieceWriter &)> &produce,
                               QString *errorText)
{
    QString reason = refusalReason(path);
    QByteArray tempName;
    const int fd = reason.isEmpty() ? createTemporary(path, &tempName) : -1;
    if (fd < 0) {
        if (errorText)
            *errorText = reason.isEmpty() ? systemReason(errno) : reason;
        return false;
    }
    keepMode(fd, path);
    int error = 0;
    const bool produced = produce([&](const QByteArray &piece) {
        if (error == 0 && !writeAll(fd, piece))
            error = errno;
        return error == 0;
    });
    bool ok = produced && error == 0 && !injected(Step::Flush) && ::fsync(fd) == 0;
    if (produced && error == 0 && !ok)
        error = errno;
    const bool closed = ::close(fd) == 0 && !injected(Step::Close);
    if (ok && !closed) {
        ok = false;
        error = errno ? errno : EIO;
    }
    ok = ok && !injected(Step::Rename) && ::rename(tempName.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok && produced && error == 0)
        error = errno;
    if (ok)
        return true;
    ::unlink(tempName.constData());
    if (errorText)
        *errorText = error != 0 ? systemReason(error) : QString();
    return false;
}

bool AtomicFile::writeNew(const QString &path, const QByteArray &bytes, QString *errorText, bool *taken)
{
    *taken = false;
    QByteArray tempName;
    QString reason;
    if (!stage(path, bytes, &tempName, &reason)) {
        if (errorText)
            *errorText = reason;
        return false;
    }
    // A rename that never replaces: the name appears complete or not at all.
    // Where the file system cannot do that, a new link does the same.
    const QByteArray target = QFile::encodeName(path);
    bool placed = !injected(Step::Rename)
               && ::renameat2(AT_FDCWD, tempName.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0;
    int error = errno;
    if (!placed && (error == EINVAL || error == ENOSYS) && failingStep != Step::Rename) {
        placed = ::link(tempName.constData(), target.constData()) == 0;
        error = errno;
        ::unlink(tempName.constData());
    } else if (!placed) {
        ::unlink(tempName.constData());
    }
    if (placed)
        return true;
    *taken = error == EEXIST;
    if (errorText)
        *errorText = systemReason(error);
    return false;
}

void AtomicFile::writeOrThrow(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!write(path, bytes, &reason)) {
        throw KelvarinError(QStringLiteral("Не удается создать файл %1. %2")
                                .arg(QDir::toNativeSeparators(path), reason));
    }
}

QByteArray AtomicFile::crlfLines(const QList<QByteArray> &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

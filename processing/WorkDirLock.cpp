#include "WorkDirLock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The lock file is a few short lines; anything longer is not ours.
static constexpr qsizetype MaxLockFileBytes = 4096;

static QByteArray readAll(int fd)
{
    QByteArray bytes(MaxLockFileBytes, '\0');
    const ssize_t n = ::pread(fd, bytes.data(), size_t(bytes.size()), 0);
    bytes.resize(n > 0 ? qsizetype(n) : 0);
    return bytes;
}

bool WorkDirLock::acquire(const QString &workDir, QString *reason)
{
    release();
    const QString path = QDir(workDir).filePath(fileName());
    const QByteArray encoded = QFile::encodeName(path);
    // A holder that gives the directory free deletes the file it locked; a
    // start that opened that file just before finds it gone and tries again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool busy = false;
        if (!openLocked(encoded, reason, &busy)) {
            if (busy)
                *reason = QStringLiteral("Рабочая директория %1 занята: в ней работает %2.")
                              .arg(QDir::toNativeSeparators(workDir), *reason);
            return false;
        }
        struct stat atPath, locked;
        if (::lstat(encoded.constData(), &atPath) == 0 && ::fstat(m_fd, &locked) == 0
            && atPath.st_dev == locked.st_dev && atPath.st_ino == locked.st_ino)
            break;
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd < 0) {
        *reason = QStringLiteral("Рабочая директория %1 не блокируется: файл %2 все время заменяется.")
                      .arg(QDir::toNativeSeparators(workDir), fileName());
        return false;
    }
    m_directory = workDir;
    m_path = path;
    const QByteArray left = readAll(m_fd);
    m_takenOver = left.trimmed().isEmpty()
                      ? QString()
                      : QStringLiteral("Блокировка рабочей директории %1 оставлена завершившимся запуском (%2) и снята.")
                            .arg(QDir::toNativeSeparators(workDir), holderText(left));
    writeHolder();
    return true;
}

// Opens (or makes) the lock file, never through a link and only as a regular
// file, and locks it without waiting. `busy`: another holds it; `reason` then
// names them, otherwise why the file could not be used.
bool WorkDirLock::openLocked(const QByteArray &path, QString *reason, bool *busy)
{
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = QStringLiteral("Файл блокировки %1 не открывается: %2.")
                      .arg(QDir::toNativeSeparators(QFile::decodeName(path)),
                           m_fd < 0 ? qt_error_string(errno) : QStringLiteral("это не обычный файл"));
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const int error = errno;
    *busy = error == EWOULDBLOCK;
    *reason = *busy ? holderText(readAll(m_fd))
                    : QStringLiteral("Файл блокировки %1 не блокируется: %2.")
                          .arg(QDir::toNativeSeparators(QFile::decodeName(path)), qt_error_string(error));
    ::close(m_fd);
    m_fd = -1;
    return false;
}

// The holder's lines, written into the locked file itself: a file put in its
// place would not carry the lock, so this one file is rewritten in place.
void WorkDirLock::writeHolder()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray text = "pid=" + QByteArray::number(qint64(::getpid())) + "\nhost="
                          + QSysInfo::machineHostName().toUtf8() + "\nstart="
                          + now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toUtf8() + "\n";
    if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, text.constData(), size_t(text.size()), 0) == text.size())
        ::fdatasync(m_fd);
}

void WorkDirLock::release()
{
    if (m_fd < 0)
        return;
    // Deleted while still locked, so that nobody can lock a file that is no longer the lock file.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_directory.clear();
    m_path.clear();
}

QString WorkDirLock::holderText(const QByteArray &lockFileBytes)
{
    QString pid, host, start;
    for (const QByteArray &line : lockFileBytes.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(QLatin1String("pid=")))
            pid = text.mid(4);
        else if (text.startsWith(QLatin1String("host=")))
            host = text.mid(5);
        else if (text.startsWith(QLatin1String("start=")))
            start = text.mid(6);
    }
    if (pid.isEmpty())
        return QStringLiteral("неизвестный процесс");
    QString text = QStringLiteral("процесс %1").arg(pid);
    if (!host.isEmpty())
        text += QStringLiteral(" на %1").arg(host);
    if (!start.isEmpty())
        text += QStringLiteral(", начат %1").arg(start);
    return text;
}

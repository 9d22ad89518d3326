#include "ImageReadiness.h"

#include <QByteArray>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ImageReadiness::look(const QString &path, Seen *seen)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    seen->size = qint64(st.st_size);
    seen->modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

ImageReadiness::State ImageReadiness::check(const QString &path)
{
    Seen now;
    if (!look(path, &now)) {
        m_seen.remove(path);
        return Gone;
    }
    const auto previous = m_seen.constFind(path);
    const bool steady = previous != m_seen.constEnd() && *previous == now;
    m_seen.insert(path, now);
    if (!steady)
        return Changing;
    if (!canOpenReadWrite(path))
        return NotOpenable;
    if (heldOpenForWriting(path))
        return HeldForWriting;
    return Ready;
}

void ImageReadiness::observe(const QStringList &paths)
{
    QHash<QString, Seen> seen;
    for (const QString &path : paths) {
        Seen now;
        if (look(path, &now))
            seen.insert(path, now);
    }
    m_seen.swap(seen);
}

bool ImageReadiness::canOpenReadWrite(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Only regular files are opened: opening a device for writing may act on it.
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR))
        return false;
    // Non-blocking, so that a file replaced by a named pipe meanwhile cannot hang the watch.
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Whether descriptor `fd` of process `pid` is open for writing: the access mode
// in the octal "flags:" line of its fdinfo.
static bool descriptorWrites(const QByteArray &pid, const char *fd)
{
    const QByteArray infoPath = QByteArray("/proc/") + pid + QByteArray("/fdinfo/") + QByteArray(fd);
    const int info = ::open(infoPath.constData(), O_RDONLY | O_CLOEXEC);
    if (info < 0)
        return false;
    char buffer[512];
    const ssize_t length = ::read(info, buffer, sizeof buffer);
    ::close(info);
    if (length <= 0)
        return false;
    const QList<QByteArray> lines = QByteArray(buffer, length).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith("flags:"))
            continue;
        bool ok = false;
        const int flags = line.mid(6).trimmed().toInt(&ok, 8);
        const int mode = flags & O_ACCMODE;
        return ok && (mode == O_WRONLY || mode == O_RDWR);
    }
    return false;
}

static bool processWrites(const QByteArray &pid, dev_t device, ino_t inode)
{
    const QByteArray fdPath = QByteArray("/proc/") + pid + QByteArray("/fd");
    DIR *fds = ::opendir(fdPath.constData());
    if (!fds)
        return false; // gone meanwhile, or not ours to inspect
    bool writes = false;
    while (const dirent *entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat target;
        // stat follows the descriptor's link to what it has open, wherever it was renamed.
        if (::fstatat(::dirfd(fds), entry->d_name, &target, 0) != 0)
            continue;
        if (target.st_dev == device && target.st_ino == inode && descriptorWrites(pid, entry->d_name)) {
            writes = true;
            break;
        }
    }
    ::closedir(fds);
    return writes;
}

bool ImageReadiness::heldOpenForWriting(const QString &path)
{
    struct stat file;
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return false;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool held = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        if (processWrites(QByteArray(entry->d_name), file.st_dev, file.st_ino)) {
            held = true;
            break;
        }
    }
    ::closedir(proc);
    return held;
}

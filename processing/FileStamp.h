#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// What tells one state of a file from another: rewritten in place (size,
// times to the nanosecond) or replaced by another file (device, inode). A
// missing file has the empty stamp.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};

    static FileStamp of(const QString &path)
    {
        FileStamp stamp;
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            stamp = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        return stamp;
    }
    bool exists() const { return size >= 0; }
    bool operator==(const FileStamp &other) const
    {
        return device == other.device && inode == other.inode && size == other.size
            && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
            && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

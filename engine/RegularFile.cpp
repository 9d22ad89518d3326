#include "RegularFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString RegularFile::describe(Status status, const QString &path, int systemError)
{
    const QString name = QDir::toNativeSeparators(path);
    switch (status) {
    case Status::Ok: return {};
    case Status::Missing: return QStringLiteral("Файл %1 не найден.").arg(name);
    case Status::NotRegular: return QStringLiteral("%1 не является обычным файлом.").arg(name);
    case Status::TooLarge: return QStringLiteral("Файл %1 слишком велик.").arg(name);
    case Status::Unreadable:
        return QStringLiteral("Файл %1 не читается: %2").arg(name, qt_error_string(systemError));
    }
    return {};
}

RegularFile::Status RegularFile::read(const QString &path, QByteArray *bytes, QString *errorText, qint64 limit)
{
    bytes->clear();
    int systemError = 0;
    auto result = [&](Status status) {
        if (errorText)
            *errorText = describe(status, path, systemError);
        return status;
    };
    // O_NONBLOCK: opening a pipe nobody writes to returns at once instead of waiting.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        systemError = errno;
        return result(errno == ENOENT ? Status::Missing : Status::Unreadable);
    }
    struct stat st;
    Status status = Status::Ok;
    if (::fstat(fd, &st) != 0) {
        systemError = errno;
        status = Status::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        status = Status::NotRegular;
    } else if (st.st_size > limit) {
        status = Status::TooLarge;
    }
    // Read at most one byte past the limit: a file growing while read is refused too.
    while (status == Status::Ok) {
        char buffer[65536];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            systemError = errno;
            status = Status::Unreadable;
        } else if (got == 0) {
            break;
        } else if (bytes->size() + got > limit) {
            status = Status::TooLarge;
        } else {
            bytes->append(buffer, got);
        }
    }
    ::close(fd);
    if (status != Status::Ok)
        bytes->clear();
    return result(status);
}

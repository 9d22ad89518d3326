#pragma once

#include <QByteArray>
#include <QString>

// Reads a small text file (settings, zones, the editor's tables, points) only
// when it is a regular file of bounded size. A named pipe at a settings path
// would block the program for good and a device such as /dev/zero would grow
// its memory without end; both are refused without waiting.
class RegularFile
{
public:
    enum class Status { Ok, Missing, NotRegular, TooLarge, Unreadable };

    static constexpr qint64 DefaultLimit = 1 << 20; // 1 MB: far above any file of the family

    static Status read(const QString &path, QByteArray *bytes, QString *errorText = nullptr,
                       qint64 limit = DefaultLimit);

    // What is wrong, for a message: "... не является обычным файлом", "... слишком велик".
    static QString describe(Status status, const QString &path, int systemError = 0);
};

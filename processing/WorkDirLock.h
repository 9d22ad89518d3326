#pragma once

#include <QString>

// A working directory is used by one run or watch at a time, whatever program
// or station computer starts it: two would choose the same result base, write
// the same archive and overwrite each other's coordinate files.
//
// The holder keeps an advisory lock (flock) on "kelvarin2.lock" in the
// directory for as long as it works there; the file says who holds it (process,
// computer, start time) so that a refused start can name them. The kernel
// drops the lock of a process that dies, however it dies: a lock file left by
// a killed process is simply taken over, and `takenOver()` tells whose it was.
// The lock is not inherited by programs the holder starts (archiver, alarms).
class WorkDirLock
{
public:
    WorkDirLock() = default;
    ~WorkDirLock() { release(); }
    WorkDirLock(const WorkDirLock &) = delete;
    WorkDirLock &operator=(const WorkDirLock &) = delete;

    static QString fileName() { return QStringLiteral("kelvarin2.lock"); }

    // Takes the directory for this run. False, with `reason` a whole sentence
    // naming the directory and its holder, when another run holds it or the
    // lock file cannot be made.
    bool acquire(const QString &workDir, QString *reason);
    // Gives the directory free: the lock file is deleted, then the lock dropped.
    void release();

    bool held() const { return m_fd >= 0; }
    // The directory held, as it was given to `acquire`.
    const QString &directory() const { return m_directory; }
    // A sentence naming who held the directory before, when the lock was left
    // by a process that ended without giving it free; empty otherwise.
    const QString &takenOver() const { return m_takenOver; }

    // "процесс 1234 на station-7, начат 2026-12-10T11:50:00+01:00" from the
    // lock file's lines; "неизвестный процесс" when they say nothing.
    static QString holderText(const QByteArray &lockFileBytes);

private:
    bool openLocked(const QByteArray &path, QString *reason, bool *busy);
    void writeHolder();

    int m_fd = -1;
    QString m_directory;
    QString m_path;
    QString m_takenOver;
};

#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Whether an image dropped into the buffer directory is complete, so that the
// watch may process and then move or archive it.
//
// On Linux another program may write a file without any lock, so opening it
// for reading and writing proves nothing by itself. An image is taken as not
// ready when any of these holds:
//  - its size or modification time differs from what the previous look saw
//    (also when there was no previous look: a new file waits one tick);
//  - it cannot be opened for reading and writing, or its owner's write bit is
//    clear (a read-only file; root would otherwise open it regardless);
//  - a process has it open for writing: every /proc/<pid>/fd entry that leads
//    to the same device and inode is looked up in /proc/<pid>/fdinfo; processes
//    that cannot be inspected are skipped.
class ImageReadiness
{
public:
    enum State { Ready, Gone, Changing, NotOpenable, HeldForWriting };

    // Looks at `path` and remembers its size and modification time for the next look.
    State check(const QString &path);
    // Remembers size and modification time of every listed file, so that an
    // image that waited behind others is ready at its first turn; forgets
    // files that are no longer listed.
    void observe(const QStringList &paths);
    void clear() { m_seen.clear(); }

    static bool canOpenReadWrite(const QString &path);
    static bool heldOpenForWriting(const QString &path);

private:
    struct Seen
    {
        qint64 size = -1;
        qint64 modifiedNs = -1;
        bool operator==(const Seen &) const = default;
    };
    static bool look(const QString &path, Seen *seen);

    QHash<QString, Seen> m_seen;
};

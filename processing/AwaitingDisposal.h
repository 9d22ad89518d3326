#pragma once

#include <QList>
#include <QString>

// Images a watch measured but could not archive or move before it ended: their
// points are in that watch's result set, so the next watch on the working
// directory must only dispose of them, never measure them again. Kept in
// "kelvarin2-awaiting.txt" in the working directory, one image a line: its
// size, its modification time in nanoseconds, the copy already made (or
// nothing) and its path, separated by tabs. An image changed since (another
// file by the same name) is not the one measured and is measured as new.
class AwaitingDisposal
{
public:
    struct Image
    {
        QString path;
        qint64 size = -1;
        qint64 modifiedNs = -1;
        QString copiedTo;
    };

    static QString fileName() { return QStringLiteral("kelvarin2-awaiting.txt"); }

    // The images listed in the working directory; none when there is no list
    // or it cannot be read.
    static QList<Image> read(const QString &workDir);
    // Writes the list whole (deletes it when empty). False with `reason`.
    static bool write(const QString &workDir, const QList<Image> &images, QString *reason);
    // The image as it is on the disk now; size -1 when it is gone.
    static Image lookAt(const QString &path, const QString &copiedTo = QString());
    // Whether the file at the image's path is still the one that was measured.
    static bool unchanged(const Image &image);
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// Writes a file whole and replaces it atomically: the bytes go to a new
// temporary file beside the target, are flushed to the disk, and only then
// renamed over it. A short write (a full disk, a file size limit), a failed
// flush or a failed rename leaves the earlier file byte for byte and removes
// the temporary file. A symbolic link or anything but a regular file at the
// target name is refused: the program never writes through a link it did not
// make.
class AtomicFile
{
public:
    // Returns false and fills errorText (if given) with the reason when the file cannot be written.
    static bool write(const QString &path, const QByteArray &bytes, QString *errorText = nullptr);

    // The same, but throws KelvarinError with a message naming the file.
    static void writeOrThrow(const QString &path, const QByteArray &bytes);

    // Several files that belong together (a result set): all are written to
    // temporary files and flushed first, and only when every one is complete
    // are they renamed over their targets. A failure before that replaces
    // nothing; `failedPath` names the file that failed.
    static bool writeSet(const QList<std::pair<QString, QByteArray>> &files, QString *errorText = nullptr,
                         QString *failedPath = nullptr);
    static void writeSetOrThrow(const QList<std::pair<QString, QByteArray>> &files);

    // A file too large to hold, written in pieces: `produce` hands each piece
    // to the writer it is given (false from the writer: the disk refused it)
    // and returns false to give up. The file replaces the earlier one only
    // when all is written and flushed; otherwise nothing changes and
    // errorText says why (empty when `produce` gave up on its own).
    using PieceWriter = std::function<bool(const QByteArray &)>;
    static bool writeStreamed(const QString &path, const std::function<bool(const PieceWriter &)> &produce,
                              QString *errorText = nullptr);

    // Makes a new file that must not exist yet, complete or not at all; never
    // replaces anything. `taken` tells that the name was taken meanwhile.
    static bool writeNew(const QString &path, const QByteArray &bytes, QString *errorText, bool *taken);

    // Joins lines with CR LF after every line, the last one included.
    static QByteArray crlfLines(const QList<QByteArray> &lines);

    // The reason a new file may not be made at `path` (a link or a non-regular
    // file is there), or empty when it may. Used also before moving an image.
    static QString refusalReason(const QString &path);

    // Tests make one step fail as a full disk or a failing device would.
    enum class Step { None, Write, Flush, Close, Rename };
    static void failStepForTesting(Step step);
};

#pragma once

#include <QByteArray>
#include <QString>

// Writes a file whole and replaces it atomically: the bytes go to a temporary
// file beside the target, which is then renamed over it, so a reader never
// sees half a file and a failed write leaves the old file as it was.
class AtomicFile
{
public:
    // Returns false and fills errorText (if given) when the file cannot be written.
    static bool write(const QString &path, const QByteArray &bytes, QString *errorText = nullptr);

    // The same, but throws KelvarinError with a message naming the file.
    static void writeOrThrow(const QString &path, const QByteArray &bytes);

    // Joins lines with CR LF after every line, the last one included.
    static QByteArray crlfLines(const QList<QByteArray> &lines);
};

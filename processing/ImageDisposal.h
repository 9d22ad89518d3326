#pragma once

#include "FileStamp.h"

#include <QSet>
#include <QString>

class ImageArchiver;
struct TParameters;

// What becomes of a watched image once it is processed: packed into the
// watch's one archive or an archive of its own, or moved into the working
// directory. Nothing already archived or moved is ever replaced: an image
// whose name (or, for archives of their own, whose stem) was seen before is
// stored under the first free name with "~2", "~3", ... before the extension:
// "dup~2.bmp" in the one archive, "<base>_dup~2.zip", "WorkDir/dup~2.bmp".
// The names of the one archive are those it holds, whoever put them there:
// it is read again whenever it changed since this watch last added to it.
class ImageDisposal
{
public:
    enum class Outcome {
        Archived,         // in an archive, gone from the buffer
        Moved,            // copied into the working directory, gone from the buffer
        Failed,           // still in the buffer, nothing stored; try again later
        CopiedNotRemoved  // the copy is in the working directory, the buffer's image stayed
    };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString reason;     // why it failed, a phrase
        QString imagePath;  // where the image is now when it stayed in the buffer (it may be renamed)
        QString storedAs;   // the archive or file it went to
    };

    explicit ImageDisposal(ImageArchiver &archiver);

    // A new watch with its result base: the names in its one archive start afresh.
    void begin(const QString &resultsBase);
    Result dispose(const QString &imagePath, const TParameters &params);
    // Only deletes the buffer's image whose copy already is in the working directory.
    Result removeCopied(const QString &imagePath, const QString &copy);

    // "name~n.ext" ("name~n" without an extension); n = 1 gives the name itself.
    static QString numberedName(const QString &fileName, int n);
    // Whether anything (a file, a directory, a link, even a dangling one) has the name.
    static bool nameTaken(const QString &path);

private:
    Result archiveIntoOne(const QString &imagePath);
    QString learnArchiveNames(const QString &archivePath);
    Result giveFreeName(const QString &imagePath);
    Result archiveOnItsOwn(const QString &imagePath);
    Result archiveAs(const QString &archivePath, const QString &imagePath);
    Result moveToWorkDir(const QString &imagePath, const QString &workDir);

    ImageArchiver &m_archiver;
    QString m_resultsBase;
    QSet<QString> m_namesInArchive; // the names the one archive holds
    FileStamp m_knownArchive;       // the one archive when its names were last known
};

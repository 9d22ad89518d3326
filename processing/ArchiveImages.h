#pragma once

#include <QString>
#include <QStringList>

class BitmapFile;

// Images inside zip archives, read straight from the archive without unpacking
// to disk. An image in an archive is named "ARCHIVE:ENTRY" (for example
// "/data/2026-03.zip:cam1/img_0001.bmp"), and every list, message and journal
// row carries that name.
//
// An archive that cannot be read, holds no image entry, or an entry that is
// damaged, claims more than MaxEntryBytes or holds no bitmap is refused with a
// message naming the archive and the entry. Each thread reads its entries
// into one buffer it keeps, so memory stays bounded by the largest entry a
// thread has read (a buffer far larger than the entry at hand is given back).
class ArchiveImages
{
public:
    // The images of the given paths in order: a file as it is, a directory its
    // images (see ImageList) in name order without regard to case, an archive (*.zip,
    // any case) its image entries in that order. With `archivesInDirectories`
    // a directory's *.zip files take part in its name order too, each giving
    // its entries in its place. An archive that cannot be listed gives one
    // name, "ARCHIVE:", which fails when it is opened, so the images before it
    // are still measured.
    static QStringList expand(const QStringList &paths, bool archivesInDirectories);

    // Whether the path names a zip archive by its extension.
    static bool isArchive(const QString &path);

    // Opens an image: an "ARCHIVE:ENTRY" name from its archive, any other path
    // as a file. Throws KelvarinError. Safe to call from several threads.
    static void open(BitmapFile &image, const QString &name);

    // The largest entry read: far above any camera's bitmap (8192 x 8192 at
    // 32 bits is 256 MB), and below what a forged size could make us allocate.
    static constexpr qint64 MaxEntryBytes = qint64(256) << 20;

    // Splits an "ARCHIVE:ENTRY" name whose archive exists as a file; false for
    // any other path.
    static bool splitName(const QString &name, QString *archive, QString *entry);

    // The image entries of an archive in name order; throws KelvarinError.
    static QStringList entriesOf(const QString &archive);
    // Every entry name of an archive as stored (directories and other files
    // too), in the archive's order; throws KelvarinError.
    static QStringList allEntriesOf(const QString &archive);
    // The size an entry has in the archive, or -1 when the archive has no
    // entry of that name; throws KelvarinError when the archive cannot be read.
    static qint64 storedSize(const QString &archive, const QString &entry);
};

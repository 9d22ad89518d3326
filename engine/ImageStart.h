#pragma once

#include <QByteArray>
#include <QString>

// Whether the first bytes of a file can begin an image the program reads, so
// that an image packed in an archive is refused before the rest of it is
// inflated (an entry of a quarter gigabyte of zeros is no bitmap, and its
// first bytes say so), and how much of it the image needs. Every image format
// the program reads has its check here, chosen by the bytes' signature; the
// format's reader still checks the whole image when it opens it.
class ImageStart
{
public:
    // At most this many first bytes are needed: every header with its palette.
    static constexpr qsizetype BytesNeeded = 4096;

    // Checks the start of an image whose whole size is `size` and returns how
    // many bytes from its start the image needs (never more than `size`;
    // anything after them is only read for the archive's check sum). Throws
    // KelvarinError with a message naming `name` when the start is no image's.
    static qint64 check(const QByteArray &firstBytes, qint64 size, const QString &name);
};

#pragma once

#include <QByteArray>
#include <QString>

// The end of a zip archive, from its central directory on, kept so that an
// append in place can be undone. An archiver that grows an archive writes the
// new entries over the old central directory and a new directory after them;
// killed half way (or out of disk), it leaves an archive whose directory is
// gone. Writing the kept bytes back at their offset and cutting the file to
// its old length gives the archive back byte for byte: nothing before the
// central directory is ever touched by an append.
class ArchiveTail
{
public:
    // Reads the end of the archive at `path`. False, with `reason`, when the
    // archive has no readable end record (cut, not a zip archive): such an
    // archive is not appended to.
    bool take(const QString &path, QString *reason);
    // Puts the archive back as it was when taken. False, with `reason`, when
    // it could not be written.
    bool restore(QString *reason) const;

    bool taken() const { return m_size >= 0; }
    qint64 size() const { return m_size; }
    // Where the central directory began.
    qint64 directoryOffset() const { return m_offset; }

private:
    QString m_path;
    qint64 m_size = -1;
    qint64 m_offset = -1;
    QByteArray m_bytes;
};

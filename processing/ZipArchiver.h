#pragma once

#include "ImageArchiver.h"

#include <QString>
#include <QStringList>

#include <functional>

class ArchiveTail;
class QProcess;

// The external archiver "zip -g -j", run without a shell and waited for at
// most a time limit while the program's events go on. It grows the archive in
// place, so an image costs the same at any size of the archive; the image is
// deleted here, and only once the archive, read back, holds it whole.
//
// An attempt that fails in any way (an error, a crash, the time limit, an
// archive that does not read back) leaves the archive as it was before: its
// end is kept before the archiver starts and written back after (ArchiveTail),
// and a new archive that failed is deleted. The archiver's temporary files
// ("zi" and six characters) that appeared during a failed attempt are deleted.
class ZipArchiver final : public ImageArchiver
{
public:
    static constexpr int DefaultTimeout = 60000; // ms

    QString archive(const QString &archivePath, const QString &imagePath) override;

    // The program, found on the PATH; "zip" unless a test says otherwise.
    void setProgram(const QString &program) { m_program = program; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    // Called while waiting: the window's events, the tool's signal check.
    void setWhileWaiting(std::function<void()> callback) { m_whileWaiting = std::move(callback); }
    bool waiting() const { return m_waiting; }

    // The archiver's temporary files in a directory.
    static QStringList temporaryFiles(const QString &dir);

private:
    QString runArchiver(const QString &archivePath, const QString &imagePath);
    QString waitFor(QProcess &zip);
    static QString readBack(const QString &archivePath, const QString &imagePath);
    static QString undo(const QString &archivePath, const ArchiveTail &tail, const QStringList &temporariesBefore);

    QString m_program = QStringLiteral("zip");
    int m_timeout = DefaultTimeout;
    std::function<void()> m_whileWaiting;
    bool m_waiting = false;
};

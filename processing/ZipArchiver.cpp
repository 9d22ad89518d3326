#include "ZipArchiver.h"

#include "ArchiveImages.h"
#include "ArchiveTail.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>

#include <csignal>
#include <unistd.h>

QString ZipArchiver::archive(const QString &archivePath, const QString &imagePath)
{
    const QString archiveFile = QFileInfo(archivePath).absoluteFilePath();
    const QString imageFile = QFileInfo(imagePath).absoluteFilePath();
    ArchiveTail tail;
    if (QFileInfo::exists(archiveFile)) {
        QString reason;
        if (!tail.take(archiveFile, &reason))
            return QStringLiteral("архив %1 не дописывается: %2").arg(QDir::toNativeSeparators(archiveFile), reason);
    }
    const QString dir = QFileInfo(archiveFile).path();
    const QStringList temporariesBefore = temporaryFiles(dir);
    QString failure = runArchiver(archiveFile, imageFile);
    if (failure.isEmpty())
        failure = readBack(archiveFile, imageFile);
    if (!failure.isEmpty())
        return failure + undo(archiveFile, tail, temporariesBefore);
    if (::unlink(QFile::encodeName(imageFile).constData()) != 0 && QFileInfo::exists(imageFile))
        return QStringLiteral("файл остался на месте (%1)").arg(qt_error_string(errno));
    return {};
}

QString ZipArchiver::runArchiver(const QString &archivePath, const QString &imagePath)
{
    QProcess zip;
    zip.setProgram(m_program);
    // -g: the archive grows in place; -nw: names are taken as they are, never
    // as the archiver's own wildcards; absolute paths, so that no name (a
    // relative working directory) reads as an option.
    zip.setArguments({QStringLiteral("-g"), QStringLiteral("-j"), QStringLiteral("-q"), QStringLiteral("-nw"),
                      archivePath, imagePath});
    zip.setStandardInputFile(QProcess::nullDevice());
    zip.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group: Ctrl+C in the tool's terminal stops the watch
    // between images and must not kill the archiver half way through.
    zip.setChildProcessModifier([] { ::setpgid(0, 0); });
    zip.start();
    if (!zip.waitForStarted())
        return QStringLiteral("архиватор %1 не запускается (%2)").arg(m_program, zip.errorString());
    return waitFor(zip);
}

QString ZipArchiver::waitFor(QProcess &zip)
{
    m_waiting = true;
    const auto waited = qScopeGuard([this] { m_waiting = false; });
    const QDeadlineTimer deadline(m_timeout);
    while (zip.state() != QProcess::NotRunning && !zip.waitForFinished(20)) {
        if (m_whileWaiting)
            m_whileWaiting();
        if (deadline.hasExpired() && zip.state() != QProcess::NotRunning) {
            // The whole group: a wrapper's own children go too.
            ::kill(-pid_t(zip.processId()), SIGKILL);
            zip.kill();
            zip.waitForFinished();
            return QStringLiteral("архиватор не закончил работу за %1 с")
                .arg(LocaleFormat::formatGeneral(m_timeout / 1000.0));
        }
    }
    if (zip.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("архиватор завершился аварийно");
    if (zip.exitCode() != 0) {
        const QString output = QString::fromLocal8Bit(zip.readAll()).trimmed();
        return QStringLiteral("архиватор вернул код %1").arg(zip.exitCode())
             + (output.isEmpty() ? QString() : QStringLiteral(": ") + output.section(QLatin1Char('\n'), -1));
    }
    return {};
}

// The archive as it now is on the disk must be whole and hold the image under
// its name with its size; the archiver's word alone does not delete an image.
QString ZipArchiver::readBack(const QString &archivePath, const QString &imagePath)
{
    const QFileInfo image(imagePath);
    try {
        const qint64 stored = ArchiveImages::storedSize(archivePath, image.fileName());
        if (stored == image.size())
            return {};
        return stored < 0 ? QStringLiteral("архиватор завершился, но в архиве нет файла")
                          : QStringLiteral("архиватор завершился, но файл в архиве неполон");
    } catch (const KelvarinError &error) {
        return QStringLiteral("архиватор завершился, но архив не читается: %1").arg(error.message());
    }
}

// Puts the archive back; the part of the message that says so.
QString ZipArchiver::undo(const QString &archivePath, const ArchiveTail &tail, const QStringList &temporariesBefore)
{
    const QString dir = QFileInfo(archivePath).path();
    for (const QString &name : temporaryFiles(dir)) {
        if (!temporariesBefore.contains(name))
            QFile::remove(QDir(dir).filePath(name));
    }
    QString reason;
    if (tail.taken()) {
        if (!tail.restore(&reason))
            return QStringLiteral("; архив %1 не восстановлен: %2").arg(QDir::toNativeSeparators(archivePath), reason);
        return {};
    }
    // A new archive that failed: nothing of it is worth keeping.
    if (QFileInfo::exists(archivePath) && !QFile::remove(archivePath))
        return QStringLiteral("; недописанный архив %1 не удален").arg(QDir::toNativeSeparators(archivePath));
    return {};
}

QStringList ZipArchiver::temporaryFiles(const QString &dir)
{
    static const QRegularExpression name(QStringLiteral("^zi[A-Za-z0-9]{6}$"));
    QStringList names = QDir(dir).entryList({QStringLiteral("zi*")}, QDir::Files | QDir::Hidden);
    names.removeIf([](const QString &candidate) { return !name.match(candidate).hasMatch(); });
    return names;
}

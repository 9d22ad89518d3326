#include "ZipArchiver.h"

#include "LocaleFormat.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include <unistd.h>

QString ZipArchiver::archive(const QString &archivePath, const QString &imagePath)
{
    QProcess zip;
    zip.setProgram(m_program);
    // -nw: names are taken as they are, never as the archiver's own wildcards;
    // absolute paths, so that no name (a relative working directory) reads as an option.
    zip.setArguments({QStringLiteral("-m"), QStringLiteral("-j"), QStringLiteral("-q"), QStringLiteral("-nw"),
                      QFileInfo(archivePath).absoluteFilePath(), QFileInfo(imagePath).absoluteFilePath()});
    zip.setStandardInputFile(QProcess::nullDevice());
    zip.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group: Ctrl+C in the tool's terminal stops the watch
    // between images and must not kill the archiver half way through.
    zip.setChildProcessModifier([] { ::setpgid(0, 0); });
    zip.start();
    if (!zip.waitForStarted())
        return QStringLiteral("архиватор %1 не запускается (%2)").arg(m_program, zip.errorString());
    m_waiting = true;
    const auto waited = qScopeGuard([this] { m_waiting = false; });
    const QDeadlineTimer deadline(m_timeout);
    while (zip.state() != QProcess::NotRunning && !zip.waitForFinished(20)) {
        if (m_whileWaiting)
            m_whileWaiting();
        if (deadline.hasExpired() && zip.state() != QProcess::NotRunning) {
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
    if (QFileInfo::exists(imagePath))
        return QStringLiteral("файл остался на месте");
    return {};
}

#pragma once

#include "ImageArchiver.h"

#include <QString>

#include <functional>

// The external archiver "zip -m -j", run without a shell and waited for at
// most a time limit while the program's events go on.
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

private:
    QString m_program = QStringLiteral("zip");
    int m_timeout = DefaultTimeout;
    std::function<void()> m_whileWaiting;
    bool m_waiting = false;
};

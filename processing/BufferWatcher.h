#pragma once

#include "ImageReadiness.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Which image of the buffer directory the watch works on next, and what it
// remembers about each: failed attempts, images waiting for another try at
// archiving or moving (with a growing pause), images it could not set aside.
//
// Images are taken in name order. An image still growing holds the ones after
// it for a while (the series keeps the name order across a camera's short
// write), but one that keeps growing for GrowingPassMs is passed over, named
// once in `Next::growing`, and taken when it has stopped. An image that is
// locked by a writer or read-only, or waits for its next try at disposal, is
// passed over so that it cannot stall the others, and looked at again at the
// next tick.
class BufferWatcher
{
public:
    enum class Work {
        None,         // nothing to do this tick
        Process,      // detection, then disposal
        DisposeOnly,  // processed before; only archiving or moving is due
        SetAside      // read-only for too long
    };
    struct Next
    {
        Work work = Work::None;
        QString path;
        QString copiedTo;  // DisposeOnly: the copy already in the working directory
        QString growing;   // an image passed over from now on because it keeps growing (named once)
        // Files of the buffer that are no supported image, each told once
        // while it stays (and again if it comes back after leaving).
        QStringList unsupported;
    };

    // Attempts at an image whose detection fails before it is set aside.
    static constexpr int MaxAttempts = 3;
    // Looks at which a complete image may stay read-only before it is set aside; about a minute.
    static constexpr int DefaultNotOpenableLooks = 600;
    static constexpr qint64 NotOpenableMs = 60000;
    // The pause before another try at archiving or moving doubles from one second up to a minute.
    static constexpr qint64 FirstPauseMs = 1000;
    static constexpr qint64 LongestPauseMs = 60000;
    // How long an image may keep changing before the images after it no longer wait for it.
    static constexpr qint64 GrowingPassMs = 10000;

    void clear();
    void setNotOpenableLooks(int looks) { m_notOpenableLimit = looks; }

    // `nowMs`: a monotonic time in milliseconds (the watch's clock).
    Next next(const QString &bufferDir, qint64 nowMs);

    // A failed detection; the number of attempts so far.
    int failedAttempt(const QString &path) { return ++m_attempts[path]; }
    // Processed, but archiving or moving failed: tried again after a pause.
    // `copiedTo` names the copy when only the deleting failed.
    void disposalFailed(const QString &path, qint64 nowMs, const QString &copiedTo = QString());
    // The image left the buffer (or was renamed there): forget what was known of it.
    void forget(const QString &path);
    // An image that could not even be set aside: never looked at again.
    void skip(const QString &path) { forget(path); m_skipped.insert(path); }

    bool awaitingDisposal(const QString &path) const { return m_pending.contains(path); }
    int pendingCount() const { return int(m_pending.size()); }
    // The images waiting for another try at disposal, each with its copy in the working directory (or none).
    QHash<QString, QString> pendingImages() const;
    // Whether the image is passed over for now because it keeps growing.
    bool isPassedOver(const QString &path) const { return m_passedOver.contains(path); }

    static QString setAsideDirectoryName();
    // Moves the image into "Отложенные" under its own name, or with "_1",
    // "_2", ... before the extension; never replaces, never through a link.
    // The name given, or empty with `reason` filled.
    static QString moveAside(const QString &path, QString *reason);

private:
    bool holdsLaterImages(const QString &path, qint64 nowMs, QString *growing);
    void noteUnsupported(const QStringList &others, Next *next);

    struct Pending
    {
        qint64 dueMs = 0;
        qint64 pauseMs = FirstPauseMs;
        QString copiedTo;
    };

    ImageReadiness m_readiness;
    QHash<QString, int> m_attempts;
    QHash<QString, Pending> m_pending;
    QHash<QString, int> m_notOpenableLooks;
    QHash<QString, qint64> m_notOpenableSince;
    QHash<QString, qint64> m_changingSince;
    QSet<QString> m_passedOver;  // images named as growing, until they are ready
    QSet<QString> m_skipped;
    QSet<QString> m_unsupported; // told already
    int m_notOpenableLimit = DefaultNotOpenableLooks;
};

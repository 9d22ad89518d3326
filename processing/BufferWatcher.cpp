#include "BufferWatcher.h"

#include "ImageList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

void BufferWatcher::clear()
{
    m_readiness.clear();
    m_attempts.clear();
    m_pending.clear();
    m_notOpenableLooks.clear();
    m_notOpenableSince.clear();
    m_changingSince.clear();
    m_passedOver.clear();
    m_skipped.clear();
    m_unsupported.clear();
}

BufferWatcher::Next BufferWatcher::next(const QString &bufferDir, qint64 nowMs)
{
    QStringList others;
    const QStringList listed = ImageList::imagesIn(bufferDir, &others);
    Next next;
    QString growing;
    noteUnsupported(others, &next);
    for (const QString &path : listed) {
        if (m_skipped.contains(path))
            continue;
        const auto pending = m_pending.constFind(path);
        if (pending != m_pending.constEnd()) {
            if (pending->dueMs > nowMs)
                continue;
            next.work = Work::DisposeOnly;
            next.path = path;
            next.copiedTo = pending->copiedTo;
            break;
        }
        const ImageReadiness::State state = m_readiness.check(path);
        if (state != ImageReadiness::Changing) {
            m_changingSince.remove(path);
            m_passedOver.remove(path);
        }
        if (state == ImageReadiness::Ready) {
            m_notOpenableLooks.remove(path);
            m_notOpenableSince.remove(path);
            next.work = Work::Process;
            next.path = path;
            break;
        }
        if (state == ImageReadiness::NotOpenable) {
            // About a minute either way: by looks when the watch is idle, by time when it is busy.
            const qint64 since = m_notOpenableSince.value(path, nowMs);
            m_notOpenableSince.insert(path, since);
            if (++m_notOpenableLooks[path] >= m_notOpenableLimit || nowMs - since >= NotOpenableMs) {
                next.work = Work::SetAside;
                next.path = path;
                break;
            }
        }
        if (state == ImageReadiness::Changing && holdsLaterImages(path, nowMs, &growing))
            break;
    }
    next.growing = growing;
    m_readiness.observe(listed);
    // Forget what was known of images that are gone.
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        it = listed.contains(it.key()) ? std::next(it) : m_pending.erase(it);
    }
    m_passedOver.removeIf([&listed](const QString &path) { return !listed.contains(path); });
    return next;
}

// Still being written: the images after it wait, so the series keeps the name
// order; but not for ever.
bool BufferWatcher::holdsLaterImages(const QString &path, qint64 nowMs, QString *growing)
{
    const qint64 since = m_changingSince.value(path, nowMs);
    m_changingSince.insert(path, since);
    if (nowMs - since < GrowingPassMs)
        return true;
    if (!m_passedOver.contains(path)) {
        m_passedOver.insert(path);
        *growing = path;
    }
    return false;
}

void BufferWatcher::noteUnsupported(const QStringList &others, Next *next)
{
    const QSet<QString> present(others.cbegin(), others.cend());
    m_unsupported.intersect(present);
    for (const QString &path : others) {
        if (!m_unsupported.contains(path)) {
            m_unsupported.insert(path);
            next->unsupported << path;
        }
    }
    std::sort(next->unsupported.begin(), next->unsupported.end(), ImageList::lessByName);
}

void BufferWatcher::disposalFailed(const QString &path, qint64 nowMs, const QString &copiedTo)
{
    m_attempts.remove(path);
    Pending &pending = m_pending[path];
    if (pending.dueMs != 0)
        pending.pauseMs = qMin(pending.pauseMs * 2, LongestPauseMs);
    pending.dueMs = nowMs + pending.pauseMs;
    if (!copiedTo.isEmpty())
        pending.copiedTo = copiedTo;
}

QHash<QString, QString> BufferWatcher::pendingImages() const
{
    QHash<QString, QString> images;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        images.insert(it.key(), it->copiedTo);
    return images;
}

void BufferWatcher::forget(const QString &path)
{
    m_attempts.remove(path);
    m_pending.remove(path);
    m_notOpenableLooks.remove(path);
    m_notOpenableSince.remove(path);
    m_changingSince.remove(path);
    m_passedOver.remove(path);
}

QString BufferWatcher::setAsideDirectoryName()
{
    return QStringLiteral("Отложенные");
}

QString BufferWatcher::moveAside(const QString &path, QString *reason)
{
    const QFileInfo image(path);
    const QString asidePath = image.dir().filePath(setAsideDirectoryName());
    struct stat st;
    const QByteArray aside = QFile::encodeName(asidePath);
    if (::lstat(aside.constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        *reason = S_ISLNK(st.st_mode)
                      ? QStringLiteral("%1 - символическая ссылка; изображения через нее не переносятся")
                            .arg(QDir::toNativeSeparators(asidePath))
                      : QStringLiteral("%1 не является папкой").arg(QDir::toNativeSeparators(asidePath));
        return {};
    }
    if (!QDir().mkpath(asidePath)) {
        *reason = QStringLiteral("папка %1 не создается").arg(QDir::toNativeSeparators(asidePath));
        return {};
    }
    const QString suffix = image.suffix().isEmpty() ? QString() : QLatin1Char('.') + image.suffix();
    const QByteArray source = QFile::encodeName(path);
    for (int n = 0; n < 10000; ++n) {
        const QString name = n == 0 ? image.fileName()
                                    : QString(image.completeBaseName() + QLatin1Char('_') + QString::number(n) + suffix);
        const QByteArray target = QFile::encodeName(QDir(asidePath).filePath(name));
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
            return name;
        if (errno != EEXIST) {
            *reason = qt_error_string(errno);
            return {};
        }
    }
    *reason = QStringLiteral("нет свободного имени");
    return {};
}

#include "TStartControl.h"

#include "ImageList.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "ResultFiles.h"
#include "ResultSetWriter.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TRunHost.h"
#include "TStartHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

static const QString waitingForFiles = QStringLiteral(" Ожидание новых файлов...");

// A reason or message as a sentence of its own inside the status line.
static QString sentence(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.endsWith(QLatin1Char('.')) || trimmed.endsWith(QLatin1Char('!'))
        || trimmed.endsWith(QLatin1Char('?')))
        return trimmed;
    return trimmed + QLatin1Char('.');
}

static QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

TStartControl::TStartControl(TPointFinder &finder, TParameters &params, TRunTimes &times, TRunHost &runHost,
                             TStartHost &startHost, QObject *parent)
    : QObject(parent), m_finder(finder), m_params(params), m_times(times), m_runHost(runHost),
      m_startHost(startHost)
{
    m_timer.setInterval(TimerInterval);
    m_zip.setWhileWaiting([this] { m_runHost.ProcessEvents(); });
    connect(&m_timer, &QTimer::timeout, this, &TStartControl::TimerTimer);
}

// The watch copies images into the working directory and deletes them from the
// buffer: were both the same directory, every image would be deleted.
void TStartControl::checkBufferDirectory() const
{
    if (m_params.BufferDir.isEmpty())
        throw KelvarinError(QStringLiteral("Буферная директория не задана."));
    const QFileInfo buffer(m_params.BufferDir);
    if (!buffer.isDir())
        throw KelvarinError(QStringLiteral("Буферная директория %1 не существует.").arg(nativeName(m_params.BufferDir)));
    const QFileInfo work(m_params.WorkDir);
    if (work.isDir() && work.canonicalFilePath() == buffer.canonicalFilePath())
        throw KelvarinError(QStringLiteral("Буферная директория не может совпадать с рабочей!"));
}

// The watch's working directory for it alone; kept when a watch goes on in the same one.
void TStartControl::takeWorkDir()
{
    m_workDirRefused = false;
    // No working directory, nothing to share: the result set's writing says what is wrong.
    const QString dir = QFileInfo(m_params.WorkDir).canonicalFilePath();
    if (dir.isEmpty() || !QFileInfo(dir).isDir() || (m_lock && m_lock->directory() == dir))
        return;
    auto lock = std::make_unique<WorkDirLock>();
    QString reason;
    if (!lock->acquire(dir, &reason)) {
        m_workDirRefused = true;
        throw KelvarinError(reason);
    }
    m_lock = std::move(lock);
    if (!m_lock->takenOver().isEmpty())
        m_runHost.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, m_params.WorkDir,
                                      m_lock->takenOver()));
}

// Images an earlier watch measured and left in this buffer are disposed of
// only: their points are in that watch's results.
void TStartControl::takeOverAwaiting()
{
    m_awaitingElsewhere.clear();
    m_awaitingWritten = AwaitingDisposal::read(m_params.WorkDir);
    const QString buffer = QFileInfo(m_params.BufferDir).absoluteFilePath();
    for (const AwaitingDisposal::Image &image : std::as_const(m_awaitingWritten)) {
        if (QFileInfo(image.path).absolutePath() != buffer)
            m_awaitingElsewhere << image;
        else if (AwaitingDisposal::unchanged(image))
            m_watcher.disposalFailed(image.path, nowMs(), image.copiedTo);
    }
    rememberAwaiting();
}

// Keeps the list in the working directory up to date whenever the images
// awaiting disposal change, so that a watch ended or killed meanwhile leaves it true.
void TStartControl::rememberAwaiting()
{
    QList<AwaitingDisposal::Image> images = m_awaitingElsewhere;
    const QHash<QString, QString> pending = m_watcher.pendingImages();
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        const auto known = std::find_if(m_awaitingWritten.cbegin(), m_awaitingWritten.cend(),
                                        [&](const AwaitingDisposal::Image &image) { return image.path == it.key(); });
        images << (known != m_awaitingWritten.cend() ? *known : AwaitingDisposal::lookAt(it.key(), it.value()));
    }
    std::sort(images.begin(), images.end(),
              [](const AwaitingDisposal::Image &a, const AwaitingDisposal::Image &b) { return a.path < b.path; });
    const auto samePaths = [](const QList<AwaitingDisposal::Image> &a, const QList<AwaitingDisposal::Image> &b) {
        return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                          [](const AwaitingDisposal::Image &x, const AwaitingDisposal::Image &y) {
                              return x.path == y.path && x.copiedTo == y.copiedTo;
                          });
    };
    if (samePaths(images, m_awaitingWritten))
        return;
    QString reason;
    if (AwaitingDisposal::write(m_params.WorkDir, images, &reason))
        m_awaitingWritten = images;
}

void TStartControl::SetStartStyle(int style)
{
    if (style != 1 && style != 2)
        style = 3;
    switchTo(style, style);
}

bool TStartControl::suspended() const
{
    return m_style == 3 && (m_params.StartStyle == 1 || m_params.StartStyle == 2);
}

bool TStartControl::resume()
{
    if (!suspended())
        return false;
    SetStartStyle(m_params.StartStyle);
    return true;
}

// Puts `style` in force and `stored` into StartStyle. A stop or a fallback
// passes the stored style as it is: the manual style is in force, and the
// next writing of the settings keeps the station's style.
void TStartControl::switchTo(int style, int stored)
{
    if (style == 2) {
        checkBufferDirectory();
        takeWorkDir();
        m_startHost.ShowDirectory(m_params.BufferDir);
    }
    m_timer.stop();
    if (m_recorder && m_style == 2)
        m_recorder->endRun(m_resultsBase);
    if (style != 2)
        m_lock.reset();
    m_style = style;
    m_params.StartStyle = stored;
    m_finder.StopRequested = false;
    m_scheduledRunStarted = false;
    m_watcher.clear();
    m_imagesHandled = 0;
    if (style == 2)
        m_nothingProcessed = false;
    m_saveFailure.clear();
    m_imageNotice.clear();
    m_growingNotices.clear();
    if (style == 2)
        m_times.RunStart = TClock::instance().nowDays();
    m_runHost.SetStatusText(style == 1 ? QStringLiteral(" Ожидание времени запуска...")
                            : style == 2 ? waitingForFiles
                                         : QString());
    m_runHost.EnableCommands(style == 3);
    // While waiting for the start time the user may still choose the directory to process.
    m_startHost.EnableFileLists(style != 2);
    m_resultsBase = style == 2 ? ResultFiles::NextResultsBase(m_params.WorkDir) : QString();
    m_disposal.begin(m_resultsBase);
    if (style == 2)
        takeOverAwaiting();
    if (m_recorder && style == 2)
        m_recorder->beginRun(QStringLiteral("watch"), m_resultsBase, m_params, m_finder.zones());
    if (style != 3)
        m_timer.start();
    Q_EMIT startStyleChanged(style);
}

bool TStartControl::StartStoredStyle()
{
    try {
        SetStartStyle(m_params.StartStyle);
        return true;
    } catch (const KelvarinError &error) {
        const bool refused = m_workDirRefused;
        switchTo(3, m_params.StartStyle);
        if (refused)
            m_runHost.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, m_params.WorkDir, error.message()));
        m_runHost.SetStatusText(QLatin1Char(' ') + sentence(error.message())
                                + QStringLiteral(" Включен запуск по клавише \"Enter\" или пусковой кнопке."));
        return false;
    }
}

void TStartControl::TimerTimer()
{
    if (m_style == 2)
        watchTick();
    else
        scheduleTick();
}

void TStartControl::scheduleTick()
{
    if (m_style == 1 && !m_scheduledRunStarted
        && std::fabs(m_params.StartDate - TClock::instance().nowDays()) < ScheduleWindow) {
        // One scheduled run per setting of the style: the timer stays stopped after it.
        m_scheduledRunStarted = true;
        m_timer.stop();
        m_startHost.StartScheduledRun();
        return;
    }
    if (m_finder.StopRequested)
        switchTo(3, m_params.StartStyle);
}

void TStartControl::watchTick()
{
    // No tick may start while an image is handled: the wait for the archiver lets events through.
    m_timer.stop();
    m_runHost.ProcessEvents();
    if (!m_finder.StopRequested)
        lookAtBuffer();
    if (m_finder.StopRequested) {
        endWatch();
        return;
    }
    m_timer.start();
    m_runHost.SetStatusText(waitingText());
}

qint64 TStartControl::nowMs()
{
    return TClock::instance().now().toMSecsSinceEpoch();
}

// What the look at the buffer found besides the image to work on: files that
// are no image, and an image that keeps growing and is passed over for now.
void TStartControl::tellOfBuffer(const BufferWatcher::Next &next)
{
    for (const QString &path : next.unsupported) {
        m_runHost.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, path,
                                      QStringLiteral("Файл %1 в буферной директории не является изображением "
                                                     "(*.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg) и оставлен "
                                                     "без обработки.")
                                          .arg(QFileInfo(path).fileName())));
    }
    m_growingNotices.removeIf([this](const auto &entry) { return !m_watcher.isPassedOver(entry.key()); });
    if (!next.growing.isEmpty()) {
        setNotice(&m_growingNotices[next.growing],
                  QStringLiteral("Изображение %1 записывается дольше %2 с; следующие изображения обрабатываются без "
                                 "него, оно будет обработано, когда запись закончится.")
                      .arg(QFileInfo(next.growing).fileName())
                      .arg(BufferWatcher::GrowingPassMs / 1000),
                  next.growing);
    }
}

void TStartControl::lookAtBuffer()
{
    const BufferWatcher::Next next = m_watcher.next(m_params.BufferDir, nowMs());
    tellOfBuffer(next);
    if (next.work == BufferWatcher::Work::None)
        return;
    m_runHost.BeginBusy();
    const auto endBusy = qScopeGuard([this] { m_runHost.EndBusy(); });
    Disposal disposal = Disposal::Retry;
    switch (next.work) {
    case BufferWatcher::Work::Process: disposal = HandleNewFile(next.path); break;
    case BufferWatcher::Work::DisposeOnly:
        disposal = disposeOnly(next);
        recordLaterFate(disposal);
        break;
    case BufferWatcher::Work::SetAside:
        m_record = TRecordedImage::of(next.path);
        disposal = setAside(next.path, QStringLiteral("Файл не открывается для чтения и записи."));
        record(disposal);
        break;
    case BufferWatcher::Work::None: break;
    }
    if (disposal == Disposal::Archived || disposal == Disposal::Moved)
        m_imageNotice.clear();
    rememberAwaiting();
    // Nothing new in the results when an attempt was given back or only a disposal was retried.
    if (disposal == Disposal::Retry || next.work == BufferWatcher::Work::DisposeOnly)
        return;
    m_times.RunEnd = TClock::instance().nowDays();
    saveResults();
}

void TStartControl::endWatch()
{
    m_times.RunEnd = TClock::instance().nowDays();
    // A watch that processed nothing leaves no empty result set behind and
    // keeps its result number free for the next one.
    const bool nothingProcessed = m_imagesHandled == 0 && ResultFiles::fileCount(m_finder.zones()) == 0;
    const bool saved = nothingProcessed || saveResults();
    const QString failure = m_saveFailure;
    m_nothingProcessed = nothingProcessed;
    switchTo(3, m_params.StartStyle);
    if (nothingProcessed && m_params.ResAutoSave)
        m_runHost.SetStatusText(QStringLiteral(" Работа прервана. Изображения не обработаны, результаты не записаны."));
    else if (!m_params.ResAutoSave)
        m_runHost.SetStatusText(QStringLiteral(" Работа прервана."));
    else if (saved)
        m_runHost.SetStatusText(QStringLiteral(" Работа прервана. Результаты сохранены."));
    else
        m_runHost.SetStatusText(QStringLiteral(" Работа прервана. ") + failure);
}

// Rewrites the watch's result set; a failure is kept in the status line until
// a later writing succeeds.
bool TStartControl::saveResults()
{
    m_resultsWritten = true;
    if (!m_params.ResAutoSave)
        return true;
    try {
        ResultSetWriter::write(m_finder.zones(), m_resultsBase, TRunTimes::watched(m_times.RunStart, m_times.RunEnd));
    } catch (const std::exception &error) {
        const auto *ours = dynamic_cast<const KelvarinError *>(&error);
        m_resultsWritten = false;
        setNotice(&m_saveFailure,
                  QStringLiteral("Результаты не записаны: ")
                      + sentence(ours ? ours->message() : QString::fromLocal8Bit(error.what())),
                  m_resultsBase, TIssue::Severity::Error);
        return false;
    }
    m_saveFailure.clear();
    return true;
}

// The points an attempt adds are kept only when the image was processed; a
// failed detection left for another attempt gives its points back, so every
// image counts once in the result set.
TStartControl::Disposal TStartControl::HandleNewFile(const QString &path)
{
    m_record = TRecordedImage::of(path);
    const Disposal disposal = processAndDispose(path);
    record(disposal);
    return disposal;
}

// An image is recorded once, when it was processed or set aside; an attempt
// left for later is not, nor a later retry of its archiving or moving.
void TStartControl::record(Disposal disposal)
{
    if (!m_recorder || disposal == Disposal::Retry)
        return;
    switch (disposal) {
    case Disposal::Archived: m_record.fate = TRecordedImage::Fate::Archived; break;
    case Disposal::Moved: m_record.fate = TRecordedImage::Fate::Moved; break;
    case Disposal::SetAside: m_record.fate = TRecordedImage::Fate::SetAside; break;
    default: m_record.fate = TRecordedImage::Fate::Processed; break;
    }
    m_recorder->recordImage(m_record);
}

// A retry that archived or moved an image gives its record its fate.
void TStartControl::recordLaterFate(Disposal disposal)
{
    if (!m_recorder || (disposal != Disposal::Archived && disposal != Disposal::Moved))
        return;
    m_record.fate = disposal == Disposal::Archived ? TRecordedImage::Fate::Archived : TRecordedImage::Fate::Moved;
    m_recorder->recordLaterFate(m_record);
}

TStartControl::Disposal TStartControl::processAndDispose(const QString &path)
{
    const QList<qsizetype> pointsBefore = pointCounts();
    try {
        m_finder.ProcessImage(path);
    } catch (const KelvarinError &error) {
        return failedAttempt(path, error.message(), pointsBefore);
    } catch (const std::exception &error) {
        return failedAttempt(path, QString::fromLocal8Bit(error.what()), pointsBefore);
    }
    m_record.processedAt = QDateTime::currentDateTime();
    m_record.number = m_finder.zones().isEmpty() ? 0 : int(m_finder.zones().first().points.size());
    m_record.zones = m_finder.lastMeasurements();
    m_runHost.ImageProcessed(path, m_imagesHandled++);
    return dispose(path);
}

TStartControl::Disposal TStartControl::dispose(const QString &path)
{
    return disposalOutcome(path, m_disposal.dispose(path, m_params));
}

// Another try at archiving or moving an image processed before: never processed again.
TStartControl::Disposal TStartControl::disposeOnly(const BufferWatcher::Next &next)
{
    m_record = TRecordedImage();
    m_record.path = m_recordedAs.value(next.path, QFileInfo(next.path).absoluteFilePath());
    if (!next.copiedTo.isEmpty())
        return disposalOutcome(next.path, m_disposal.removeCopied(next.path, next.copiedTo));
    return dispose(next.path);
}

TStartControl::Disposal TStartControl::disposalOutcome(const QString &path, const ImageDisposal::Result &result)
{
    switch (result.outcome) {
    case ImageDisposal::Outcome::Archived:
        m_watcher.forget(path);
        m_recordedAs.remove(path);
        m_record.storedAs = QFileInfo(result.storedAs).absoluteFilePath() + QLatin1Char(':')
                          + QFileInfo(result.imagePath).fileName();
        return Disposal::Archived;
    case ImageDisposal::Outcome::Moved:
        m_watcher.forget(path);
        m_recordedAs.remove(path);
        m_record.storedAs = QFileInfo(result.storedAs).absoluteFilePath();
        return Disposal::Moved;
    case ImageDisposal::Outcome::Failed:
    case ImageDisposal::Outcome::CopiedNotRemoved:
        break;
    }
    // The image may have been renamed in the buffer to its name in the archive.
    if (result.imagePath != path)
        m_watcher.forget(path);
    const bool copied = result.outcome == ImageDisposal::Outcome::CopiedNotRemoved;
    m_record.detail = result.reason;
    m_recordedAs.remove(path);
    m_recordedAs.insert(result.imagePath, m_record.path);
    m_watcher.disposalFailed(result.imagePath, nowMs(), copied ? result.storedAs : QString());
    const QString what = m_params.SaveToOneZip || m_params.SaveToManyZip ? QStringLiteral("Файл не заархивирован: ")
                                                                         : QString();
    setNotice(&m_imageNotice, QStringLiteral("Изображение %1 обработано, но оставлено в буферной директории до "
                                             "следующей попытки: %2")
                                  .arg(QFileInfo(result.imagePath).fileName(), sentence(what + result.reason)),
              result.imagePath);
    return Disposal::Pending;
}

TStartControl::Disposal TStartControl::failedAttempt(const QString &path, const QString &reason,
                                                     const QList<qsizetype> &pointsBefore)
{
    const int attempts = m_watcher.failedAttempt(path);
    if (attempts >= MaxAttempts)
        return setAside(path, reason);
    takeBackPoints(pointsBefore);
    setNotice(&m_imageNotice, QStringLiteral("Изображение %1 не обработано (попытка %2 из %3): %4")
                                  .arg(QFileInfo(path).fileName())
                                  .arg(attempts)
                                  .arg(MaxAttempts)
                                  .arg(sentence(reason)),
              path);
    return Disposal::Retry;
}

TStartControl::Disposal TStartControl::setAside(const QString &path, const QString &reason)
{
    m_watcher.forget(path);
    const QString fileName = QFileInfo(path).fileName();
    QString failure;
    const QString name = BufferWatcher::moveAside(path, &failure);
    m_record.detail = reason;
    if (!name.isEmpty()) {
        m_record.storedAs = QFileInfo(path).dir().filePath(setAsideDirectoryName() + QLatin1Char('/') + name);
        ++m_imagesSetAside;
        setNotice(&m_imageNotice, QStringLiteral("Изображение %1 отложено в папку \"%2\" под именем %3: %4")
                                      .arg(fileName, setAsideDirectoryName(), name, sentence(reason)),
                  path);
        return Disposal::SetAside;
    }
    m_watcher.skip(path);
    setNotice(&m_imageNotice, QStringLiteral("Изображение %1 не удалось отложить в папку \"%2\" (%3); оно оставлено в "
                                             "буферной директории и больше не обрабатывается: %4")
                                  .arg(fileName, setAsideDirectoryName(), failure, sentence(reason)),
              path);
    return Disposal::Skipped;
}

QList<qsizetype> TStartControl::pointCounts() const
{
    QList<qsizetype> counts;
    for (const TZoneInfo &zone : m_finder.zones())
        counts << zone.points.size();
    return counts;
}

void TStartControl::takeBackPoints(const QList<qsizetype> &counts)
{
    QList<TZoneInfo> &zones = m_finder.zones();
    for (qsizetype i = 0; i < zones.size() && i < counts.size(); ++i) {
        if (zones[i].points.size() > counts.at(i))
            zones[i].points.resize(counts.at(i));
    }
}

// Kept for the status line and reported once, when it happens.
void TStartControl::setNotice(QString *slot, const QString &text, const QString &file, TIssue::Severity severity)
{
    *slot = text;
    m_runHost.report(TIssue::make(severity, TIssue::Source::Watch, file, text));
}

QString TStartControl::notice() const
{
    QStringList parts;
    for (const QString *part : {&m_saveFailure, &m_imageNotice}) {
        if (!part->isEmpty())
            parts << *part;
    }
    parts << m_growingNotices.values();
    return parts.join(QLatin1Char(' '));
}

QString TStartControl::waitingText() const
{
    const QString problems = notice();
    return problems.isEmpty() ? waitingForFiles : QLatin1Char(' ') + problems + waitingForFiles;
}

#include "TStartControl.h"

#include "AtomicFile.h"
#include "ImageList.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "ResultFiles.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TRunHost.h"
#include "TStartHost.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include <cmath>

#include <unistd.h>

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
    connect(&m_timer, &QTimer::timeout, this, &TStartControl::TimerTimer);
}

QString TStartControl::setAsideDirectoryName()
{
    return QStringLiteral("Отложенные");
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

void TStartControl::SetStartStyle(int style)
{
    if (style != 1 && style != 2)
        style = 3;
    if (style == 2) {
        checkBufferDirectory();
        m_startHost.ShowDirectory(m_params.BufferDir);
    }
    m_timer.stop();
    if (m_recorder && m_style == 2)
        m_recorder->endRun(m_resultsBase);
    m_style = style;
    m_params.StartStyle = style;
    m_finder.StopRequested = false;
    m_scheduledRunStarted = false;
    m_readiness.clear();
    m_attempts.clear();
    m_skipped.clear();
    m_notOpenablePath.clear();
    m_notOpenableTicks = 0;
    m_imagesHandled = 0;
    m_saveFailure.clear();
    m_imageNotice.clear();
    if (style == 2)
        m_times.RunStart = TClock::instance().nowDays();
    m_runHost.SetStatusText(style == 1 ? QStringLiteral(" Ожидание времени запуска...")
                            : style == 2 ? waitingForFiles
                                         : QString());
    m_runHost.EnableCommands(style == 3);
    // While waiting for the start time the user may still choose the directory to process.
    m_startHost.EnableFileLists(style != 2);
    m_resultsBase = style == 2 ? ResultFiles::NextResultsBase(m_params.WorkDir) : QString();
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
        SetStartStyle(3);
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
        SetStartStyle(3);
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

void TStartControl::lookAtBuffer()
{
    const QStringList listed = ImageList::bitmapsIn(m_params.BufferDir);
    QString path;
    for (const QString &candidate : listed) {
        if (!m_skipped.contains(candidate)) {
            path = candidate;
            break;
        }
    }
    const ImageReadiness::State state = path.isEmpty() ? ImageReadiness::Gone : m_readiness.check(path);
    m_readiness.observe(listed);
    if (state != ImageReadiness::Ready) {
        waitForImage(path, state);
        return;
    }
    m_notOpenableTicks = 0;
    m_runHost.BeginBusy();
    const auto endBusy = qScopeGuard([this] { m_runHost.EndBusy(); });
    const Disposal disposal = HandleNewFile(path);
    if (disposal == Disposal::Retry)
        return;
    if (disposal == Disposal::Archived || disposal == Disposal::Moved)
        m_imageNotice.clear();
    m_times.RunEnd = TClock::instance().nowDays();
    saveResults();
}

// The first image is not ready: it is waited for, in name order, except that a
// complete image that stays unopenable for reading and writing (read-only)
// would block the watch for good and is set aside after a while.
void TStartControl::waitForImage(const QString &path, ImageReadiness::State state)
{
    if (state != ImageReadiness::NotOpenable) {
        m_notOpenableTicks = 0;
        return;
    }
    if (path != m_notOpenablePath) {
        m_notOpenablePath = path;
        m_notOpenableTicks = 0;
    }
    if (++m_notOpenableTicks >= m_notOpenableLimit) {
        m_notOpenableTicks = 0;
        m_record = TRecordedImage::of(path);
        record(setAside(path, QStringLiteral("Файл не открывается для чтения и записи.")));
    }
}

void TStartControl::endWatch()
{
    m_times.RunEnd = TClock::instance().nowDays();
    const bool saved = saveResults();
    const QString failure = m_saveFailure;
    SetStartStyle(3);
    if (!m_params.ResAutoSave)
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
        ResultFiles::WriteCoordinateFiles(m_finder.zones(), m_resultsBase);
        ResultFiles::WriteProcessingLog(m_resultsBase, ResultFiles::fileCount(m_finder.zones()), 0,
                                        m_times.RunEnd, m_times.RunStart);
    } catch (const std::exception &error) {
        const auto *ours = dynamic_cast<const KelvarinError *>(&error);
        m_resultsWritten = false;
        setNotice(&m_saveFailure, QStringLiteral("Результаты не записаны: ")
                                      + sentence(ours ? ours->message() : QString::fromLocal8Bit(error.what())));
        return false;
    }
    m_saveFailure.clear();
    return true;
}

// The points an attempt adds are kept only when the image leaves the buffer
// (archived, moved or set aside); an image left for another attempt gives its
// points back, so every image counts once in the result set.
TStartControl::Disposal TStartControl::HandleNewFile(const QString &path)
{
    m_record = TRecordedImage::of(path);
    const Disposal disposal = disposeOf(path);
    record(disposal);
    return disposal;
}

// An image is recorded once, when it has left the buffer or is passed over for
// good; an attempt left for later is not.
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

TStartControl::Disposal TStartControl::disposeOf(const QString &path)
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
    // Both archive options on (an edited settings file): one archive.
    if (m_params.SaveToOneZip || m_params.SaveToManyZip)
        return archive(path);
    return moveToWorkDir(path, pointsBefore);
}

// The archive is named in full with ".zip": the archiver appends it by itself
// only to a name without any ".", and a working directory may contain one.
TStartControl::Disposal TStartControl::archive(const QString &path)
{
    QString archive = m_resultsBase;
    if (!m_params.SaveToOneZip) {
        const QString name = QFileInfo(path).fileName();
        archive += QLatin1Char('_') + name.left(name.indexOf(QLatin1Char('.')));
    }
    const QString failure = runArchiver(archive + QStringLiteral(".zip"), path);
    if (!QFileInfo::exists(path)) {
        m_record.storedAs = QFileInfo(archive + QStringLiteral(".zip")).absoluteFilePath() + QLatin1Char(':')
                          + QFileInfo(path).fileName();
        return Disposal::Archived;
    }
    return setAside(path, QStringLiteral("Файл не заархивирован: ")
                              + sentence(failure.isEmpty() ? QStringLiteral("файл остался на месте") : failure));
}

// Runs "zip -m -j" without a shell and waits for it, letting events through,
// at most the archiver time limit. Empty when it ended well.
QString TStartControl::runArchiver(const QString &archive, const QString &path)
{
    QProcess zip;
    zip.setProgram(m_archiver);
    // -nw: names are taken as they are, never as the archiver's own wildcards;
    // absolute paths, so that no name (a relative working directory) reads as an option.
    zip.setArguments({QStringLiteral("-m"), QStringLiteral("-j"), QStringLiteral("-q"), QStringLiteral("-nw"),
                      QFileInfo(archive).absoluteFilePath(), QFileInfo(path).absoluteFilePath()});
    zip.setStandardInputFile(QProcess::nullDevice());
    zip.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group: Ctrl+C in the tool's terminal stops the watch
    // between images and must not kill the archiver half way through.
    zip.setChildProcessModifier([] { ::setpgid(0, 0); });
    zip.start();
    if (!zip.waitForStarted())
        return QStringLiteral("архиватор %1 не запускается (%2)").arg(m_archiver, zip.errorString());
    m_waitingForArchiver = true;
    const auto waited = qScopeGuard([this] { m_waitingForArchiver = false; });
    const QDeadlineTimer deadline(m_archiverTimeout);
    while (zip.state() != QProcess::NotRunning && !zip.waitForFinished(20)) {
        m_runHost.ProcessEvents();
        if (deadline.hasExpired() && zip.state() != QProcess::NotRunning) {
            zip.kill();
            zip.waitForFinished();
            return QStringLiteral("архиватор не закончил работу за %1 с")
                .arg(LocaleFormat::formatGeneral(m_archiverTimeout / 1000.0));
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

// Copies the image into the working directory (replacing a file of that name)
// and deletes it from the buffer only when the copy is there in full.
TStartControl::Disposal TStartControl::moveToWorkDir(const QString &path, const QList<qsizetype> &pointsBefore)
{
    const QString target = QDir(m_params.WorkDir).filePath(QFileInfo(path).fileName());
    QFile source(path);
    QString error;
    if (!source.open(QIODevice::ReadOnly)) {
        error = source.errorString();
    } else {
        const QByteArray bytes = source.readAll();
        if (source.error() != QFileDevice::NoError || bytes.size() != source.size())
            error = QStringLiteral("файл прочитан не полностью");
        else if (!AtomicFile::write(target, bytes, &error))
            error = error.isEmpty() ? QStringLiteral("запись не удалась") : error;
        else if (QFileInfo(target).size() != bytes.size())
            error = QStringLiteral("размер копии не совпадает с размером файла");
    }
    source.close();
    if (!error.isEmpty()) {
        return failedAttempt(path,
                             QStringLiteral("Не скопирован в рабочую директорию %1: %2")
                                 .arg(nativeName(m_params.WorkDir), error),
                             pointsBefore);
    }
    if (QFile::remove(path)) {
        m_record.storedAs = QFileInfo(target).absoluteFilePath();
        return Disposal::Moved;
    }
    // Left in the buffer it would be processed again: the copy stays, the image goes aside.
    return setAside(path, QStringLiteral("Скопирован в рабочую директорию, но не удален из буферной."));
}

TStartControl::Disposal TStartControl::failedAttempt(const QString &path, const QString &reason,
                                                     const QList<qsizetype> &pointsBefore)
{
    const int attempts = ++m_attempts[path];
    if (attempts >= MaxAttempts)
        return setAside(path, reason);
    takeBackPoints(pointsBefore);
    setNotice(&m_imageNotice, QStringLiteral("Изображение %1 не обработано (попытка %2 из %3): %4")
                                  .arg(QFileInfo(path).fileName())
                                  .arg(attempts)
                                  .arg(MaxAttempts)
                                  .arg(sentence(reason)));
    return Disposal::Retry;
}

// Moves the image into "Отложенные" under its own name, or with "_1", "_2", ...
// before the extension when that name is taken; rename never replaces a file.
TStartControl::Disposal TStartControl::setAside(const QString &path, const QString &reason)
{
    m_attempts.remove(path);
    const QFileInfo image(path);
    const QDir aside(image.dir().filePath(setAsideDirectoryName()));
    const QString suffix = image.suffix().isEmpty() ? QString() : QLatin1Char('.') + image.suffix();
    if (QDir().mkpath(aside.path())) {
        for (int n = 0; n < 10000 && QFileInfo::exists(path); ++n) {
            const QString name = n == 0 ? image.fileName()
                                        : image.completeBaseName() + QLatin1Char('_') + QString::number(n) + suffix;
            if (QFile::rename(path, aside.filePath(name))) {
                m_record.storedAs = QFileInfo(aside.filePath(name)).absoluteFilePath();
                m_record.detail = reason;
                setNotice(&m_imageNotice, QStringLiteral("Изображение %1 отложено в папку \"%2\" под именем %3: %4")
                                              .arg(image.fileName(), setAsideDirectoryName(), name, sentence(reason)));
                return Disposal::SetAside;
            }
        }
    }
    m_skipped.insert(path);
    m_record.detail = reason;
    setNotice(&m_imageNotice, QStringLiteral("Изображение %1 не удалось отложить в папку \"%2\"; оно оставлено в "
                                             "буферной директории и больше не обрабатывается: %3")
                                  .arg(image.fileName(), setAsideDirectoryName(), sentence(reason)));
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

void TStartControl::setNotice(QString *slot, const QString &text)
{
    *slot = text;
    m_startHost.WatchNotice(text);
}

QString TStartControl::notice() const
{
    QStringList parts;
    for (const QString *part : {&m_saveFailure, &m_imageNotice}) {
        if (!part->isEmpty())
            parts << *part;
    }
    return parts.join(QLatin1Char(' '));
}

QString TStartControl::waitingText() const
{
    const QString problems = notice();
    return problems.isEmpty() ? waitingForFiles : QLatin1Char(' ') + problems + waitingForFiles;
}

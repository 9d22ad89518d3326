#include "TProcessingRun.h"

#include "KelvarinError.h"
#include "ParallelMeasuring.h"
#include "ResultFiles.h"
#include "ResultSetWriter.h"
#include "TMeasurementRecorder.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TRunHost.h"
#include "WorkDirLock.h"

#include <QFileInfo>

TProcessingRun::TProcessingRun(TPointFinder &finder, const TParameters &params, TRunHost &host,
                               TRunTimes &times)
    : m_finder(finder), m_params(params), m_host(host), m_times(times)
{
}

TProcessingRun::Outcome TProcessingRun::Run(const QStringList &imagePaths)
{
    Outcome outcome;
    outcome.imagesGiven = int(imagePaths.size());
    WorkDirLock lock;
    if (!takeWorkDir(lock, outcome))
        return outcome;
    m_times.RunStart = TClock::instance().nowDays();
    m_host.EnableCommands(false);
    m_finder.StopRequested = false;
    // Reading the zone file empties every series: a run starts from nothing.
    if (!m_finder.ReadZoneFile(m_params.ZonesFileName)) {
        m_host.EnableCommands(true);
        return outcome;
    }
    outcome.ran = true;
    if (m_recorder)
        m_recorder->beginRun(m_kind, m_fixedBase, m_params, m_finder.zones());
    m_host.BeginBusy();
    m_host.SetStatusText(QStringLiteral(" Подождите... Идет счет..."));
    processImages(imagePaths, outcome);
    finish(outcome);
    m_host.EndBusy();
    if (!outcome.imageError.isEmpty())
        m_host.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, outcome.failedImage, outcome.imageError));
    if (!outcome.saveError.isEmpty())
        m_host.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, outcome.resultsBase, outcome.saveError));
    return outcome;
}

// Only a run whose result base is chosen in the working directory needs it alone.
bool TProcessingRun::takeWorkDir(WorkDirLock &lock, Outcome &outcome)
{
    if (!m_params.ResAutoSave || !m_fixedBase.isEmpty() || !QFileInfo(m_params.WorkDir).isDir())
        return true;
    if (!lock.acquire(m_params.WorkDir, &outcome.refusal)) {
        m_host.report(TIssue::make(TIssue::Severity::Error, TIssue::Source::Run, m_params.WorkDir, outcome.refusal));
        return false;
    }
    if (!lock.takenOver().isEmpty())
        m_host.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Run, m_params.WorkDir, lock.takenOver()));
    return true;
}

void TProcessingRun::processImages(const QStringList &imagePaths, Outcome &outcome)
{
    if (m_jobs > 1 && !m_params.Steps && imagePaths.size() > 1) {
        processInParallel(imagePaths, outcome);
        return;
    }
    try {
        for (const QString &path : imagePaths) {
            outcome.failedImage = path;
            // The stop button and Esc are seen only here, before an image; the
            // flag is tested after it, so a stop lets the next image finish.
            m_host.ProcessEvents();
            TRecordedImage image = TRecordedImage::of(path);
            m_finder.ProcessImage(path);
            recordImage(image);
            m_host.ImageProcessed(image, outcome.imagesProcessed++);
            if (m_finder.StopRequested) {
                outcome.stopped = true;
                m_finder.LoadImage(path, true);
                m_host.SetStatusText(m_params.ResAutoSave ? QStringLiteral(" Работа прервана. Результаты сохранены.")
                                                          : QStringLiteral(" Работа прервана."));
                break;
            }
        }
        outcome.failedImage.clear();
    } catch (const KelvarinError &error) {
        outcome.imageError = error.message();
    } catch (const std::exception &error) {
        outcome.imageError = QString::fromLocal8Bit(error.what());
    }
}

// Completes the image's record with what was just measured and hands it to
// the journal.
void TProcessingRun::recordImage(TRecordedImage &image)
{
    image.takeMeasurements(m_finder);
    if (m_recorder)
        m_recorder->recordImage(image);
}

// The same steps as one image after the other, in the same order: the jobs
// measure ahead, and each image's points are added here, in turn.
void TProcessingRun::processInParallel(const QStringList &imagePaths, Outcome &outcome)
{
    auto measure = [&](TPointFinder &finder, int index) {
        finder.setImageOpener(m_finder.imageOpener());
        finder.ProcessImage(imagePaths.at(index));
    };
    auto deliver = [&](int index, const ParallelMeasuring::Image &image) {
        m_host.ProcessEvents();
        const QString &path = imagePaths.at(index);
        if (!image.error.isEmpty()) {
            outcome.failedImage = path;
            outcome.imageError = image.error;
            return false;
        }
        TRecordedImage record = TRecordedImage::of(path);
        m_finder.adoptImage(path, image.measured);
        recordImage(record);
        if (m_params.NeedVisualization)
            m_host.ShowMeasuredImage(path);
        m_host.ImageProcessed(record, outcome.imagesProcessed++);
        if (m_finder.StopRequested) {
            outcome.stopped = true;
            m_host.SetStatusText(m_params.ResAutoSave ? QStringLiteral(" Работа прервана. Результаты сохранены.")
                                                      : QStringLiteral(" Работа прервана."));
            return false;
        }
        return true;
    };
    try {
        ParallelMeasuring::run(int(imagePaths.size()), m_jobs, m_params, m_finder.zones(), measure, deliver);
    } catch (const KelvarinError &error) {
        outcome.imageError = error.message();
    } catch (const std::exception &error) {
        outcome.imageError = QString::fromLocal8Bit(error.what());
    }
}

// Never claims the results were saved when they were not, nor that a run
// ended by a bad image got everything.
QString TProcessingRun::finalStatus(const Outcome &outcome) const
{
    if (!outcome.saveError.isEmpty())
        return QStringLiteral(" Результаты не сохранены.");
    if (m_finder.StopRequested)
        return {};
    if (!outcome.imageError.isEmpty()) {
        const QString part = QStringLiteral(" Обработано изображений: %1 из %2, остальные не обработаны.")
                                 .arg(outcome.imagesProcessed)
                                 .arg(outcome.imagesGiven);
        return m_params.ResAutoSave ? part + QStringLiteral(" Результаты сохранены.") : part;
    }
    return m_params.ResAutoSave ? QStringLiteral(" Результаты получены и сохранены.")
                                : QStringLiteral(" Результат получен.");
}

void TProcessingRun::finish(Outcome &outcome)
{
    m_times = TRunTimes::finished(m_times.RunStart, TClock::instance().nowDays());
    try {
        if (m_params.ResAutoSave) {
            const QString base = m_fixedBase.isEmpty() ? ResultFiles::NextResultsBase(m_params.WorkDir) : m_fixedBase;
            if (m_recorder)
                m_recorder->imagesEnded();
            ResultSetWriter::write(m_finder.zones(), base, m_times);
            outcome.resultsBase = base;
        }
    } catch (const KelvarinError &error) {
        outcome.saveError = error.message();
    } catch (const std::exception &error) {
        // Out of memory while formatting, say: the end steps must still run.
        outcome.saveError = QString::fromLocal8Bit(error.what());
    }
    if (m_recorder)
        m_recorder->endRun(outcome.resultsBase);
    const QString status = finalStatus(outcome);
    if (!status.isEmpty())
        m_host.SetStatusText(status);
    m_finder.StopRequested = false;
    m_host.EnableCommands(true);
    m_host.ShowOverlay();
}

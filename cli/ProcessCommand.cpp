#include "ProcessCommand.h"

#include "ArchiveImages.h"
#include "ImageList.h"
#include "TJournalRecorder.h"
#include "ParallelMeasuring.h"
#include "StderrPriority.h"
#include "TProcessingRun.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

int ProcessCommand::execute()
{
    if (!expectPaths(-1, QStringLiteral("не указаны изображения")) || !loadSettings() || !readZones())
        return BadInput;
    // A headless run exists to write its results.
    m_params.ResAutoSave = true;
    if (m_options.outBase.isEmpty() && !QFileInfo(m_params.WorkDir).isDir()) {
        fail(QStringLiteral("рабочая директория %1 не существует; укажите --out").arg(m_params.WorkDir));
        return BadInput;
    }

    TRunTimes times;
    TProcessingRun run(m_finder, m_params, m_host, times);
    if (!m_options.outBase.isEmpty()) {
        const QFileInfo out(QDir::cleanPath(QFileInfo(m_options.outBase).absoluteFilePath()));
        run.setResultsBase(out.filePath());
        // Without a working directory the event log goes beside the results.
        if (!QFileInfo(m_params.WorkDir).isDir())
            m_host.setEventLogDirectory(out.path());
    }
    TJournalRecorder *journal = journalRecorder();
    if (journal)
        journal->openNow();
    run.setRecorder(journal, QStringLiteral("cli"));
    // Archives are read in place; images are measured by as many jobs as asked.
    const QStringList images = ArchiveImages::expand(m_options.paths, m_options.archives);
    m_finder.setImageOpener(&ArchiveImages::open);
    run.setJobs(m_options.jobs > 0 ? m_options.jobs : ParallelMeasuring::defaultJobs());
    // A terminal watches one line of progress; a log or a pipe keeps a line per image.
    if (::isatty(STDERR_FILENO) && !StderrPriority::toJournal())
        m_host.showProgress(int(images.size()));
    // The run reads the zone file itself and does not take place without it.
    const TProcessingRun::Outcome outcome = run.Run(images);
    m_host.endProgress();
    // Another run holds the working directory: said already, nothing done.
    if (!outcome.refusal.isEmpty())
        return BadInput;
    if (!outcome.ran) {
        failZones();
        return BadInput;
    }

    printSummary(outcome, m_host.foundPerZone());
    if (!outcome.imageError.isEmpty() || !outcome.saveError.isEmpty())
        return WorkFailed;
    // Stopped by a signal: the results so far are written, but the run is not whole.
    if (outcome.stopped && CliHost::interruptedStatus() != 0)
        return CliHost::interruptedStatus();
    return withJournal(Success);
}

void ProcessCommand::printSummary(const TProcessingRun::Outcome &outcome, const QList<int> &found)
{
    if (outcome.resultsBase.isEmpty()) {
        m_out << QStringLiteral("Результаты не записаны.") << Qt::endl;
        return;
    }
    m_out << QStringLiteral("Результаты: %1_<зона>.crd, %1_time.log")
                 .arg(QDir::toNativeSeparators(outcome.resultsBase))
          << Qt::endl;
    m_out << QStringLiteral("Изображений: %1").arg(outcome.imagesProcessed) << Qt::endl;
    for (int k = 0; k < found.size(); ++k) {
        m_out << QStringLiteral("Зона %1: точек найдено %2 из %3")
                     .arg(k + 1)
                     .arg(found.at(k))
                     .arg(outcome.imagesProcessed)
              << Qt::endl;
    }
}

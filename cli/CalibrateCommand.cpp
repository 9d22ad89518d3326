#include "CalibrateCommand.h"

#include "KelvarinError.h"
#include "TJournalRecorder.h"
#include "ThresholdCalibration.h"

#include <QTextStream>

int CalibrateCommand::execute()
{
    if (!expectPaths(1, QStringLiteral("укажите одно изображение")) || !loadSettings() || !readZones(false))
        return BadInput;
    try {
        // Without zones there is nothing to average: the engine's own message, before any work.
        ThresholdCalibration::checkZones(m_finder);
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        return BadInput;
    }
    int recommended = 0;
    // The calibration is a run of one image in the journal, without results.
    TJournalRecorder *journal = journalRecorder();
    if (journal)
        journal->beginRun(QStringLiteral("calibrate"), QString(), m_params, m_finder.zones());
    const TRecordedImage before = TRecordedImage::of(m_options.paths.first());
    try {
        recommended = ThresholdCalibration::recommend(m_finder, m_options.paths.first());
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        if (journal)
            journal->endRun(QString());
        return WorkFailed;
    }
    if (journal) {
        TRecordedImage image = before;
        image.processedAt = QDateTime::currentDateTime();
        image.number = 1;
        image.zones = m_finder.lastMeasurements();
        journal->recordImage(image);
        journal->endRun(QString());
    }
    m_out << QStringLiteral("Рекомендуемый порог яркости:  ") << recommended << Qt::endl;
    return withJournal(Success);
}

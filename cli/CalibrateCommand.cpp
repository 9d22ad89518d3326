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
    try {
        recommended = ThresholdCalibration::recommend(m_finder, m_options.paths.first(), m_params, journalRecorder());
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        return withJournal(WorkFailed);
    }
    m_out << QStringLiteral("Рекомендуемый порог яркости:  ") << recommended << Qt::endl;
    return withJournal(Success);
}

#include "CalibrateCommand.h"

#include "KelvarinError.h"

#include <QTextStream>

int CalibrateCommand::execute()
{
    if (!expectPaths(1, QStringLiteral("укажите одно изображение")) || !loadSettings() || !readZones(false))
        return BadInput;
    try {
        // Without zones there is nothing to average: the engine's own message, before any work.
        m_finder.RecommendThreshold();
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        return BadInput;
    }
    m_finder.SpotMeanSum = 0;
    int recommended = 0;
    try {
        m_finder.ProcessImage(m_options.paths.first());
        recommended = m_finder.RecommendThreshold();
    } catch (const KelvarinError &failure) {
        fail(failure.message());
        return WorkFailed;
    }
    m_out << QStringLiteral("Рекомендуемый порог яркости:  ") << recommended << Qt::endl;
    return Success;
}

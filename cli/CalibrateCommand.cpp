#include "CalibrateCommand.h"

#include "CliHost.h"
#include "CliSettings.h"
#include "KelvarinError.h"
#include "TParameters.h"
#include "TPointFinder.h"

#include <QTextStream>

CalibrateCommand::CalibrateCommand(const CliOptions &options, QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err), m_options(options)
{
}

int CalibrateCommand::execute()
{
    if (m_options.paths.size() != 1) {
        m_err << QStringLiteral("kelvarin2-cli: укажите одно изображение") << Qt::endl << CliOptions::usage();
        return BadInput;
    }
    CliHost host(m_err);
    TParameters params;
    QString error;
    if (!CliSettings::load(m_options.settingsFile, m_options.zonesFile, &params, host, &error)) {
        m_err << QStringLiteral("kelvarin2-cli: ") << error << Qt::endl;
        return BadInput;
    }
    params.Steps = false;
    TPointFinder finder(params, &host, &host);
    host.setFinder(&finder);
    const bool zonesRead = finder.ReadZoneFile(params.ZonesFileName);
    try {
        // Without zones there is nothing to average: the engine's own message, before any work.
        finder.RecommendThreshold();
    } catch (const KelvarinError &failure) {
        m_err << QStringLiteral("kelvarin2-cli: ") << failure.message() << Qt::endl;
        return BadInput;
    }
    if (!zonesRead)
        return BadInput; // the zone reader has said why
    finder.SpotMeanSum = 0;
    try {
        finder.ProcessImage(m_options.paths.first());
    } catch (const KelvarinError &failure) {
        m_err << QStringLiteral("kelvarin2-cli: ") << failure.message() << Qt::endl;
        return ImageFailed;
    }
    m_out << QStringLiteral("Рекомендуемый порог яркости:  ") << finder.RecommendThreshold() << Qt::endl;
    return Success;
}

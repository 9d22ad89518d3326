#include "ProcessCommand.h"

#include "CliHost.h"
#include "CliSettings.h"
#include "ImageList.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TProcessingRun.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

ProcessCommand::ProcessCommand(const CliOptions &options, QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err), m_options(options)
{
}

int ProcessCommand::execute()
{
    if (m_options.paths.isEmpty()) {
        m_err << QStringLiteral("kelvarin2-cli: не указаны изображения") << Qt::endl << CliOptions::usage();
        return BadInput;
    }
    CliHost host(m_err);
    TParameters params;
    QString error;
    if (!CliSettings::load(m_options.settingsFile, m_options.zonesFile, &params, host, &error)) {
        m_err << QStringLiteral("kelvarin2-cli: ") << error << Qt::endl;
        return BadInput;
    }
    // Nobody answers step dialogs here, and a headless run exists to write its results.
    params.Steps = false;
    params.ResAutoSave = true;

    TPointFinder finder(params, &host, &host);
    host.setFinder(&finder);
    if (!finder.ReadZoneFile(params.ZonesFileName)) {
        m_err << QStringLiteral("kelvarin2-cli: файл зон: %1")
                     .arg(params.ZonesFileName.isEmpty() ? QStringLiteral("(не задан)") : params.ZonesFileName)
              << Qt::endl;
        return BadInput;
    }
    if (m_options.outBase.isEmpty() && !QFileInfo(params.WorkDir).isDir()) {
        m_err << QStringLiteral("kelvarin2-cli: рабочая директория %1 не существует; укажите --out")
                     .arg(params.WorkDir)
              << Qt::endl;
        return BadInput;
    }

    TRunTimes times;
    TProcessingRun run(finder, params, host, times);
    if (!m_options.outBase.isEmpty())
        run.setResultsBase(QFileInfo(m_options.outBase).absoluteFilePath());
    const QStringList images = ImageList::expand(m_options.paths);
    const TProcessingRun::Outcome outcome = run.Run(images);

    printSummary(outcome, host.foundPerZone());
    return outcome.imageError.isEmpty() && outcome.saveError.isEmpty() ? Success : RunFailed;
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

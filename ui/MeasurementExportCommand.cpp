#include "MeasurementExportCommand.h"

#include "DialogService.h"
#include "JournalExport.h"
#include "JournalLocation.h"
#include "MeasurementExportDialog.h"
#include "MonitoringExport.h"
#include "MonitoringSettings.h"
#include "TJournal.h"
#include "TWaitCursor.h"

#include <QDir>
#include <QFileInfo>

MeasurementExportCommand::MeasurementExportCommand(QWidget *parent, const QString &journalLocation,
                                                   const QString &settingsFile, const QString &saveDirectory)
    : m_parent(parent), m_journalLocation(journalLocation), m_settingsFile(settingsFile),
      m_saveDirectory(saveDirectory)
{
}

QString MeasurementExportCommand::run()
{
    if (!JournalLocation::isUrl(m_journalLocation) && !QFileInfo(m_journalLocation).isFile()) {
        DialogService::instance().notice(m_parent, QStringLiteral("Журнал измерений %1 еще не создан.")
                                                       .arg(QDir::toNativeSeparators(m_journalLocation)));
        return QString();
    }
    TJournal journal(m_journalLocation);
    const QList<TJournalRun> runs = readRuns(journal);
    JournalExport::Format format = JournalExport::Format::Csv;
    const TJournalRun *chosen = runs.isEmpty() ? nullptr : chooseRun(runs, &format);
    if (!chosen)
        return QString();
    const bool json = format == JournalExport::Format::Json;
    const QString proposed = (chosen->base.isEmpty() ? QStringLiteral("run_%1").arg(chosen->id)
                                                     : QFileInfo(chosen->base).fileName())
                           + (json ? QStringLiteral(".json") : QStringLiteral(".csv"));
    const QString file = DialogService::instance().saveFileName(
        m_parent, m_caption, m_saveDirectory, proposed,
        json ? QStringLiteral("JSON (*.json)|*.json") : QStringLiteral("CSV (*.csv)|*.csv"),
        json ? QStringLiteral("json") : QStringLiteral("csv"));
    if (file.isEmpty() || !write(journal, *chosen, format, file))
        return QString();
    return QStringLiteral(" Измерения прогона %1 выгружены в %2.").arg(chosen->id).arg(QDir::toNativeSeparators(file));
}

QList<TJournalRun> MeasurementExportCommand::readRuns(TJournal &journal)
{
    const QList<TJournalRun> runs = journal.runs();
    if (!journal.errorString().isEmpty()) {
        DialogService::instance().error(m_parent, journal.errorString());
        return {};
    }
    if (runs.isEmpty())
        DialogService::instance().notice(
            m_parent, QStringLiteral("В журнале измерений %1 нет прогонов.").arg(journal.displayLocation()));
    return runs;
}

const TJournalRun *MeasurementExportCommand::chooseRun(const QList<TJournalRun> &runs, JournalExport::Format *format)
{
    MeasurementExportDialog dialog(runs, m_parent);
    if (!dialog.hasRuns()) {
        DialogService::instance().notice(m_parent, QStringLiteral("В журнале измерений нет прогонов с изображениями."));
        return nullptr;
    }
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    *format = dialog.format();
    for (const TJournalRun &run : runs) {
        if (run.id == dialog.runId())
            return &run;
    }
    return nullptr;
}

bool MeasurementExportCommand::write(TJournal &journal, const TJournalRun &run, JournalExport::Format format,
                                     const QString &file)
{
    QString error;
    bool written = false;
    {
        TWaitCursor wait;
        const JournalExport::ExtraColumns extra =
            MonitoringExport::extraColumns(MonitoringSettings::readFile(m_settingsFile));
        written = JournalExport::writeFile(journal, run.id, format, file, &error,
                                           extra.names.isEmpty() ? nullptr : &extra);
    }
    if (!written)
        DialogService::instance().error(m_parent, error);
    return written;
}

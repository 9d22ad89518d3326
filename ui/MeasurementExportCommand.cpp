#include "MeasurementExportCommand.h"

#include "DialogService.h"
#include "JournalExport.h"
#include "JournalLocation.h"
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
    const TJournalRun *chosen = runs.isEmpty() ? nullptr : chooseRun(runs);
    if (!chosen)
        return QString();
    const QString proposed = (chosen->base.isEmpty() ? QStringLiteral("run_%1").arg(chosen->id)
                                                     : QFileInfo(chosen->base).fileName())
                           + QStringLiteral(".csv");
    const QString file = DialogService::instance().saveFileName(m_parent, m_caption, m_saveDirectory, proposed,
                                                                QStringLiteral("CSV (*.csv)|*.csv"),
                                                                QStringLiteral("csv"));
    if (file.isEmpty() || !write(journal, *chosen, file))
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

const TJournalRun *MeasurementExportCommand::chooseRun(const QList<TJournalRun> &runs)
{
    QString number = QString::number(runs.last().id);
    if (!DialogService::instance().inputText(m_parent, m_caption,
                                             QStringLiteral("Номер прогона (последний - %1, первый - %2):")
                                                 .arg(runs.last().id)
                                                 .arg(runs.first().id),
                                             &number))
        return nullptr;
    for (const TJournalRun &run : runs) {
        if (QString::number(run.id) == number.trimmed())
            return &run;
    }
    DialogService::instance().error(m_parent, QStringLiteral("В журнале измерений нет прогона %1.").arg(number.trimmed()));
    return nullptr;
}

bool MeasurementExportCommand::write(TJournal &journal, const TJournalRun &run, const QString &file)
{
    QString error;
    bool written = false;
    {
        TWaitCursor wait;
        const JournalExport::ExtraColumns extra =
            MonitoringExport::extraColumns(MonitoringSettings::readFile(m_settingsFile));
        written = JournalExport::writeFile(journal, run.id, JournalExport::Format::Csv, file, &error,
                                           extra.names.isEmpty() ? nullptr : &extra);
    }
    if (!written)
        DialogService::instance().error(m_parent, error);
    return written;
}

#pragma once

#include "JournalExport.h"
#include "TJournalRow.h"

#include <QList>
#include <QString>

class QWidget;
class TJournal;

// "Файл -> Экспорт измерений...": writes one run of the measurement journal,
// chosen in MeasurementExportDialog (the newest by default), as CSV or JSON
// to a file the user chooses, with the corrected and millimetre columns where
// the monitoring settings ask for them. Every message and file dialog goes
// through the dialog service.
class MeasurementExportCommand
{
public:
    MeasurementExportCommand(QWidget *parent, const QString &journalLocation, const QString &settingsFile,
                             const QString &saveDirectory);

    // Runs the command; the status text of a written file, empty when nothing
    // was written (the reason, if any, already shown).
    QString run();

private:
    // The journal's runs; empty (the reason shown) when there is none to export.
    QList<TJournalRun> readRuns(TJournal &journal);
    // The run the user asks for and its format; null when cancelled.
    const TJournalRun *chooseRun(const QList<TJournalRun> &runs, JournalExport::Format *format);
    // Writes the run to `file`; false with the reason shown.
    bool write(TJournal &journal, const TJournalRun &run, JournalExport::Format format, const QString &file);

    QWidget *m_parent;
    QString m_journalLocation;
    QString m_settingsFile;
    QString m_saveDirectory;
    const QString m_caption = QStringLiteral("Экспорт измерений");
};

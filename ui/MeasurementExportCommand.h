#pragma once

#include "TJournalRow.h"

#include <QList>
#include <QString>

class QWidget;
class TJournal;

// "Файл -> Экспорт измерений...": writes the CSV of one run of the measurement
// journal (the last by default, another by its number as "kelvarin2-cli runs"
// lists them) to a file the user chooses, with the corrected and millimetre
// columns where the monitoring settings ask for them. Every question and
// refusal goes through the dialog service.
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
    // The run the user asks for; null when cancelled or unknown (the reason shown).
    const TJournalRun *chooseRun(const QList<TJournalRun> &runs);
    // Writes the run's CSV to `file`; false with the reason shown.
    bool write(TJournal &journal, const TJournalRun &run, const QString &file);

    QWidget *m_parent;
    QString m_journalLocation;
    QString m_settingsFile;
    QString m_saveDirectory;
    const QString m_caption = QStringLiteral("Экспорт измерений");
};

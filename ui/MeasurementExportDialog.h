#pragma once

#include "JournalExport.h"
#include "TJournalRow.h"

#include <QDialog>
#include <QList>

class QComboBox;

// "Экспорт измерений": the run to export, chosen from the list the chart
// window offers (newest first, with station, time span and image count; runs
// without images left out), and the format, CSV or JSON.
class MeasurementExportDialog : public QDialog
{
    Q_OBJECT

public:
    MeasurementExportDialog(const QList<TJournalRun> &runs, QWidget *parent = nullptr);

    // Whether any run can be chosen.
    bool hasRuns() const;
    // The run chosen (0 when none) and the format.
    qint64 runId() const;
    JournalExport::Format format() const;

private:
    QComboBox *m_runs = nullptr;
    QComboBox *m_formats = nullptr;
};

#pragma once

#include "DisplacementSeries.h"
#include "TJournalRow.h"

#include <QList>
#include <QString>

class QComboBox;

// The journal's runs as the windows offer them for a choice (the chart
// window's run box, the export dialog): newest first, each with its number,
// station, time span and image count. Runs without a single image (a start
// with nothing selected, a watch stopped before its first image) are left
// out: there is nothing to draw or export, and their times would only
// stretch an axis.
class JournalRunList final
{
public:
    static QList<TJournalRun> listed(const QList<TJournalRun> &runs);
    // "Запуск 12: станция st-1, 10.12.2026 10:00:00 – 11:30:00, изображений 40";
    // a run of id 0 is the window's current run ("Текущий запуск: ...").
    static QString caption(const TJournalRun &run);
    // The window's current run as a run (id 0): this computer as its station,
    // the span of its image times, its image count.
    static TJournalRun currentRun(const DisplacementSeries &series);
    // Appends the listed runs to `box`, each with its id as the item's data.
    static void fill(QComboBox *box, const QList<TJournalRun> &runs);
};

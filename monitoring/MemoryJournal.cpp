#include "MemoryJournal.h"

QList<TJournalRow> MemoryJournal::rows(qint64 runId)
{
    QList<TJournalRow> result;
    result.reserve(rowList.size());
    for (const TJournalRow &row : std::as_const(rowList)) {
        if (row.runId == runId)
            result << row;
    }
    return result;
}

qint64 MemoryJournal::lastRunId()
{
    qint64 last = 0;
    for (const TJournalRun &run : std::as_const(runList))
        last = qMax(last, run.id);
    return last;
}

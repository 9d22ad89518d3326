#pragma once

#include "JournalSource.h"

// A journal held in memory: tests, and the rows of the current run of the window.
class MemoryJournal : public JournalSource
{
public:
    QList<TJournalRun> runList;
    QList<TJournalRow> rowList;

    QList<TJournalRun> runs() override { return runList; }
    QList<TJournalRow> rows(qint64 runId) override;
    qint64 lastRunId() override;
};

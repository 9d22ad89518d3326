#pragma once

#include "CliCommand.h"

#include <memory>

class TJournal;

// What the journal commands share: the journal named by --journal or the
// settings, which must exist already (reading never creates one).
class JournalReadCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;

protected:
    // The opened journal, or null once the reason is printed.
    std::unique_ptr<TJournal> openJournal();
};

// "kelvarin2-cli runs": the runs of the journal, one per line.
class RunsCommand : public JournalReadCommand
{
public:
    using JournalReadCommand::JournalReadCommand;
    int execute() override;
};

// "kelvarin2-cli export": the measurements of one run as CSV or JSON.
class ExportCommand : public JournalReadCommand
{
public:
    using JournalReadCommand::JournalReadCommand;
    int execute() override;

private:
    qint64 chosenRun(TJournal &journal);
};

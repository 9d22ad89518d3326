#pragma once

#include "CliCommand.h"
#include "TProcessingRun.h"

#include <QList>

// "kelvarin2-cli process": one run over the given images with the user's
// settings, results written as the desktop program writes them.
class ProcessCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;
    int execute() override;

private:
    void printSummary(const TProcessingRun::Outcome &outcome, const QList<int> &found);
};

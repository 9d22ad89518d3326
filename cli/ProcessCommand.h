#pragma once

#include "CliOptions.h"
#include "TProcessingRun.h"

#include <QList>

class QTextStream;

// "kelvarin2-cli process": one run over the given images with the user's
// settings, results written as the desktop program writes them.
class ProcessCommand
{
public:
    enum ExitCode { Success = 0, RunFailed = 1, BadInput = 2 };

    ProcessCommand(const CliOptions &options, QTextStream &out, QTextStream &err);
    int execute();

private:
    void printSummary(const TProcessingRun::Outcome &outcome, const QList<int> &found);

    QTextStream &m_out;
    QTextStream &m_err;
    const CliOptions &m_options;
};

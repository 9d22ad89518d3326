#pragma once

#include "CliOptions.h"

class QTextStream;

// "kelvarin2-cli watch": the watched buffer directory of a station without a
// display. Every new image is processed, archived or moved as the settings
// say, and the result set is rewritten after it; one line per image goes to
// standard error. SIGINT or SIGTERM ends the watch with the results written.
class WatchCommand
{
public:
    enum ExitCode { Success = 0, ResultsNotWritten = 1, BadInput = 2 };

    WatchCommand(const CliOptions &options, QTextStream &out, QTextStream &err);
    int execute();

private:
    QTextStream &m_out;
    QTextStream &m_err;
    const CliOptions &m_options;
};

#pragma once

#include "CliOptions.h"

class QTextStream;

// "kelvarin2-cli calibrate": processes one image and prints the recommended
// brightness threshold (the lowest mean brightness of a spot), as the
// brightness threshold calibration proposes it. Nothing is written.
class CalibrateCommand
{
public:
    enum ExitCode { Success = 0, ImageFailed = 1, BadInput = 2 };

    CalibrateCommand(const CliOptions &options, QTextStream &out, QTextStream &err);
    int execute();

private:
    QTextStream &m_out;
    QTextStream &m_err;
    const CliOptions &m_options;
};

#pragma once

#include "CliCommand.h"

// "kelvarin2-cli calibrate": processes one image and prints the recommended
// brightness threshold (the lowest mean brightness of a spot), as the
// brightness threshold calibration proposes it. Nothing is written.
class CalibrateCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;
    int execute() override;
};

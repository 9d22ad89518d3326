#pragma once

#include "CliCommand.h"

class TStartControl;
struct MonitoringSettings;

// "kelvarin2-cli watch": the watched buffer directory of a station without a
// display. Every new image is processed, archived or moved as the settings
// say, and the result set is rewritten after it; one line per image goes to
// standard error. SIGINT or SIGTERM ends the watch with the results written.
// With --metrics FILE the station's state is kept in FILE for Prometheus.
class WatchCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;
    int execute() override;

private:
    bool readMonitoring(MonitoringSettings *monitoring);
    // The settings, the buffer directory (the argument or BufferDir), the
    // working directory and the zones; false once the reason is printed.
    bool prepare();
    // What the watch did, on standard output; the exit status.
    int summary(const TStartControl &control, const QString &base);
};

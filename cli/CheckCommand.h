#pragma once

#include "MonitoringCheck.h"

#include <QString>
#include <QStringList>

class JournalSource;
class QTextStream;
struct CliOptions;
struct MonitoringSettings;

// kelvarin2-cli check [--settings FILE] [--journal LOCATION] [--station NAME | --run ID]
// [--max-age AGE] [-t SECONDS]: one line for a monitoring system about the
// last image of the station's newest run (or the run given), and the
// plugin's exit status (0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN). The station
// is --station, else the settings' Station, else the host name; the limits
// those the run recorded, unless --settings is given; the journal --journal,
// else the settings' "JournalUrl" or "JournalFile". With --format
// prometheus the same state in the Prometheus text format instead.
class CheckCommand
{
public:
    CheckCommand(const CliOptions &options, QTextStream &out);
    int execute();

    // A command line the check could not use: UNKNOWN, as monitoring systems expect.
    static int refuse(const QString &error, QTextStream &out);

private:
    int answer(const QString &location, const MonitoringCheck::Request &request);

    const CliOptions &m_options;
    QTextStream &m_out;
};

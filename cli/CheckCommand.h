#pragma once

#include <QString>
#include <QStringList>

class JournalSource;
class QTextStream;
struct CliOptions;
struct MonitoringSettings;

// kelvarin2-cli check [--settings FILE] [--journal LOCATION] [--run ID] [--max-age AGE]:
// one line for a monitoring system about the last image of a run of the
// journal, and the plugin's exit status (0 OK, 1 WARNING, 2 CRITICAL,
// 3 UNKNOWN). The limits come from the settings; the journal from --journal,
// else from the settings' "JournalUrl" or "JournalFile". With --format
// prometheus the same state in the Prometheus text format instead.
class CheckCommand
{
public:
    CheckCommand(const CliOptions &options, QTextStream &out);
    int execute();

    // A command line the check could not use: UNKNOWN, as monitoring systems expect.
    static int refuse(const QString &error, QTextStream &out);

private:
    int metrics(JournalSource *journal, const QString &problem, const MonitoringSettings &settings);

    const CliOptions &m_options;
    QTextStream &m_out;
};

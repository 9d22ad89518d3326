#pragma once

#include <QString>
#include <QStringList>

// The command line of the headless tool: `kelvarin2-cli COMMAND [OPTIONS] [PATHS]`
// with the commands process, watch, calibrate, runs, export and check, plus
// --help and --version. Each option is one row of the table in CliOptions.cpp
// (its names, value, the commands that take it, the field it fills and its
// help text); the parser, the --help text and the manual page all come from
// that table. Parsing never exits; errors come back as text.
struct CliOptions
{
    enum class Action { Help, Version, Manual, Command };

    Action action = Action::Help;
    QString command;        // "process", "watch", ...
    QString settingsFile;   // empty: the user's own settings file
    QString zonesFile;      // empty: the settings' zone file
    QString outBase;        // empty: the next free base in the working directory (export: the file)
    QString journal;        // empty: the journal the settings name
    bool noJournal = false;
    QString runId;          // export: the run; empty: the last one
    QString base;           // export: the last run of this base
    QString format;         // export: "csv" (empty) or "json"; check: "prometheus" or empty
    QString maxAge;         // check: the oldest last image that counts
    QString station;        // the station: its runs (empty: the settings' Station, else the host name)
    int timeout = 10;       // check: seconds the journal has to answer
    QString metricsFile;    // watch: the Prometheus metrics kept up to date
    QStringList paths;
    int jobs = 0;           // process: images measured at once; 0 = one per core
    bool archives = false;  // process: directories also give their *.zip archives
    QString error;          // non-empty when the command line is unusable

    static CliOptions parse(const QStringList &arguments);

    // The --help text.
    static QString usage();
    // The manual page kelvarin2-cli(1), from the same table as the help.
    static QString manPage();
};

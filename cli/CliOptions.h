#pragma once

#include <QString>
#include <QStringList>

// The command line of the headless tool:
//   kelvarin2-cli process [--settings FILE] [--zones FILE] [--out BASE] [--jobs N] [--archives] PATH...
//   kelvarin2-cli watch [--settings FILE] [--zones FILE] BUFFERDIR
//   kelvarin2-cli calibrate [--settings FILE] [--zones FILE] IMAGE
//   kelvarin2-cli runs [--settings FILE] [--journal FILE|URL]
//   kelvarin2-cli export [--settings FILE] [--journal FILE|URL] [--run ID | --base BASE]
//                        [--format csv|json] [--out FILE]
// (process, watch and calibrate also take --journal FILE|URL and --no-journal)
//   kelvarin2-cli check [--settings FILE] [--journal LOCATION] [--run ID] [--max-age AGE]
// plus --help and --version. Parsing never exits; errors come back as text.
struct CliOptions
{
    enum class Action { Help, Version, Command };

    Action action = Action::Help;
    QString command;        // "process", "watch" or "calibrate"
    QString settingsFile;   // empty: the user's own settings file
    QString zonesFile;      // empty: the settings' zone file
    QString outBase;        // empty: the next free base in the working directory (export: the file)
    QString journal;        // empty: the journal the settings name
    bool noJournal = false;
    QString runId;          // export: the run; empty: the last one
    QString base;           // export: the last run of this base
    QString format;         // export: "csv" (empty) or "json"
    QString maxAge;         // check: the oldest last image that counts
    QString station;        // the station: its runs (empty: the settings' Station, else the host name)
    int timeout = 10;       // check: seconds the journal has to answer
    QStringList paths;
    int jobs = 0;           // process: images measured at once; 0 = one per core
    bool archives = false;  // process: directories also give their *.zip archives
    QString error;          // non-empty when the command line is unusable

    static CliOptions parse(const QStringList &arguments);

    static QString usage();
};

#pragma once

#include <QString>
#include <QStringList>

// The command line of the headless tool:
//   kelvarin2-cli process [--settings FILE] [--zones FILE] [--out BASE] PATH...
//   kelvarin2-cli watch [--settings FILE] [--zones FILE] BUFFERDIR
//   kelvarin2-cli calibrate [--settings FILE] [--zones FILE] IMAGE
//   kelvarin2-cli check [--settings FILE] [--journal LOCATION] [--run ID] [--max-age AGE]
// plus --help and --version. Parsing never exits; errors come back as text.
struct CliOptions
{
    enum class Action { Help, Version, Command };

    Action action = Action::Help;
    QString command;        // "process", "watch" or "calibrate"
    QString settingsFile;   // empty: the user's own settings file
    QString zonesFile;      // empty: the settings' zone file
    QString outBase;        // empty: the next free base in the working directory
    QString journal;        // check: the journal's location
    QString run;            // check: the run's number, empty for the newest
    QString maxAge;         // check: the oldest last image that counts
    QStringList paths;
    QString error;          // non-empty when the command line is unusable

    static CliOptions parse(const QStringList &arguments);

    static QString usage();
};

#pragma once

#include "CliHost.h"
#include "CliOptions.h"
#include "TParameters.h"
#include "TPointFinder.h"

#include <memory>

class TJournalRecorder;

class QTextStream;

// What every command of the tool starts from: its options, the terminal, the
// settings and the engine with its zones. A command prints why it cannot go
// on and returns an exit code: 0 success, 1 the work failed, 2 bad input.
class CliCommand
{
public:
    enum ExitCode { Success = 0, WorkFailed = 1, BadInput = 2 };

    CliCommand(const CliOptions &options, QTextStream &out, QTextStream &err);
    virtual ~CliCommand();
    virtual int execute() = 0;

protected:
    // Reads the settings (--settings, or the user's own file, or the
    // defaults) with --zones in force; steps are never shown here.
    bool loadSettings();
    // Reads the zone file into the engine; false once the reason is printed,
    // also when it holds no zone and `requireZones` is set (exit status 2 everywhere).
    bool readZones(bool requireZones = true);
    // Prints which zone file could not be read.
    void failZones();
    // Exactly `count` paths were given; otherwise prints `what` is wanted.
    bool expectPaths(int count, const QString &what);
    // "kelvarin2-cli: <text>" on standard error.
    void fail(const QString &text);

    // The journal the run writes (--journal, else the settings'), none with
    // --no-journal. Its failures are printed as warnings when they happen.
    TJournalRecorder *journalRecorder();
    // The settings file in force: --settings, else the user's own.
    QString settingsFile() const;
    // The journal's location, --journal or the settings'.
    QString journalLocation() const;
    // Success turns into WorkFailed when the journal could not be written.
    int withJournal(int code) const;

    const CliOptions &m_options;
    QTextStream &m_out;
    QTextStream &m_err;
    CliHost m_host;
    TParameters m_params;
    TPointFinder m_finder;
    std::unique_ptr<TJournalRecorder> m_journal;
};

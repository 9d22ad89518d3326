#pragma once

#include <QString>

// What the start styles need from the program beyond a run's host (TRunHost):
// the main window moves and locks its directory and file lists and starts its
// run over a whole directory; the headless tool has no lists. The watch's
// problems go to the run host's report().
class TStartHost
{
public:
    virtual ~TStartHost() = default;

    // Enable or disable the directory list and the file list together.
    virtual void EnableFileLists(bool on) = 0;
    // Point the directory list at `directory` (the file list follows it).
    // Throws KelvarinError when the list cannot go there.
    virtual void ShowDirectory(const QString &directory) = 0;
    // The scheduled start: the run over every file of the file list's current
    // directory, selected or not (the main window's N4Click while the style is 1).
    virtual void StartScheduledRun() = 0;
};

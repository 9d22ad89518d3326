#pragma once

#include "TStartHost.h"

class QTextStream;

// The terminal side of a watch: there are no lists to move or lock (the
// watch's notices go through the run host's report()).
class CliStartHost : public TStartHost
{
public:
    explicit CliStartHost(QTextStream &err);

    void EnableFileLists(bool) override {}
    void ShowDirectory(const QString &) override {}
    // The tool never waits for a start time.
    void StartScheduledRun() override {}

private:
    QTextStream &m_err;
};

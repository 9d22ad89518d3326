#pragma once

#include "TStartHost.h"

class QTextStream;

// The terminal side of a watch: there are no lists to move or lock, and the
// watch's notices (an image set aside, results not written) are printed.
class CliStartHost : public TStartHost
{
public:
    explicit CliStartHost(QTextStream &err);

    void EnableFileLists(bool) override {}
    void ShowDirectory(const QString &) override {}
    // The tool never waits for a start time.
    void StartScheduledRun() override {}
    void WatchNotice(const QString &text) override;

private:
    QTextStream &m_err;
};

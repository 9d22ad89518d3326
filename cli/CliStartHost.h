#pragma once

#include "TStartHost.h"

class QTextStream;
class TIssueSink;

// The terminal side of a watch: there are no lists to move or lock, and the
// watch's notices (an image set aside, results not written) are printed.
class CliStartHost : public TStartHost
{
public:
    // issues: where the notices also go (the journal's events); may be null.
    explicit CliStartHost(QTextStream &err, TIssueSink *issues = nullptr);

    void EnableFileLists(bool) override {}
    void ShowDirectory(const QString &) override {}
    // The tool never waits for a start time.
    void StartScheduledRun() override {}
    void WatchNotice(const QString &text) override;

private:
    QTextStream &m_err;
    TIssueSink *m_issues;
};

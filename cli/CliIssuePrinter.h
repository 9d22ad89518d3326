#pragma once

#include "TIssue.h"

// The monitoring's issues on their way to the tool's host (standard error and
// the event log): a limit crossing is marked "АВАРИЯ: " or "ПРЕДУПРЕЖДЕНИЕ: "
// in front of its text, so that it stands out among the progress lines.
class CliIssuePrinter : public TIssueSink
{
public:
    explicit CliIssuePrinter(TIssueSink &host) : m_host(host) {}
    void report(const TIssue &issue) override;

private:
    TIssueSink &m_host;
};

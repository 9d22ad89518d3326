#pragma once

#include "TIssue.h"

class QTextStream;

// Prints what the core reports to the terminal: "kelvarin2-cli: АВАРИЯ: ..."
// for an alarm, "ПРЕДУПРЕЖДЕНИЕ" for a warning, the text alone otherwise.
class CliIssuePrinter : public TIssueSink
{
public:
    explicit CliIssuePrinter(QTextStream &err) : m_err(err) {}
    void report(const TIssue &issue) override;

private:
    QTextStream &m_err;
};

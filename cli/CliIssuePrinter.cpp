#include "CliIssuePrinter.h"

void CliIssuePrinter::report(const TIssue &issue)
{
    TIssue marked = issue;
    if (issue.severity == TIssue::Severity::Alarm)
        marked.text = QStringLiteral("АВАРИЯ: ") + issue.text;
    else if (issue.severity == TIssue::Severity::Warning && issue.source == TIssue::Source::Monitoring)
        marked.text = QStringLiteral("ПРЕДУПРЕЖДЕНИЕ: ") + issue.text;
    m_host.report(marked);
}

#include "CliIssuePrinter.h"

#include <QTextStream>

void CliIssuePrinter::report(const TIssue &issue)
{
    QString level;
    if (issue.severity == TIssue::Severity::Alarm)
        level = QStringLiteral("АВАРИЯ: ");
    else if (issue.severity == TIssue::Severity::Warning)
        level = QStringLiteral("ПРЕДУПРЕЖДЕНИЕ: ");
    m_err << QStringLiteral("kelvarin2-cli: ") << level << issue.text << Qt::endl;
}

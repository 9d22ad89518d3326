#include "CliStartHost.h"

#include "TIssue.h"

#include <QTextStream>

CliStartHost::CliStartHost(QTextStream &err, TIssueSink *issues)
    : m_err(err), m_issues(issues)
{
}

void CliStartHost::WatchNotice(const QString &text)
{
    m_err << QStringLiteral("kelvarin2-cli: ") << text << Qt::endl;
    if (m_issues)
        m_issues->report({TIssue::Severity::Warning, TIssue::Source::Watch, QString(), text});
}

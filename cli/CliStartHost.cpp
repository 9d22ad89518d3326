#include "CliStartHost.h"

#include <QTextStream>

CliStartHost::CliStartHost(QTextStream &err)
    : m_err(err)
{
}

void CliStartHost::WatchNotice(const QString &text)
{
    m_err << QStringLiteral("kelvarin2-cli: ") << text << Qt::endl;
}

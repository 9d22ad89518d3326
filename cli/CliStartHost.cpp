#include "CliStartHost.h"

#include <QTextStream>

CliStartHost::CliStartHost(QTextStream &err)
    : m_err(err)
{
}

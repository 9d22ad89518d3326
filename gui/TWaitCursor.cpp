#include "TWaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

TWaitCursor::TWaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TWaitCursor::~TWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

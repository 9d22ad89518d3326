#include "TWaitCursor.h"

#include <QGuiApplication>

TWaitCursor::TWaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TWaitCursor::~TWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

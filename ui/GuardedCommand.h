#pragma once

#include "DialogService.h"
#include "KelvarinError.h"

#include <QString>

#include <exception>

class QWidget;

// Runs a command of a window and shows an error that ended it as the top
// level would: its message in an error box over `parent`.
template<typename Command>
void guardedCommand(QWidget *parent, Command command)
{
    try {
        command();
    } catch (const KelvarinError &error) {
        DialogService::instance().error(parent, error.message());
    } catch (const std::exception &error) {
        DialogService::instance().error(parent, QString::fromLocal8Bit(error.what()));
    }
}

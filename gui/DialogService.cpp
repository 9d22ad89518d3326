#include "DialogService.h"

#include "QtDialogService.h"

static DialogService *installed = nullptr;

DialogService &DialogService::instance()
{
    static QtDialogService real;
    return installed ? *installed : real;
}

void DialogService::setInstance(DialogService *service)
{
    installed = service;
}

QString DialogService::applicationTitle()
{
    return QStringLiteral("Kelvarin2");
}

void DialogService::notice(QWidget *parent, const QString &text)
{
    message(parent, applicationTitle(), text, Ok, Icon::None);
}

void DialogService::error(QWidget *parent, const QString &text)
{
    message(parent, applicationTitle(), text, Ok, Icon::Error);
}

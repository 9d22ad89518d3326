#pragma once

#include "AboutBox.h"

// The manual measurement window's about box ("Zym").
class TZymAboutBox : public AboutBox
{
    Q_OBJECT

public:
    explicit TZymAboutBox(QWidget *parent = nullptr)
        : AboutBox(QStringLiteral("Zym"), parent)
    {
        setObjectName(QStringLiteral("TZymAboutBox"));
    }
};

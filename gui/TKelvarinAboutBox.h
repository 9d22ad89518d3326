#pragma once

#include "AboutBox.h"

// The main program's about box ("Kelvarin-2").
class TKelvarinAboutBox : public AboutBox
{
    Q_OBJECT

public:
    explicit TKelvarinAboutBox(QWidget *parent = nullptr)
        : AboutBox(QStringLiteral("Kelvarin-2"), parent)
    {
        setObjectName(QStringLiteral("TKelvarinAboutBox"));
    }
};

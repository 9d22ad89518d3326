#pragma once

#include <QString>

// The texts of the two failures of the point list container.
struct ListOfT
{
    static QString wrongParameterText()
    {
        return QStringLiteral("Wrong parameter transferred to ListOfT::ListOfT");
    }
    static QString indexOutOfBoundsText() { return QStringLiteral("Index out of bounds ListOfT::Get"); }
};

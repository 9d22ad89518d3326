#pragma once

#include "VoidBasic.h"

#include <QtGlobal>

// An integer held on its own; the measurement window keeps the index of its
// active point in one (-1: no point is active).
class TSharedInt : public VoidBasic
{
public:
    explicit TSharedInt(qint32 value) : value(value) {}

    qint32 value;
};

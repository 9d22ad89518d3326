#pragma once

// How the widget tests reach a window's controls: by the object names the
// program gives them (buttonStop, ZonesEdit, ...), never through the
// window's members. A control that is missing ends the test at once, naming it.

#include <QObject>

#include <cstdio>
#include <cstdlib>

template<typename Control>
Control *controlByName(const QObject &window, const char *name)
{
    auto *found = window.findChild<Control *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "%s has no control %s\n", qPrintable(window.objectName()), name);
        std::abort();
    }
    return found;
}

// Declares `Type *Name(const Window &)`, the control of that object name.
#define KELVARIN_CONTROL(Window, Type, Name) \
    inline Type *Name(const Window &window) { return controlByName<Type>(window, #Name); }

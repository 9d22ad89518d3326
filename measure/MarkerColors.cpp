#include "MarkerColors.h"

#include <array>

namespace {
struct NamedColor
{
    const char *name;
    int value;
};

// Table order is the order of the lists; where two names share a value the
// first of them is the one given back.
constexpr std::array<NamedColor, 18> table = {{
    {"Aqua", 16776960},
    {"Black", 0},
    {"Blue", 16711680},
    {"Dark gray", 8421504},
    {"Fuchsia", 16711935},
    {"Gray", 8421504},
    {"Green", 32768},
    {"Lime green", 65280},
    {"Light gray", 12632256},
    {"Maroon", 128},
    {"Navy blue", 8388608},
    {"Olive green", 32896},
    {"Purple", 8388736},
    {"Red", 255},
    {"Silver", 12632256},
    {"Teal", 8421376},
    {"White", 16777215},
    {"Yellow", 65535},
}};
}

QStringList MarkerColors::names()
{
    QStringList result;
    for (const NamedColor &c : table)
        result << QLatin1String(c.name);
    return result;
}

int MarkerColors::NameToColor(const QString &name)
{
    for (const NamedColor &c : table) {
        if (name == QLatin1String(c.name))
            return c.value;
    }
    return 0;
}

QString MarkerColors::ColorToName(int value)
{
    for (const NamedColor &c : table) {
        if (c.value == value)
            return QLatin1String(c.name);
    }
    return {};
}

QColor MarkerColors::toQColor(int value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

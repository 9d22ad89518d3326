#include "MarkerColors.h"

#include <array>

namespace {
struct NamedColor
{
    const char *name;
    int value;
    const char *shownName; // what the colour lists show
};

// Table order is the order of the lists; where two names share a value the
// first of them is the one given back.
constexpr std::array<NamedColor, 18> table = {{
    {"Aqua", 16776960, "Голубой"},
    {"Black", 0, "Чёрный"},
    {"Blue", 16711680, "Синий"},
    {"Dark gray", 8421504, "Тёмно-серый"},
    {"Fuchsia", 16711935, "Фуксия"},
    {"Gray", 8421504, "Серый"},
    {"Green", 32768, "Зелёный"},
    {"Lime green", 65280, "Ярко-зелёный"},
    {"Light gray", 12632256, "Светло-серый"},
    {"Maroon", 128, "Тёмно-красный"},
    {"Navy blue", 8388608, "Тёмно-синий"},
    {"Olive green", 32896, "Оливковый"},
    {"Purple", 8388736, "Пурпурный"},
    {"Red", 255, "Красный"},
    {"Silver", 12632256, "Серебристый"},
    {"Teal", 8421376, "Сине-зелёный"},
    {"White", 16777215, "Белый"},
    {"Yellow", 65535, "Жёлтый"},
}};
}

QStringList MarkerColors::names()
{
    QStringList result;
    for (const NamedColor &c : table)
        result << QLatin1String(c.name);
    return result;
}

QString MarkerColors::shownName(const QString &name)
{
    for (const NamedColor &c : table) {
        if (name == QLatin1String(c.name))
            return QString::fromUtf8(c.shownName);
    }
    return name;
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

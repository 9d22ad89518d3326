#pragma once

#include <QColor>
#include <QStringList>

// The eighteen named marker colours. A colour value is a 24-bit integer with
// red in the lowest byte, green in the middle and blue in the highest (red is
// 255, blue 16711680).
class MarkerColors
{
public:
    // The names in the order the colour lists show them.
    static QStringList names();

    // The Russian name the lists show for one of the names; the settings and
    // every comparison keep the names above.
    static QString shownName(const QString &name);

    // The value of the name written exactly so (case and blanks); any other
    // text gives 0 (black).
    static int NameToColor(const QString &name);

    // The name of a value, empty for a value without one. "Gray" and
    // "Silver" share their values with "Dark gray" and "Light gray", which
    // are the names given back.
    static QString ColorToName(int value);

    static QColor toQColor(int value);
};

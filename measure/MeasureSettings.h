#pragma once

#include <QString>
#include <QStringList>

class IniFile;

// The measurement window's settings, section "ZymParameters" of the settings
// file "ZymKelvarin.ini". Integers are written in decimal and read in decimal or
// "0x" hexadecimal, booleans as "1"/"0" (any integer but 0 reads true), the
// colours and the font colour as reals in the locale's notation (read back
// with "." or "," and truncated toward zero), texts as they are. A missing or unreadable value
// gives the field's built-in value.
struct MeasureSettings final
{
    static QString fileName() { return QStringLiteral("ZymKelvarin.ini"); }
    static QString section() { return QStringLiteral("ZymParameters"); }

    int lupaSize = 20;               // LupaSize: magnifier half side
    int lupaScale = 5;               // LupaScale: magnifier zoom
    bool lupaVisible = false;        // LupaVisible
    int crossSize = 8;               // Cross_size
    int activeColor = 255;           // Active_color (red)
    int passiveColor = 16711680;     // Passive_color (blue)
    QString fontName = QStringLiteral("Tahoma");
    int fontSize = 12;
    int fontColor = 0;               // kept and written back; labels take their marker's colour
    bool fontBold = true;
    bool fontItalic = false;
    bool fontUnderline = false;
    bool fontStrikeOut = false;
    QString workDir;

    // Reads every key, the current field values serving as defaults. False,
    // with the fields untouched, when the file exists but cannot be read. A
    // colour that is no number keeps its default and is named in `problems`
    // (file, line and key).
    bool read(IniFile &ini, QStringList *problems = nullptr);

    // Writes the keys in the window's order, each at once; stops at the first
    // failure (the keys written before it stay) and returns false.
    bool write(IniFile &ini) const;
};

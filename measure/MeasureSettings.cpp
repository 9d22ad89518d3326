#include "MeasureSettings.h"

#include "IniFile.h"

#include <cmath>
#include <limits>

// Colours are stored as reals ("." or ","); a value beyond any integer keeps
// the default, and so does one that is no number, which is also named.
static int readColor(const IniFile &ini, const QString &key, int fallback, QStringList *problems)
{
    double number = fallback;
    QString error;
    if (!ini.readReal(MeasureSettings::section(), key, &number, &error)) {
        if (problems)
            *problems << error;
        return fallback;
    }
    const double value = std::trunc(number);
    if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()))
        return fallback;
    return int(value);
}

bool MeasureSettings::read(IniFile &ini, QStringList *problems)
{
    if (!ini.load())
        return false;
    const QString s = section();
    lupaSize = ini.readInteger(s, QStringLiteral("LupaSize"), lupaSize);
    lupaScale = ini.readInteger(s, QStringLiteral("LupaScale"), lupaScale);
    lupaVisible = ini.readBool(s, QStringLiteral("LupaVisible"), lupaVisible);
    crossSize = ini.readInteger(s, QStringLiteral("Cross_size"), crossSize);
    activeColor = readColor(ini, QStringLiteral("Active_color"), activeColor, problems);
    passiveColor = readColor(ini, QStringLiteral("Passive_color"), passiveColor, problems);
    fontName = ini.readString(s, QStringLiteral("FontName"), fontName);
    fontSize = ini.readInteger(s, QStringLiteral("FontSize"), fontSize);
    fontColor = readColor(ini, QStringLiteral("FontColor"), fontColor, problems);
    fontBold = ini.readBool(s, QStringLiteral("FontStyleBold"), fontBold);
    fontItalic = ini.readBool(s, QStringLiteral("FontStyleItalic"), fontItalic);
    fontUnderline = ini.readBool(s, QStringLiteral("FontStyleUndeline"), fontUnderline);
    fontStrikeOut = ini.readBool(s, QStringLiteral("FontStyleStrikeout"), fontStrikeOut);
    workDir = ini.readString(s, QStringLiteral("WorkDir"), workDir);
    return true;
}

bool MeasureSettings::write(IniFile &ini) const
{
    // The file as it is now, every key changed in place, one atomic write.
    if (!ini.load())
        return false;
    const QString s = section();
    return ini.setInteger(s, QStringLiteral("LupaSize"), lupaSize)
        && ini.setInteger(s, QStringLiteral("LupaScale"), lupaScale)
        && ini.setBool(s, QStringLiteral("LupaVisible"), lupaVisible)
        && ini.setInteger(s, QStringLiteral("Cross_size"), crossSize)
        && ini.setReal(s, QStringLiteral("Active_color"), activeColor)
        && ini.setReal(s, QStringLiteral("Passive_color"), passiveColor)
        && ini.setString(s, QStringLiteral("FontName"), fontName)
        && ini.setInteger(s, QStringLiteral("FontSize"), fontSize)
        && ini.setReal(s, QStringLiteral("FontColor"), fontColor)
        && ini.setBool(s, QStringLiteral("FontStyleBold"), fontBold)
        && ini.setBool(s, QStringLiteral("FontStyleItalic"), fontItalic)
        && ini.setBool(s, QStringLiteral("FontStyleUndeline"), fontUnderline)
        && ini.setBool(s, QStringLiteral("FontStyleStrikeout"), fontStrikeOut)
        && ini.setString(s, QStringLiteral("WorkDir"), workDir)
        && ini.commit();
}

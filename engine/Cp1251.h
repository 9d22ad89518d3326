#pragma once

#include <QByteArray>
#include <QString>

// The Windows Cyrillic code page, used for the Russian texts of the files this
// program exchanges with the rest of its family (log, camera and orientation
// comments). Characters outside the code page are written as '?'.
class Cp1251
{
public:
    static QByteArray encode(const QString &text);
    static QString decode(const QByteArray &bytes);
};

#pragma once

#include <QString>
#include <QStringList>

// The images a command works on: files as given, and for a directory its
// "*.bmp" files (the extension in any case) in name order without regard to case.
class ImageList
{
public:
    static QStringList expand(const QStringList &paths);
    static QStringList bitmapsIn(const QString &directory);
    // Name order without regard to case; names equal but for case keep a fixed order.
    static bool lessByName(const QString &a, const QString &b);
};

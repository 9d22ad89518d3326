#pragma once

#include <QImage>
#include <QString>

class BitmapFile;

// Pictures for the windows, decoded by the engine's own bitmap reader so that
// what the user sees is what the engine measures (16-bit colours at full
// intensity, 4-bit files with their true colours).
class BitmapPicture
{
public:
    // The whole image as a 32-bit picture; a null image for a closed file.
    static QImage toImage(BitmapFile &file);
    // Opens and decodes a file; throws KelvarinError naming it on failure.
    static QImage load(const QString &path);
};

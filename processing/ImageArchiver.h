#pragma once

#include <QString>

// Packs one image into an archive and removes it from its directory. The
// watch's disposal knows only this interface; the external "zip" is one
// implementation and tests put their own in its place.
class ImageArchiver
{
public:
    virtual ~ImageArchiver() = default;
    // Empty when the image is in the archive and gone from its directory;
    // otherwise the reason, as a phrase that completes "Файл не заархивирован: ".
    virtual QString archive(const QString &archivePath, const QString &imagePath) = 0;
};

#include "BitmapPicture.h"

#include "BitmapFile.h"

QImage BitmapPicture::toImage(BitmapFile &file)
{
    if (!file.isOpen())
        return {};
    QImage image(file.width(), file.height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    file.readRgb32(reinterpret_cast<quint32 *>(image.bits()), image.bytesPerLine() / 4);
    return image;
}

QImage BitmapPicture::load(const QString &path)
{
    BitmapFile file;
    file.open(path);
    return toImage(file);
}

#pragma once

#include <QString>
#include <QStringList>

// The images a command works on: files as given, and for a directory its
// images (*.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg, the extension in any
// case) in name order without regard to case. The extension only picks the
// files; their reader is chosen by their content.
class ImageList
{
public:
    static QStringList expand(const QStringList &paths);
    // The images of a directory; with `others`, also the paths of its other
    // files, in no particular order.
    static QStringList imagesIn(const QString &directory, QStringList *others = nullptr);
    // Whether a file or archive entry name has the extension of a supported picture.
    static bool isImageName(const QString &name);
    // Name order without regard to case; names equal but for case keep a fixed order.
    static bool lessByName(const QString &a, const QString &b);
};

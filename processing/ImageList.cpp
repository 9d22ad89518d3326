#include "ImageList.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

bool ImageList::lessByName(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

bool ImageList::isImageName(const QString &name)
{
    static const QLatin1String extensions[] = {QLatin1String(".bmp"), QLatin1String(".png"), QLatin1String(".tif"),
                                               QLatin1String(".tiff"), QLatin1String(".jpg"), QLatin1String(".jpeg")};
    for (const QLatin1String &extension : extensions) {
        if (name.endsWith(extension, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QStringList ImageList::imagesIn(const QString &directory, QStringList *others)
{
    QDir dir(directory);
    // Unreadable files are listed too: left out, they would be passed over in
    // silence, where reading them reports the failure.
    // The extension is compared here rather than by a name filter, which
    // would compile a regular expression for every listing. Without regard
    // to case, so .BMP and .Png are in too.
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeIf([&](const QString &name) {
        const bool image = isImageName(name);
        if (!image && others)
            *others << dir.filePath(name);
        return !image;
    });
    std::sort(names.begin(), names.end(), lessByName);
    QStringList paths;
    for (const QString &name : names)
        paths << dir.filePath(name);
    return paths;
}

QStringList ImageList::expand(const QStringList &paths)
{
    QStringList images;
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir())
            images << imagesIn(path);
        else
            images << path;
    }
    return images;
}

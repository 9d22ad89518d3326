#include "HandOffFile.h"

#include "AtomicFile.h"
#include "PointsFile.h"

#include <QDir>

// The path's length without the extension of a picture other than a bitmap
// (in any case, as directories list them); -1 when it has none.
static qsizetype withoutPictureExtension(const QString &path)
{
    for (const char *extension : {".png", ".tif", ".tiff", ".jpg", ".jpeg"}) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return path.size() - qsizetype(qstrlen(extension));
    }
    return -1;
}

QString HandOffFile::fileName(const QString &imagePath)
{
    const QString suffix = QStringLiteral("$tmp.crd");
    qsizetype stem = imagePath.indexOf(QLatin1String(".bmp"), 0, Qt::CaseSensitive);
    if (stem < 0)
        stem = withoutPictureExtension(imagePath);
    if (stem < 0)
        return QDir::current().absoluteFilePath(suffix);
    return QDir::current().absoluteFilePath(imagePath.left(stem) + suffix);
}

QByteArray HandOffFile::contents(const QList<TZoneInfo> &zones)
{
    QList<QPointF> points;
    for (const TZoneInfo &zone : zones) {
        if (!zone.points.isEmpty())
            points << QPointF(zone.points.constLast().x, zone.points.constLast().y);
    }
    return PointsFile::format(points);
}

QString HandOffFile::write(const QList<TZoneInfo> &zones, const QString &imagePath)
{
    const QString name = fileName(imagePath);
    AtomicFile::writeOrThrow(name, contents(zones));
    return name;
}

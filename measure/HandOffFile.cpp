#include "HandOffFile.h"

#include "AtomicFile.h"
#include "PointsFile.h"

#include <QDir>

QString HandOffFile::fileName(const QString &imagePath)
{
    const QString suffix = QStringLiteral("$tmp.crd");
    const qsizetype bmp = imagePath.indexOf(QLatin1String(".bmp"), 0, Qt::CaseSensitive);
    if (bmp < 0)
        return QDir::current().absoluteFilePath(suffix);
    return QDir::current().absoluteFilePath(imagePath.left(bmp) + suffix);
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

#include "JournalValues.h"

#include "IsoTime.h"

#include <QFileInfo>
#include <QStringList>

QString JournalValues::fateName(TRecordedImage::Fate fate)
{
    switch (fate) {
    case TRecordedImage::Fate::Processed: return QStringLiteral("processed");
    case TRecordedImage::Fate::Archived: return QStringLiteral("archived");
    case TRecordedImage::Fate::Moved: return QStringLiteral("moved");
    case TRecordedImage::Fate::SetAside: return QStringLiteral("set_aside");
    }
    return {};
}

QString JournalValues::rejectionName(TZoneMeasurement::Rejection rejection)
{
    switch (rejection) {
    case TZoneMeasurement::Rejection::None: return {};
    case TZoneMeasurement::Rejection::Mean: return QStringLiteral("mean");
    case TZoneMeasurement::Rejection::MinArea: return QStringLiteral("min_area");
    case TZoneMeasurement::Rejection::MaxArea: return QStringLiteral("max_area");
    case TZoneMeasurement::Rejection::NoWeight: return QStringLiteral("no_weight");
    }
    return {};
}

QString JournalValues::imageName(const TRecordedImage &image)
{
    const QString name = QFileInfo(image.path).fileName();
    const qsizetype zip = image.storedAs.lastIndexOf(QLatin1String(".zip:"));
    if (image.fate != TRecordedImage::Fate::Archived || zip < 0)
        return name;
    return QFileInfo(image.storedAs.left(zip + 4)).fileName() + QLatin1Char(':') + image.storedAs.mid(zip + 5);
}

QVariant JournalValues::text(const QString &value)
{
    return QVariant(value.isNull() ? QStringLiteral("") : value);
}

QString JournalValues::measurementsInsert(int rows)
{
    QStringList values;
    for (int r = 0; r < rows; ++r)
        values << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return QStringLiteral("INSERT INTO measurements (image_id, zone, found, x, y, dx, dy, maximum, threshold, area, "
                          "mean, rejection, spots, sx, sy) VALUES ")
         + values.join(QStringLiteral(", "));
}

QVariant JournalValues::nullable(bool present, double value)
{
    return present ? QVariant(value) : QVariant(QMetaType(QMetaType::Double));
}

QVariant JournalValues::timeValue(const QDateTime &time)
{
    return time.isValid() ? QVariant(IsoTime::utcText(time)) : QVariant(QMetaType(QMetaType::QString));
}

QDateTime JournalValues::parseTime(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

#pragma once

#include "TMeasurementRecorder.h"
#include "TZoneMeasurement.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// How the journal writes and reads its values: the names of an image's fate
// and of a rejection, an image's name in the export, and the columns' values.
namespace JournalValues {

QString fateName(TRecordedImage::Fate fate);
QString rejectionName(TZoneMeasurement::Rejection rejection);
// The name an image has in the export: its file name, or
// "archive.zip:entry" once it went into an archive.
QString imageName(const TRecordedImage &image);
// A text column: an empty text, never NULL (Qt binds a null QString as NULL).
QVariant text(const QString &value);
// A number that is NULL when there is none.
QVariant nullable(bool present, double value);
// A time column as written: ISO 8601 in UTC with milliseconds (a timestamptz
// on PostgreSQL takes the text as it is); NULL for an invalid time.
QVariant timeValue(const QDateTime &time);
// The statement inserting `rows` zone rows of the measurements table, one
// "?" per column, in the order both writers bind them.
QString measurementsInsert(int rows);
// The zone rows one statement inserts at most.
constexpr int MeasurementsPerInsert = 64;
// A time column as read (a text on SQLite, a time on PostgreSQL); invalid for NULL.
QDateTime parseTime(const QVariant &value);

} // namespace JournalValues

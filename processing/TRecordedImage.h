#pragma once

#include "TZoneMeasurement.h"

#include <QDateTime>
#include <QList>
#include <QString>

class TPointFinder;
struct TZoneInfo;

// One image as it was measured: built once, where it is measured, and handed
// as it is to the journal, the monitoring and the window. Where it came from,
// what became of it, its number in the coordinate files and what detection
// saw in every zone, with the zone's displacement from its origin.
struct TRecordedImage
{
    enum class Fate { Processed, Archived, Moved, SetAside };

    QString path;             // where the image was read
    QDateTime modified;       // the file's modification time and size when it was read
    qint64 size = -1;
    Fate fate = Fate::Processed;
    QString storedAs;         // "archive.zip:entry", the moved copy or the set-aside file; empty when in place
    QString detail;           // why it was set aside
    int number = 0;           // its point number in the coordinate files; 0 when it added no points
    QDateTime processedAt = QDateTime::currentDateTime();
    QList<TZoneMeasurement> zones;  // one per zone, in zone order; empty when detection failed

    // What is known of the file before anything is done with it.
    static TRecordedImage of(const QString &path);

    // What the finder just measured: the image's number (the length of the
    // zones' series, which the image has just grown), and every zone's
    // measurement with its displacement from the zone's origin.
    void takeMeasurements(const TPointFinder &finder);
    void takeMeasurements(const QList<TZoneInfo> &zones, const QList<TZoneMeasurement> &measured);

    // The file name the user knows it by.
    QString name() const;
    // The time the image stands for: its file's, else when it was processed.
    QDateTime imageTime() const { return modified.isValid() ? modified : processedAt; }
    // How many zones found their target.
    int foundCount() const;
};

#pragma once

#include "TZoneMeasurement.h"

#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QString>

struct TParameters;
struct TZoneInfo;

// One image as a run hands it to the recorder: where it came from, what became
// of it and what detection saw in every zone.
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
    QList<TZoneMeasurement> zones;  // one per zone; empty when detection failed

    // What is known of the file before anything is done with it.
    static TRecordedImage of(const QString &path)
    {
        TRecordedImage image;
        const QFileInfo info(path);
        image.path = info.absoluteFilePath();
        image.modified = info.lastModified();
        image.size = info.exists() ? info.size() : -1;
        return image;
    }
};

// Where a run reports what it measured, image by image, beside its result
// files (the measurement journal). A recorder never throws and never stops a
// run: it keeps its own failure for the end of the run.
class TMeasurementRecorder
{
public:
    virtual ~TMeasurementRecorder() = default;

    // kind: "manual", "scheduled", "watch" or "cli"; base may still be empty.
    virtual void beginRun(const QString &kind, const QString &base, const TParameters &params,
                          const QList<TZoneInfo> &zones) = 0;
    virtual void recordImage(const TRecordedImage &image) = 0;
    // What became of an image recorded earlier in the run, once a later try
    // archived or moved it: its path names it; fate and storedAs are new.
    virtual void recordLaterFate(const TRecordedImage &image) = 0;
    // The run's last image has been handed over and its result files are
    // about to be written: a recorder may tidy up meanwhile. endRun() follows.
    virtual void imagesEnded() {}
    // The base the results went under (empty when they were not saved).
    virtual void endRun(const QString &base) = 0;
};

#pragma once

#include "TRecordedImage.h"

#include <QList>
#include <QString>

struct TParameters;
struct TZoneInfo;

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

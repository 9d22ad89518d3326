#pragma once

#include "TZoneInfo.h"
#include "TZoneMeasurement.h"

#include <QList>
#include <QString>

#include <functional>

struct TParameters;
class TPointFinder;

// Detection on many images at once, one finder per job, with the results
// handed back in image order: whatever the number of jobs, the caller sees the
// same sequence of results as from one finder working through the images, so
// the coordinate files come out byte for byte the same.
//
// Every job has its own finder (image, raster, buffers) with a copy of the
// zones, and keeps at most a few images' results ahead of the caller, so memory
// stays bounded by the number of jobs, not by the number of images.
class ParallelMeasuring
{
public:
    // One image's outcome: what detection saw in every zone, or why it failed.
    struct Image
    {
        QList<TZoneMeasurement> measured;
        QString error; // empty when the image was measured
    };

    // Measures images 0..count-1. `measure` runs detection of one image on a
    // job's finder (it throws KelvarinError when the image cannot be read);
    // `deliver` gets every image on the calling thread, in order, and returns
    // false to end the run (no later image is delivered; images under way are
    // finished and dropped).
    static void run(int count, int jobs, const TParameters &params, const QList<TZoneInfo> &zones,
                    const std::function<void(TPointFinder &, int)> &measure,
                    const std::function<bool(int, const Image &)> &deliver);

    // The number of jobs "as many as there are cores" means: at least 1.
    static int defaultJobs();

    // Results a job may keep ahead of the caller.
    static constexpr int AheadPerJob = 4;
};

#pragma once

#include <QString>

class TMeasurementRecorder;
class TPointFinder;
struct TParameters;

// Calibration of the brightness threshold, the same for the window's
// "Калибровка порога яркости" and the tool's calibrate command: the reference
// image is measured with the zones in force, and the recommended threshold is
// the mean spot brightness over the zones times GlobalAverageYPercent, cut to
// an integer (TPointFinder::RecommendThreshold).
class ThresholdCalibration
{
public:
    // Measures `referenceImage` (an empty name measures nothing, as when no
    // image is chosen) from a fresh sum and returns the recommended threshold.
    // Throws KelvarinError when the image cannot be read, there is no zone, or
    // the value is beyond an integer.
    static int recommend(TPointFinder &finder, const QString &referenceImage);
    // The same, and the measurement goes to the journal as a run of one image
    // ("calibrate", without results) when a recorder is given and an image is.
    static int recommend(TPointFinder &finder, const QString &referenceImage, const TParameters &params,
                         TMeasurementRecorder *recorder);

    // Whether a recommendation can be made at all, checked before any work:
    // throws KelvarinError ("Нет ни одной зоны...") when there is no zone.
    static void checkZones(const TPointFinder &finder);
};

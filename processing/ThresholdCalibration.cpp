#include "ThresholdCalibration.h"

#include "TPointFinder.h"

int ThresholdCalibration::recommend(TPointFinder &finder, const QString &referenceImage)
{
    // The sum of the zones' spot means starts afresh: it is of this image only.
    finder.SpotMeanSum = 0;
    if (!referenceImage.isEmpty())
        finder.ProcessImage(referenceImage);
    return finder.RecommendThreshold();
}

void ThresholdCalibration::checkZones(const TPointFinder &finder)
{
    finder.RecommendThreshold();
}

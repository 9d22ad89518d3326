#include "ThresholdCalibration.h"

#include "TMeasurementRecorder.h"
#include "TPointFinder.h"

#include <QScopeGuard>

int ThresholdCalibration::recommend(TPointFinder &finder, const QString &referenceImage)
{
    // The sum of the zones' spot means starts afresh: it is of this image only.
    finder.SpotMeanSum = 0;
    if (!referenceImage.isEmpty())
        finder.ProcessImage(referenceImage);
    return finder.RecommendThreshold();
}

int ThresholdCalibration::recommend(TPointFinder &finder, const QString &referenceImage, const TParameters &params,
                                    TMeasurementRecorder *recorder)
{
    if (!recorder || referenceImage.isEmpty())
        return recommend(finder, referenceImage);
    // Without zones nothing is measured, and the journal gets no empty run.
    checkZones(finder);
    TRecordedImage image = TRecordedImage::of(referenceImage);
    recorder->beginRun(QStringLiteral("calibrate"), QString(), params, finder.zones());
    // An image that cannot be read still ends its run.
    const auto endRun = qScopeGuard([recorder] { recorder->endRun(QString()); });
    const int recommended = recommend(finder, referenceImage);
    image.takeMeasurements(finder);
    // The calibration's run holds this one image, whatever the zones held before.
    image.number = 1;
    recorder->recordImage(image);
    return recommended;
}

void ThresholdCalibration::checkZones(const TPointFinder &finder)
{
    finder.RecommendThreshold();
}

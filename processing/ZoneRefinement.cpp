#include "ZoneRefinement.h"

#include "TParameters.h"
#include "TPointFinder.h"

void ZoneRefinement::measure(TPointFinder &finder, const QString &referenceImage)
{
    if (!referenceImage.isEmpty())
        finder.ProcessImage(referenceImage);
}

bool ZoneRefinement::save(TPointFinder &finder, TParameters &settings, const QString &target)
{
    finder.WriteZoneFile(target);
    settings.ZonesFileName = target;
    // Reading back drops the points found: the origins are now in the file.
    return finder.ReadZoneFile(target);
}

#pragma once

#include <QString>

class TParameters;
class TPointFinder;

// Zone refinement, "Уточнить и сохранить зоны": the zones are measured on a
// reference image and saved with the first point found in each as its origin
// (a zone without a point keeps no origin); the file saved becomes the zone
// file in force and is read back, so the zones in use are exactly those of
// the file.
class ZoneRefinement
{
public:
    // Measures the reference image with the zones in force, adding one point
    // to each zone; an empty name measures nothing (no image chosen). Throws
    // KelvarinError when the image cannot be read.
    static void measure(TPointFinder &finder, const QString &referenceImage);

    // Writes the zones to `target`, makes it the settings' zone file and reads
    // it back. Returns whether it was read back (a failed reading is reported
    // by the finder itself). Throws KelvarinError "Ошибка сохранения файла
    // зон!", changing neither the settings nor the zones, when the file cannot
    // be written.
    static bool save(TPointFinder &finder, TParameters &settings, const QString &target);
};

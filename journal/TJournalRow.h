#pragma once

#include <QDateTime>
#include <QString>

#include <cmath>
#include <limits>

// One run as the journal lists it.
struct TJournalRun
{
    qint64 id = 0;
    QString kind;        // "manual", "scheduled", "watch", "cli"
    QString base;        // the results' base name (path without "_N.crd")
    QDateTime start;
    QDateTime end;       // invalid while the run is still going
    int images = 0;
    QString station;     // the station that ran it (its settings' Station, else its host name)
};

// One zone of one image of a run: what the export writes as a row and what the
// displacement charts draw. Coordinates are meaningful only when found.
struct TJournalRow
{
    qint64 runId = 0;
    QString station;         // the station of the run
    QString base;
    int number = 0;          // the point number of the coordinate files (1-based)
    QString image;           // file name, or "archive.zip:entry" for an archived image
    QDateTime imageTime;     // the image file's modification time
    QDateTime processedAt;
    int zone = 0;            // 1-based, as in the coordinate file names
    bool found = false;
    bool hasOrigin = false;  // dx, dy are meaningful only when the zone has an origin
    double x = -1;
    double y = -1;
    double dx = 0;           // x - X0
    double dy = 0;           // y - Y0
    int area = 0;
    double mean = 0;
    double maximum = 0;
    double threshold = 0;
    // The spot's figures, where the journal has them (NaN, -1 where it has
    // none: an older journal, or a program that did not measure them): the
    // centre's standard uncertainty in pixels, and how many spots above the
    // threshold the zone held.
    double sx = std::numeric_limits<double>::quiet_NaN();
    double sy = std::numeric_limits<double>::quiet_NaN();
    int spots = -1;

    bool hasUncertainty() const { return !std::isnan(sx) && !std::isnan(sy); }
};

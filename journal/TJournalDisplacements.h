#pragma once

#include "TJournalRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The displacement of a run's zones as the charts read it: each image once,
// and for every zone its dx and dy per image in contiguous arrays (NaN where
// the image has no value: the target was not found or the zone has no
// origin), with the centre's uncertainty and the zone's spot count beside
// them. A run of 100,000 images of 16 zones is some 40 MB this way, and
// reading it costs no object per measurement.
struct TJournalDisplacements
{
    struct Image
    {
        int number = 0;
        QString name;
        QDateTime time; // the image file's modification time, else when it was processed
    };
    struct Zone
    {
        int zone = 0;
        QList<double> dx; // by image index
        QList<double> dy;
        // The centre's uncertainty in pixels where dx, dy have a value and the
        // journal has one (else NaN): single precision is plenty for it.
        QList<float> sx;
        QList<float> sy;
        QList<qint16> spots; // spots above the threshold; -1 where not known
    };

    QList<Image> images; // in the order they were measured
    QList<Zone> zones;   // in the order they were first met

    // The zone's arrays, made (NaN for every image so far) when it is new.
    Zone &zone(int number);
    // Gives every zone a value slot (NaN) for every image.
    void fillZones();
    // A journal's spot count as the arrays hold it (-1 for none, large ones cut).
    static qint16 spotCount(qint64 spots);
    // The rows of whole images (those of one image together, any order of zones).
    static TJournalDisplacements fromRows(const QList<TJournalRow> &rows);

private:
    QList<int> m_slotOfZone; // zone number -> index in zones + 1, for small numbers
};

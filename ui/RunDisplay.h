#pragma once

#include "TZoneInfo.h"
#include "TZoneMeasurement.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <memory>

class BitmapFile;
class PictureBox;
class QPainter;

// The image area while several jobs measure a run with "Показывать" on: each
// image the run hands over is shown with its zones and found points, cheaply
// enough to keep up with the jobs.
//
// The picture of the image before is written over in place (no fresh memory
// for each image), and only what the view shows of the new one is decoded, at
// the scale it is shown (a view below 100 % gets a reduced picture). Parts
// scrolled into view (or uncovered by a larger window) are decoded when they
// appear; the window loads the last image in full when the run ends. On the overlay, the
// crosses of the image before are wiped and the zones under them redrawn
// instead of redrawing the whole overlay.
class RunDisplay
{
public:
    RunDisplay(PictureBox *picture, PictureBox *overlay);
    ~RunDisplay();

    // Shows an open image in place of the one shown, and keeps it. False,
    // showing nothing, when the view holds no image of this size: the caller
    // then loads it in full (and calls markPoints).
    bool show(BitmapFile &&image, const QList<TZoneInfo> &zones, const QList<TZoneMeasurement> &measured,
              int zoomPercent);
    // The image show() showed in part, if any: the view's picture is made
    // whole (the image's full size, decoded in place), and the image handed
    // back to become the window's current one. The caller keeps the picture
    // if it wants it: sharing it makes the next show() copy it.
    bool hasPartImage() const { return m_image != nullptr; }
    // Decodes what came into view of the image shown in part since it was
    // shown, so that the view never shows a part of the image before.
    void showUncoveredPart();
    BitmapFile complete();
    // Draws the found points of an image loaded in full and remembers them
    // for wiping.
    void markPoints(const QList<TZoneInfo> &zones, const QList<TZoneMeasurement> &measured, int zoomPercent);
    // The overlay was redrawn whole: nothing is left to wipe.
    void forgetPoints() { m_points.clear(); }

private:
    QRect visiblePart(QSize pictureSize) const;
    void wipePoints(const QList<TZoneInfo> &zones, int zoomPercent);

    void decode(const QRect &part);

    std::unique_ptr<BitmapFile> m_image; // shown in part
    QRegion m_decoded;                   // the picture's pixels decoded from it
    QSize m_decodedSize;                 // the picture's size then
    PictureBox *m_picture;
    PictureBox *m_overlay;
    QList<QPoint> m_points; // crosses on the overlay, in image pixels
};

#pragma once

#include <QString>

// The view hooks the engine calls while it loads and processes an image. The
// main window carries them out on its picture; the headless tool keeps the
// defaults, which show nothing and go on at every step.
class TFinderHost
{
public:
    virtual ~TFinderHost() = default;

    // A new image was loaded: prepare the view, show the image when `show`.
    virtual void ShowImage(bool show) { Q_UNUSED(show); }
    // Once per image after the raster is filled, when not stepping.
    virtual void HideOverlay() {}
    // Step-by-step mode: show the mask of the zone just binarised.
    virtual void ShowMask() {}
    // Step-by-step mode: the zone's figures; false (Cancel) stops the image.
    virtual bool ConfirmStep(const QString &text) { Q_UNUSED(text); return true; }
    // Step-by-step mode: the zone's centre of gravity.
    virtual void ShowNotice(const QString &text) { Q_UNUSED(text); }
    // A point was found at these image pixels.
    virtual void MarkPoint(int x, int y) { Q_UNUSED(x); Q_UNUSED(y); }
    // The image is done (when visualisation is on).
    virtual void EndImage() {}
    // Redraw the zones and their origins over the image.
    virtual void DrawZoneOverlay() {}
};

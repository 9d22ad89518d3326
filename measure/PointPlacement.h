#pragma once

#include <QPoint>

class PlacementHost;
class PointMarkers;

// The mouse gestures over the measurement window's image, as a state machine
// apart from any widget. A left click on empty space places a point (after the
// magnifier's modal phase when it is shown) and makes it active; a click on a
// point asks for its new number; Ctrl held at the release deletes the point
// under the mouse. Positions are whole image pixels; the magnifier's fine
// offset is added to where a point is placed, never to the hit test.
class PointPlacement
{
public:
    enum Button { NoButton = 0, LeftButton = 1, RightButton = 2, MiddleButton = 4 };

    // The buttons held (at a press including the pressed one, at a release
    // without the released one) and whether Ctrl is held.
    struct Shift
    {
        int buttons = NoButton;
        bool ctrl = false;
    };

    PointPlacement(PointMarkers &markers, PlacementHost &host);

    void mouseMove(Shift shift, int x, int y);
    void mouseDown(Button button, Shift shift, int x, int y);
    // A renumber answer that is no integer throws KelvarinError with the text
    // to show; the gesture has ended by then and the list is unchanged.
    void mouseUp(Button button, Shift shift, int x, int y);

    // Ends any gesture in progress (an image opened, points loaded).
    void reset();

    bool pressPending() const { return m_pressPending; }
    bool renumberPending() const { return m_renumberPending; }
    // The last position over the image; x = -1 before the first move.
    QPoint lastMouse() const { return m_lastMouse; }

private:
    QPointF measured(int x, int y) const;
    void placeStatus(int x, int y);
    void releasePress(bool ctrl, int x, int y);
    void renumber();

    PointMarkers &m_markers;
    PlacementHost &m_host;
    bool m_pressPending = false;
    bool m_renumberPending = false;
    QPoint m_lastMouse{-1, 0};
};

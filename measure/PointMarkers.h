#pragma once

#include "SharedListOfT.h"
#include "TPoint2.h"
#include "TSharedInt.h"

class MarkerCanvas;

// The points of one measurement window with their marker settings: an ordered
// list whose positions are the point numbers (position + 1), the active point,
// the point under the mouse, the hit test, and the edits that keep the active
// index on the same point. Every edit tells the canvas which markers to erase
// before and which to draw after it; without a canvas the edits only change
// the list.
class PointMarkers
{
public:
    static constexpr int DefaultActiveColor = 255;         // red
    static constexpr int DefaultPassiveColor = 16711680;   // blue
    static constexpr int DefaultCrossSize = 8;

    PointMarkers();
    PointMarkers(const PointMarkers &) = delete;
    PointMarkers &operator=(const PointMarkers &) = delete;

    void setCanvas(MarkerCanvas *canvas) { m_canvas = canvas; }

    int Count() const { return m_points.Count(); }
    // Throws KelvarinError("Index out of bounds ListOfT::Get") for a bad index.
    const TPoint2 &point(int index) const { return *m_points.Get(index); }
    SharedListOfT<TPoint2> &list() { return m_points; }

    int ActiveIndex() const { return m_active.value; }
    int HoverIndex() const { return m_hover; }
    void setHoverIndex(int index) { m_hover = index; }

    int crossSize() const { return m_crossSize; }
    int activeColor() const { return m_activeColor; }
    int passiveColor() const { return m_passiveColor; }
    int colorOf(int index) const { return index == ActiveIndex() ? m_activeColor : m_passiveColor; }

    // Index of the point whose x and y both lie strictly closer than the cross
    // size to (X, Y); where markers overlap the highest number wins; -1 for none.
    int PointAt(int X, int Y) const;

    // Appends a point without drawing it (a new point is drawn as it becomes
    // active, loaded points by DrawAll); returns its index.
    int AddPoint(double x, double y);

    // Renumbers: the point at `from` takes position `to`, those between shift
    // one place toward `from`; the active index follows its point.
    void MovePoint(int from, int to);

    // Removes a point; later numbers drop by one. When the active point itself
    // goes, no point is active afterwards.
    void DeletePoint(int index);

    // Makes another point (or none, -1) the active one.
    void SetActive(int index);

    // Empties the list; no active point, none under the mouse. Draws nothing.
    void Clear();

    void DrawAll();
    void EraseAll();
    void DrawLabels();
    void EraseLabels();

    // New colours and cross size: every marker erased with the old settings
    // and drawn with the new ones. The size is held within 0 to 1000.
    void SetStyle(int activeColor, int passiveColor, int crossSize);

private:
    void drawMarker(int index);

    SharedListOfT<TPoint2> m_points{1};
    TSharedInt m_active{-1};
    int m_hover = -1;
    int m_activeColor = DefaultActiveColor;
    int m_passiveColor = DefaultPassiveColor;
    int m_crossSize = DefaultCrossSize;
    MarkerCanvas *m_canvas = nullptr;
};

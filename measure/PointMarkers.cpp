#include "PointMarkers.h"

#include "MarkerCanvas.h"

#include <algorithm>
#include <cmath>

PointMarkers::PointMarkers() = default;

int PointMarkers::PointAt(int X, int Y) const
{
    // Strict on both axes: a point exactly S pixels away is not hit. The loop
    // does not stop at the first hit, so the highest number wins.
    int result = -1;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const TPoint2 &p = *m_points.Get(i);
        if (std::fabs(p.x - X) < m_crossSize && std::fabs(p.y - Y) < m_crossSize)
            result = i;
    }
    return result;
}

int PointMarkers::AddPoint(double x, double y)
{
    auto *p = new TPoint2{x, y};
    try {
        m_points.Add(p);
    } catch (...) {
        delete p;
        throw;
    }
    return Count() - 1;
}

void PointMarkers::MovePoint(int from, int to)
{
    m_points.Get(from);
    m_points.Get(to);
    const int d = to < from ? -1 : 1;
    int &a = m_active.value;
    if (a == from)
        a = to;
    else if (a == to || (from < a && a < to) || (to < a && a < from))
        a -= d;

    // The points stay where they are in memory; their coordinates travel, so
    // only the labels between the two positions change.
    const TPoint2 kept = *m_points.Get(from);
    for (int k = from; k != to; k += d) {
        if (m_canvas)
            m_canvas->EraseLabel(k);
        *m_points.Get(k) = *m_points.Get(k + d);
    }
    if (m_canvas)
        m_canvas->EraseLabel(to);
    *m_points.Get(to) = kept;

    if (m_canvas) {
        for (int k = std::min(from, to); k <= std::max(from, to); ++k)
            m_canvas->DrawLabel(k, k == ActiveIndex());
    }
}

void PointMarkers::DeletePoint(int index)
{
    m_points.Get(index);
    if (m_canvas) {
        for (int k = index; k < Count(); ++k)
            m_canvas->EraseLabel(k);
        m_canvas->EraseCross(index);
    }
    m_points.Delete(index);
    int &a = m_active.value;
    if (a > index)
        --a;
    else if (a == index)
        a = -1;
    if (m_hover >= Count())
        m_hover = -1;
    if (m_canvas) {
        for (int k = index; k < Count(); ++k)
            drawMarker(k);
    }
}

void PointMarkers::SetActive(int index)
{
    if (index != -1)
        m_points.Get(index);
    const int old = ActiveIndex();
    if (old != -1 && m_canvas) {
        m_canvas->DrawCross(old, false);
        m_canvas->DrawLabel(old, false);
    }
    m_active.value = index;
    if (index != -1 && m_canvas) {
        m_canvas->DrawCross(index, true);
        m_canvas->DrawLabel(index, true);
    }
}

void PointMarkers::Clear()
{
    m_points.Clear();
    m_active.value = -1;
    m_hover = -1;
}

void PointMarkers::drawMarker(int index)
{
    m_canvas->DrawCross(index, index == ActiveIndex());
    m_canvas->DrawLabel(index, index == ActiveIndex());
}

void PointMarkers::DrawAll()
{
    if (!m_canvas)
        return;
    for (int i = 0; i < Count(); ++i)
        drawMarker(i);
}

void PointMarkers::EraseAll()
{
    if (!m_canvas)
        return;
    for (int i = 0; i < Count(); ++i) {
        m_canvas->EraseLabel(i);
        m_canvas->EraseCross(i);
    }
}

void PointMarkers::DrawLabels()
{
    if (!m_canvas)
        return;
    for (int i = 0; i < Count(); ++i)
        m_canvas->DrawLabel(i, i == ActiveIndex());
}

void PointMarkers::EraseLabels()
{
    if (!m_canvas)
        return;
    for (int i = 0; i < Count(); ++i)
        m_canvas->EraseLabel(i);
}

void PointMarkers::SetStyle(int activeColor, int passiveColor, int crossSize)
{
    EraseAll();
    m_activeColor = activeColor;
    m_passiveColor = passiveColor;
    m_crossSize = std::clamp(crossSize, 0, 1000);
    DrawAll();
}

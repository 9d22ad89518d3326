#pragma once

// Where the point list shows its markers. The list calls the erase operations
// while a marker still looks as it was drawn (old number, position, size and
// font) and the draw operations once the change is made, so a canvas may
// repaint exactly the pixels that change.
class MarkerCanvas
{
public:
    virtual ~MarkerCanvas() = default;

    virtual void DrawCross(int index, bool active) = 0;
    virtual void EraseCross(int index) = 0;
    virtual void DrawLabel(int index, bool active) = 0;
    virtual void EraseLabel(int index) = 0;
};

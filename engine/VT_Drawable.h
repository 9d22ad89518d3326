#pragma once

#include <QtGlobal>

// Where a drawable item paints itself: a filled rectangle in a colour value
// (red in the lowest byte). Windows adapt a painter to it.
class VT_Canvas
{
public:
    virtual ~VT_Canvas() = default;
    virtual void fillRect(int left, int top, int right, int bottom, quint32 colour) = 0;
};

// Abstract base of the items a view can draw: a colour and its bounds.
class VT_Drawable
{
public:
    virtual ~VT_Drawable() = default;

    virtual void Draw(VT_Canvas &canvas, int a, int b, double sa, double sb) const = 0;
    virtual double GetTop() const = 0;
    virtual double GetBottom() const = 0;
    virtual double GetLeft() const = 0;
    virtual double GetRight() const = 0;

    quint32 colour = 0;

protected:
    VT_Drawable() = default;
    VT_Drawable(const VT_Drawable &) = default;
    VT_Drawable &operator=(const VT_Drawable &) = default;
};

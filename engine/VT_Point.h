#pragma once

#include "VT_Drawable.h"

// One found point in image pixels; (-1, -1) records that no spot was found.
class VT_Point : public VT_Drawable
{
public:
    VT_Point() = default;
    VT_Point(double px, double py) : x(px), y(py) {}
    // A copy takes the position only; the colour is the drawable's own.
    VT_Point(const VT_Point &other) : VT_Drawable(), x(other.x), y(other.y) {}
    VT_Point &operator=(const VT_Point &other)
    {
        x = other.x;
        y = other.y;
        return *this;
    }

    // A filled cell scaled by (sa, sb) about (a, b); the rectangle's horizontal
    // edges come from y and its vertical ones from x, as the drawing surface of
    // this item is transposed.
    void Draw(VT_Canvas &canvas, int a, int b, double sa, double sb) const override;
    double GetTop() const override { return y; }
    double GetBottom() const override { return y; }
    double GetLeft() const override { return x; }
    double GetRight() const override { return x; }

    bool isNotFound() const { return x == -1 && y == -1; }

    double x = 0;
    double y = 0;
};

#pragma once

// One found point in image pixels; (-1, -1) records that no spot was found.
struct VT_Point final
{
    VT_Point() = default;
    VT_Point(double px, double py) : x(px), y(py) {}

    bool isNotFound() const { return x == -1 && y == -1; }

    double x = 0;
    double y = 0;
};

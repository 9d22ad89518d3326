#include "VT_Point.h"

void VT_Point::Draw(VT_Canvas &canvas, int a, int b, double sa, double sb) const
{
    // Conversions to pixels truncate toward zero.
    const int left = int((y - b) * sb);
    const int top = int((x - a) * sa);
    const int right = int((y - b + 1) * sb);
    const int bottom = int((x - a + 1) * sa);
    canvas.fillRect(left, top, right, bottom, colour);
}

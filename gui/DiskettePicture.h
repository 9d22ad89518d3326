#pragma once

#include <QRectF>

class QPainter;

// The diskette of the "save" pictures, drawn once for the editor's button and
// the main window's "Сохранить координаты": dark body, metal shutter at the
// top, white label below. Drawn on a 24 by 24 canvas (scale the painter for
// another size); returns the label's rectangle for the caller's own marks.
class DiskettePicture
{
public:
    static QRectF draw(QPainter &painter);
};

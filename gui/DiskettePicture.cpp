#include "DiskettePicture.h"

#include <QPainter>
#include <QPainterPath>

QRectF DiskettePicture::draw(QPainter &p)
{
    const QColor body(0x2f, 0x5b, 0xa3);
    QPainterPath outline;
    outline.moveTo(3, 3);
    outline.lineTo(18, 3);
    outline.lineTo(21, 6);
    outline.lineTo(21, 21);
    outline.lineTo(3, 21);
    outline.closeSubpath();
    p.save();
    p.setPen(QPen(QColor(0x1f, 0x3a, 0x68), 1));
    p.setBrush(body);
    p.drawPath(outline);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xdd, 0xe4));
    p.drawRect(QRectF(7, 3.5, 9, 6));
    p.setBrush(body);
    p.drawRect(QRectF(12.5, 4.5, 2, 4));
    const QRectF label(6, 12, 12, 8);
    p.setBrush(Qt::white);
    p.drawRoundedRect(label, 1, 1);
    p.restore();
    return label;
}

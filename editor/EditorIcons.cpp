#include "EditorIcons.h"

#include "DiskettePicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

enum class Badge { None, Plus, Minus, Cross };
enum class Highlight { None, Middle, Bottom };

static const QColor kGreen(0x2e, 0x9d, 0x3a);
static const QColor kRed(0xd0, 0x33, 0x2b);
static const QColor kLines(0x8a, 0x94, 0xa6);

// Paints on a 24 by 24 canvas, rendered at the plain and the doubled size so
// the picture stays sharp on high-density screens.
static QIcon drawn(const std::function<void(QPainter &)> &paint)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(24 * scale, 24 * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A small table: a header band and three rows, one of which may be marked.
static void drawSheet(QPainter &p, Highlight highlight, bool withRows = true)
{
    const QRectF sheet(2.5, 3.5, 17, 17);
    p.setPen(QPen(kLines, 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.fillRect(QRectF(3, 4, 16, 4), QColor(0xc9, 0xd6, 0xea));
    if (highlight != Highlight::None) {
        const qreal top = highlight == Highlight::Middle ? 12 : 16;
        p.fillRect(QRectF(3, top, 16, 4), QColor(0xff, 0xe0, 0x82));
    }
    if (!withRows)
        return;
    p.setPen(QPen(kLines, 1));
    for (qreal y : {8.5, 12.5, 16.5})
        p.drawLine(QPointF(3, y), QPointF(19, y));
    p.drawLine(QPointF(7.5, 4), QPointF(7.5, 20));
}

static void drawBadge(QPainter &p, Badge badge, QPointF centre)
{
    if (badge == Badge::None)
        return;
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(badge == Badge::Plus ? kGreen : kRed);
    p.drawEllipse(centre, 5.5, 5.5);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    const qreal r = 2.5;
    if (badge == Badge::Cross) {
        p.drawLine(centre + QPointF(-r + 0.5, -r + 0.5), centre + QPointF(r - 0.5, r - 0.5));
        p.drawLine(centre + QPointF(-r + 0.5, r - 0.5), centre + QPointF(r - 0.5, -r + 0.5));
        return;
    }
    p.drawLine(centre + QPointF(-r, 0), centre + QPointF(r, 0));
    if (badge == Badge::Plus)
        p.drawLine(centre + QPointF(0, -r), centre + QPointF(0, r));
}

QIcon EditorIcons::save()
{
    return drawn([](QPainter &p) {
        const QRectF label = DiskettePicture::draw(p);
        p.setPen(QPen(kLines, 1));
        p.drawLine(QPointF(label.left() + 2, label.top() + 3), QPointF(label.right() - 2, label.top() + 3));
        p.drawLine(QPointF(label.left() + 2, label.top() + 5.5), QPointF(label.right() - 2, label.top() + 5.5));
    });
}

QIcon EditorIcons::insertRow()
{
    return drawn([](QPainter &p) {
        drawSheet(p, Highlight::Middle);
        drawBadge(p, Badge::Plus, {17.5, 14});
    });
}

QIcon EditorIcons::appendRow()
{
    return drawn([](QPainter &p) {
        drawSheet(p, Highlight::Bottom);
        drawBadge(p, Badge::Plus, {17.5, 17.5});
    });
}

QIcon EditorIcons::deleteRow()
{
    return drawn([](QPainter &p) {
        drawSheet(p, Highlight::Middle);
        drawBadge(p, Badge::Minus, {17.5, 14});
    });
}

QIcon EditorIcons::clearTable()
{
    return drawn([](QPainter &p) {
        drawSheet(p, Highlight::None, false);
        drawBadge(p, Badge::Cross, {17.5, 17.5});
    });
}

QIcon EditorIcons::window()
{
    return drawn([](QPainter &p) { drawSheet(p, Highlight::None); });
}

// Draws the main window's pictures into the resources folder: the image list of
// eleven 22 x 22 tool pictures, the program icon in every size the desktop
// asks for, and the splash picture. Run by hand after changing a picture:
//
//   cmake --build BUILD --target kelvarin_draw_pictures
//   QT_QPA_PLATFORM=offscreen BUILD/ui/kelvarin_draw_pictures ui/resources

#include "DiskettePicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

namespace {

const int Size = 22;
const QColor Ink(40, 44, 52);
const QColor ZoneRed(220, 30, 30);
const QColor OriginBlue(30, 80, 220);

void about(QPainter &p)
{
    p.setPen(QPen(QColor(20, 70, 150), 1));
    QRadialGradient fill(QPointF(8, 7), 14);
    fill.setColorAt(0, QColor(110, 170, 240));
    fill.setColorAt(1, QColor(35, 100, 200));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 19, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(9.5, 4.5, 3, 3));
    p.drawRoundedRect(QRectF(9.5, 9, 3, 8.5), 1, 1);
}

void settings(QPainter &p)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const double angle = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? 9.8 : 7.2;
        const QPointF pt(11 + r * std::cos(angle), 11 + r * std::sin(angle));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(11, 11), 3, 3);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient fill(0, 0, 22, 22);
    fill.setColorAt(0, QColor(190, 195, 205));
    fill.setColorAt(1, QColor(110, 115, 128));
    p.setPen(QPen(QColor(70, 74, 84), 1));
    p.setBrush(fill);
    p.drawPath(gear);
}

void help(QPainter &p)
{
    p.setPen(QPen(QColor(20, 110, 60), 1));
    QRadialGradient fill(QPointF(8, 7), 14);
    fill.setColorAt(0, QColor(110, 210, 140));
    fill.setColorAt(1, QColor(30, 150, 80));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 19, 19));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1, 1, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
}

void saveCoordinates(QPainter &p)
{
    // The program's diskette, with a coordinate cross on its label.
    p.save();
    p.scale(Size / 24.0, Size / 24.0);
    const QRectF label = DiskettePicture::draw(p);
    p.setPen(QPen(ZoneRed, 1.2));
    p.drawLine(QPointF(label.center().x(), label.top() + 1), QPointF(label.center().x(), label.bottom() - 1));
    p.drawLine(QPointF(label.left() + 3, label.center().y()), QPointF(label.right() - 3, label.center().y()));
    p.restore();
}

void exitDoor(QPainter &p)
{
    p.setPen(QPen(QColor(90, 55, 25), 1));
    p.setBrush(QColor(150, 95, 45));
    p.drawRect(QRectF(3.5, 2.5, 10, 17));
    p.setBrush(QColor(40, 30, 20));
    p.drawRect(QRectF(5.5, 4.5, 6, 13));
    QPainterPath arrow;
    arrow.moveTo(9, 9);
    arrow.lineTo(15, 9);
    arrow.lineTo(15, 5.5);
    arrow.lineTo(21, 11);
    arrow.lineTo(15, 16.5);
    arrow.lineTo(15, 13);
    arrow.lineTo(9, 13);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 110, 40), 1));
    p.setBrush(QColor(60, 190, 80));
    p.drawPath(arrow);
}

void brightSpot(QPainter &p, QPointF centre, double radius)
{
    QRadialGradient spot(centre, radius);
    spot.setColorAt(0, QColor(255, 255, 230));
    spot.setColorAt(0.45, QColor(255, 230, 120));
    spot.setColorAt(1, QColor(255, 200, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(spot);
    p.drawEllipse(centre, radius, radius);
}

void findCoordinates(QPainter &p)
{
    // A light target inside its zone, with the cross of the found point.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 36, 50));
    p.drawRoundedRect(QRectF(1, 1, 20, 20), 2, 2);
    brightSpot(p, QPointF(11, 11), 7);
    p.setPen(QPen(ZoneRed, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 3.5, 15, 15));
    p.setPen(QPen(ZoneRed, 1.5));
    p.drawLine(QPointF(11, 6), QPointF(11, 16));
    p.drawLine(QPointF(6, 11), QPointF(16, 11));
}

void manualMeasurement(QPainter &p)
{
    // A magnifier over a numbered point.
    p.setPen(QPen(ZoneRed, 1.2));
    p.drawLine(QPointF(5, 9), QPointF(13, 9));
    p.drawLine(QPointF(9, 5), QPointF(9, 13));
    p.setPen(QPen(QColor(50, 55, 65), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(20, 20));
    p.setPen(QPen(QColor(60, 65, 80), 1.6));
    p.setBrush(QColor(170, 210, 255, 90));
    p.drawEllipse(QPointF(9, 9), 7, 7);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.setPen(OriginBlue);
    p.drawText(QRectF(9.5, 3.3, 6, 6), Qt::AlignCenter, QStringLiteral("1"));
}

void refineZones(QPainter &p)
{
    // A zone with its origin, and the tick of a zone file saved.
    p.setPen(QPen(ZoneRed, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 15, 15));
    p.setPen(QPen(OriginBlue, 1.4));
    p.drawLine(QPointF(9, 4), QPointF(9, 14));
    p.drawLine(QPointF(4, 9), QPointF(14, 9));
    p.setPen(QPen(QColor(20, 140, 50), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(12, 16);
    tick.lineTo(15, 19.5);
    tick.lineTo(20.5, 12.5);
    p.drawPath(tick);
}

void calibrate(QPainter &p)
{
    // A zone being drawn with the mouse.
    p.setPen(QPen(ZoneRed, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(ZoneRed);
    for (QPointF corner : {QPointF(2.5, 2.5), QPointF(15.5, 2.5), QPointF(2.5, 13.5)})
        p.drawRect(QRectF(corner - QPointF(1.5, 1.5), QSizeF(3, 3)));
    QPainterPath pointer;
    pointer.moveTo(12, 10);
    pointer.lineTo(12, 21);
    pointer.lineTo(14.6, 18.4);
    pointer.lineTo(16.6, 21.6);
    pointer.lineTo(18.4, 20.6);
    pointer.lineTo(16.4, 17.4);
    pointer.lineTo(20, 17);
    pointer.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(pointer);
}

void stop(QPainter &p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double angle = (i + 0.5) * M_PI / 4;
        octagon << QPointF(11 + 9.8 * std::cos(angle), 11 + 9.8 * std::sin(angle));
    }
    p.setPen(QPen(QColor(130, 10, 10), 1));
    QRadialGradient fill(QPointF(8, 7), 15);
    fill.setColorAt(0, QColor(250, 90, 80));
    fill.setColorAt(1, QColor(200, 20, 20));
    p.setBrush(fill);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 9.5, 12, 3));
}

void calibrateThreshold(QPainter &p)
{
    // A brightness scale with the threshold marked on it.
    QLinearGradient scale(2, 0, 20, 0);
    scale.setColorAt(0, Qt::black);
    scale.setColorAt(1, Qt::white);
    p.setPen(QPen(Ink, 1));
    p.setBrush(scale);
    p.drawRect(QRectF(1.5, 7.5, 19, 9));
    p.setPen(QPen(ZoneRed, 1.5));
    p.drawLine(QPointF(14, 5), QPointF(14, 20));
    QPolygonF marker;
    marker << QPointF(10.5, 1.5) << QPointF(17.5, 1.5) << QPointF(14, 5.5);
    p.setPen(Qt::NoPen);
    p.setBrush(ZoneRed);
    p.drawPolygon(marker);
}

// The program icon, drawn on a 256 x 256 grid and scaled: a camera's view of
// light targets, each in its zone, one with its found point.
void programIcon(QPainter &p, int size)
{
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient sky(0, 0, 0, 256);
    sky.setColorAt(0, QColor(34, 48, 78));
    sky.setColorAt(1, QColor(14, 20, 34));
    p.setPen(QPen(QColor(10, 14, 24), 6));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    const bool small = size <= 22;
    const QList<QPointF> targets = small ? QList<QPointF>{QPointF(128, 128)}
                                         : QList<QPointF>{QPointF(80, 84), QPointF(178, 110), QPointF(116, 182)};
    const double half = small ? 78 : 36;
    for (const QPointF &t : targets) {
        brightSpot(p, t, small ? 64 : 30);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ZoneRed, small ? 18 : 8));
        p.drawRect(QRectF(t.x() - half, t.y() - half, 2 * half, 2 * half));
    }
    const QPointF found = targets.first();
    p.setPen(QPen(ZoneRed, small ? 20 : 10, Qt::SolidLine, Qt::FlatCap));
    const double arm = small ? 56 : 26;
    p.drawLine(found - QPointF(arm, 0), found + QPointF(arm, 0));
    p.drawLine(found - QPointF(0, arm), found + QPointF(0, arm));
}

void splash(QPainter &p, QSize size)
{
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(30, 44, 72));
    sky.setColorAt(1, QColor(10, 14, 26));
    p.fillRect(QRect(QPoint(0, 0), size), sky);
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int x = 0; x < size.width(); x += 40)
        p.drawLine(x, 0, x, size.height());
    for (int y = 0; y < size.height(); y += 40)
        p.drawLine(0, y, size.width(), y);
    const QList<QPointF> targets = {QPointF(150, 140), QPointF(570, 120), QPointF(620, 360), QPointF(110, 380)};
    for (int i = 0; i < targets.size(); ++i) {
        const QPointF t = targets.at(i);
        brightSpot(p, t, 22);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ZoneRed, 2));
        p.drawRect(QRectF(t.x() - 40, t.y() - 40, 80, 80));
        p.setPen(QPen(i % 2 ? OriginBlue : ZoneRed, 2));
        p.drawLine(t - QPointF(14, 0), t + QPointF(14, 0));
        p.drawLine(t - QPointF(0, 14), t + QPointF(0, 14));
    }
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(64);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 170, size.width(), 80), Qt::AlignCenter, QStringLiteral("Kelvarin-2"));
    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(20);
    p.setFont(subtitle);
    p.setPen(QColor(210, 220, 240));
    p.drawText(QRect(0, 250, size.width(), 30), Qt::AlignCenter,
               QStringLiteral("Программа определения координат индикаторных точек"));
    subtitle.setPixelSize(15);
    p.setFont(subtitle);
    p.setPen(QColor(150, 165, 195));
    p.drawText(QRect(0, 285, size.width(), 24), Qt::AlignCenter,
               QStringLiteral("Версия ") + QLatin1String(KELVARIN_VERSION));
}

bool save(const QImage &image, const QString &path)
{
    if (image.save(path, "PNG"))
        return true;
    QTextStream(stderr) << "cannot write " << path << Qt::endl;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: kelvarin_draw_pictures RESOURCES_DIR" << Qt::endl;
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);

    // The image list, in the order the window numbers its pictures.
    const std::function<void(QPainter &)> pictures[] = {
        about, settings, help, saveCoordinates, exitDoor, findCoordinates, manualMeasurement,
        refineZones, calibrate, stop, calibrateThreshold};
    const int count = int(std::size(pictures));
    QImage list(Size * count, Size, QImage::Format_ARGB32_Premultiplied);
    list.fill(Qt::transparent);
    for (int i = 0; i < count; ++i) {
        QPainter p(&list);
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipRect(i * Size, 0, Size, Size);
        p.translate(i * Size, 0);
        pictures[i](p);
    }
    bool ok = save(list, dir + QLatin1String("/images/toolpictures.png"));

    for (int size : {16, 22, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        programIcon(p, size);
        p.end();
        ok = save(icon, dir + QStringLiteral("/icons/kelvarin2-%1.png").arg(size)) && ok;
    }

    QImage picture(720, 480, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    splash(p, picture.size());
    p.end();
    ok = save(picture, dir + QLatin1String("/images/splash.png")) && ok;
    return ok ? 0 : 1;
}

#include "RunDisplay.h"

#include "BitmapFile.h"
#include "OverlayGeometry.h"
#include "PictureBox.h"

#include <QPainter>

#include <algorithm>

RunDisplay::RunDisplay(PictureBox *picture, PictureBox *overlay)
    : m_picture(picture), m_overlay(overlay)
{
}

// The picture pixels the view shows, for a picture stretched over the whole
// widget; empty when the widget is not visible.
QRect RunDisplay::visiblePart(QSize pictureSize) const
{
    const QRect shown = m_picture->visibleRegion().boundingRect();
    const QSize view = m_picture->size();
    if (shown.isEmpty() || view.isEmpty())
        return {};
    auto toPicture = [](int v, int viewSide, int pictureSide) {
        return int(std::clamp<qint64>(qint64(v) * pictureSide / viewSide, 0, pictureSide - 1));
    };
    return QRect(QPoint(toPicture(shown.left(), view.width(), pictureSize.width()),
                        toPicture(shown.top(), view.height(), pictureSize.height())),
                 QPoint(toPicture(shown.right(), view.width(), pictureSize.width()),
                        toPicture(shown.bottom(), view.height(), pictureSize.height())));
}

RunDisplay::~RunDisplay() = default;

bool RunDisplay::show(BitmapFile &&image, const QList<TZoneInfo> &zones, const QList<TZoneMeasurement> &measured,
                      int zoomPercent)
{
    const QSize imageSize(image.width(), image.height());
    const QSize view = OverlayGeometry::viewSize(imageSize, zoomPercent);
    QImage &picture = m_picture->picture();
    m_image.reset();
    if (picture.isNull() || m_overlay->picture().size() != imageSize || m_picture->size() != view)
        return false;
    // The picture at the scale it is shown: the image's own size from 100 %
    // up, the view's size below.
    const QSize wanted = view.boundedTo(imageSize).expandedTo(QSize(1, 1));
    if (picture.size() != wanted) {
        picture = QImage(wanted, QImage::Format_RGB32);
        if (picture.isNull())
            return false;
        picture.fill(Qt::black);
    }
    m_image = std::make_unique<BitmapFile>(std::move(image));
    m_decoded = QRegion();
    decode(visiblePart(wanted));
    wipePoints(zones, zoomPercent);
    markPoints(zones, measured, zoomPercent);
    return true;
}

void RunDisplay::showUncoveredPart()
{
    const QImage &picture = m_picture->picture();
    if (!m_image || picture.isNull())
        return;
    // A picture made anew (another scale) holds nothing of the image yet.
    if (picture.size() != m_decodedSize)
        m_decoded = QRegion();
    const QRegion uncovered = QRegion(visiblePart(picture.size())) - m_decoded;
    for (const QRect &part : uncovered)
        decode(part);
}

// Decodes a part of the image shown in part into the view's picture.
void RunDisplay::decode(const QRect &part)
{
    QImage &picture = m_picture->picture();
    if (part.isEmpty())
        return;
    // Written in place: the view's picture is the only one sharing these pixels.
    auto *pixels = reinterpret_cast<quint32 *>(picture.bits());
    m_image->readPicture({picture.width(), picture.height(), part.left(), part.top(), part.right(), part.bottom(),
                          pixels, picture.bytesPerLine() / 4});
    m_decoded += part;
    m_decodedSize = picture.size();
    m_picture->update();
}

BitmapFile RunDisplay::complete()
{
    BitmapFile image = std::move(*m_image);
    m_image.reset();
    m_decoded = QRegion();
    const QSize size(image.width(), image.height());
    QImage &picture = m_picture->picture();
    if (picture.size() != size)
        picture = QImage(size, QImage::Format_RGB32);
    if (!picture.isNull()) {
        image.readPicture({size.width(), size.height(), 0, 0, size.width() - 1, size.height() - 1,
                           reinterpret_cast<quint32 *>(picture.bits()), picture.bytesPerLine() / 4});
        m_picture->update();
    }
    return image;
}

void RunDisplay::markPoints(const QList<TZoneInfo> &zones, const QList<TZoneMeasurement> &measured, int zoomPercent)
{
    Q_UNUSED(zones);
    QImage &overlay = m_overlay->picture();
    if (overlay.isNull())
        return;
    QPainter painter(&overlay);
    painter.setPen(QPen(Qt::red, OverlayGeometry::penWidth(zoomPercent)));
    for (const TZoneMeasurement &m : measured) {
        if (!m.found)
            continue;
        const QPoint point(int(m.x), int(m.y));
        for (const QLine &line : OverlayGeometry::cross(point.x(), point.y()))
            painter.drawLine(line);
        m_points << point;
    }
    m_overlay->update();
}

// Clears the squares of the crosses drawn before and draws again what the
// overlay shows there without them: the zones and their origins.
void RunDisplay::wipePoints(const QList<TZoneInfo> &zones, int zoomPercent)
{
    QImage &overlay = m_overlay->picture();
    if (m_points.isEmpty() || overlay.isNull())
        return;
    const int pen = OverlayGeometry::penWidth(zoomPercent);
    QRegion wiped;
    for (const QPoint &p : std::as_const(m_points))
        wiped += QRect(p.x() - 10 - pen, p.y() - 10 - pen, 21 + 2 * pen, 21 + 2 * pen);
    m_points.clear();
    QPainter painter(&overlay);
    painter.setClipRegion(wiped);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(wiped.boundingRect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QPen(Qt::red, pen));
    for (const TZoneInfo &zone : zones) {
        const auto outline = OverlayGeometry::zoneOutline(zone);
        painter.drawPolyline(outline.data(), int(outline.size()));
    }
    painter.setPen(QPen(Qt::blue, pen));
    for (const TZoneInfo &zone : zones) {
        if (!zone.hasOrigin())
            continue;
        for (const QLine &line : OverlayGeometry::cross(int(zone.X0), int(zone.Y0)))
            painter.drawLine(line);
    }
}

#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    // Only the exposed part is scaled: a large image at 400 % would otherwise
    // be enlarged whole for every repainted cross.
    painter.setClipRegion(event->region());
    QRectF target = rect();
    if (m_fit == Fit::Cover) {
        const QSizeF covered = QSizeF(m_picture.size()).scaled(size(), Qt::KeepAspectRatioByExpanding);
        target = QRectF(QPointF((width() - covered.width()) / 2, (height() - covered.height()) / 2), covered);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_fit == Fit::Cover);
    painter.translate(target.topLeft());
    painter.scale(target.width() / m_picture.width(), target.height() / m_picture.height());
    painter.drawImage(QPointF(0, 0), m_picture);
}

// The pixel the mouse is on. Under a fractional scale factor the position
// lies between two device pixels; it is cut, as rounding would name the next pixel.
static QPoint pixelAt(const QMouseEvent *event)
{
    return QPoint(qFloor(event->position().x()), qFloor(event->position().y()));
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT mousePressed(pixelAt(event), event->button(), event->modifiers());
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT mouseMoved(pixelAt(event));
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    Q_EMIT mouseReleased(pixelAt(event), event->button());
}

#include "ImageView.h"

#include <QPaintEvent>
#include <QPainter>

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::setImage(const QImage &image)
{
    m_image = image;
    resize(image.size());
    update();
}

void ImageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    for (const QRect &rect : event->region())
        painter.drawImage(rect.topLeft(), m_image, rect);
}

#include "ChartPicture.h"

#include <QBuffer>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QWidget>

QByteArray ChartPicture::render(QWidget *view, const QString &title, bool svg)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(view->size());
        generator.setViewBox(view->rect());
        generator.setTitle(title);
        QPainter painter(&generator);
        view->render(&painter);
    } else {
        view->grab().save(&buffer, "PNG");
    }
    return bytes;
}

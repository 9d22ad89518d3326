#include "MainFormPictures.h"

#include <QPainter>

// The pictures live in this static library; its resources are registered by
// hand before the first use.
static void registerResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(kelvarin_ui);
        return true;
    }();
    Q_UNUSED(done);
}

QPixmap MainFormPictures::picture(int index)
{
    registerResources();
    // Kept as an image: a pixmap must not outlive the application object.
    static const QImage list(QStringLiteral(":/kelvarin-ui/images/toolpictures.png"));
    if (index < 0 || index >= Count || list.isNull())
        return {};
    return QPixmap::fromImage(list.copy(index * PictureSize, 0, PictureSize, PictureSize));
}

QIcon MainFormPictures::windowIcon()
{
    registerResources();
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/kelvarin-ui/icons/kelvarin2-%1.png").arg(size), QSize(size, size));
    return icon;
}

QImage MainFormPictures::splash()
{
    registerResources();
    return QImage(QStringLiteral(":/kelvarin-ui/images/splash.png"));
}

QCursor MainFormPictures::crossCursor()
{
    QPixmap pixmap(31, 31);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int c = 15;
    // A light rim under dark lines, with a gap at the centre so that the pixel
    // aimed at stays visible.
    painter.setPen(QPen(QColor(255, 255, 255, 200), 3));
    painter.drawLine(c, 0, c, c - 3);
    painter.drawLine(c, c + 3, c, 30);
    painter.drawLine(0, c, c - 3, c);
    painter.drawLine(c + 3, c, 30, c);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(c, 1, c, c - 3);
    painter.drawLine(c, c + 3, c, 29);
    painter.drawLine(1, c, c - 3, c);
    painter.drawLine(c + 3, c, 29, c);
    painter.end();
    return QCursor(pixmap, c, c);
}

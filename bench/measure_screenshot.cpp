// Shows a measurement window with a dozen markers and its magnifier on a
// synthetic camera image and saves a picture of the whole screen, for looking
// at the window by eye (run under xvfb-run with a 1280x1024 screen):
//
//     xvfb-run -s "-screen 0 1280x1024x24" measure_screenshot out.png

#include "MarkerOverlay.h"
#include "TImageForm.h"
#include "TLupa.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

static QImage scene()
{
    QImage image(900, 640, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient wall(0, 0, 900, 640);
    wall.setColorAt(0, QColor(70, 74, 80));
    wall.setColorAt(1, QColor(40, 42, 46));
    painter.fillRect(image.rect(), wall);
    painter.setPen(QColor(95, 98, 104));
    for (int x = 0; x < 900; x += 60)
        painter.drawLine(x, 0, x, 640);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            const QPointF c(90 + col * 110 + row * 7, 70 + row * 120 + col * 3);
            QRadialGradient spot(c, 9);
            spot.setColorAt(0, QColor(255, 255, 250));
            spot.setColorAt(0.5, QColor(240, 240, 200));
            spot.setColorAt(1, QColor(70, 74, 80, 0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(spot);
            painter.drawEllipse(c, 9, 9);
        }
    }
    return image;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("measure.png");
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("station_0417.bmp"));
    scene().save(imagePath, "BMP");

    TImageForm::Environment environment;
    environment.startDirectory = dir.path();
    environment.workDirectory = dir.path();
    environment.settingsPath = dir.filePath(QStringLiteral("ZymKelvarin.ini"));
    auto *form = new TImageForm(environment);
    if (!form->OpenImage(imagePath))
        return 1;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            form->markers().AddPoint(90 + col * 110 + row * 7 + 0.4, 70 + row * 120 + col * 3 - 0.2);
    form->markers().SetActive(5);
    form->markers().DrawAll();
    form->show();
    form->N12Click();

    QTimer::singleShot(500, form, [form] {
        const QPoint at(207, 193);
        QMouseEvent move(QEvent::MouseMove, QPointF(at), form->crossImage()->mapToGlobal(QPointF(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->crossImage(), &move);
    });
    QTimer::singleShot(1500, &app, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        const bool saved = shot.save(out);
        std::printf("%s %s (%dx%d)\n", saved ? "saved" : "could not save", qPrintable(out), shot.width(),
                    shot.height());
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}

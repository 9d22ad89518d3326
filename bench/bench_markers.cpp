// Times the marker edits of the measurement window with 2,000 points on a
// 5-megapixel image: placing, deleting and renumbering a point, each measured
// from the mouse event until the overlay has repainted what changed. A full
// repaint of the visible overlay is timed for comparison.
//
//     bench_markers [points] [repetitions]
//
// Runs under the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "DialogService.h"
#include "MarkerOverlay.h"
#include "TImageForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// Answers the renumber question with "1" and cancels everything else.
class BenchDialogs : public DialogService
{
public:
    Button message(QWidget *, const QString &, const QString &, Buttons, Icon) override { return No; }
    bool inputText(QWidget *, const QString &, const QString &, QString *value) override
    {
        *value = QStringLiteral("1");
        return true;
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &, const QString &,
                         const QString &) override { return {}; }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    bool chooseFont(QWidget *, QFont *) override { return false; }
};

struct PaintCounter : QObject
{
    qint64 pixels = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                pixels += qint64(r.width()) * r.height();
        }
        return false;
    }
};

void settle(TImageForm &form)
{
    form.crossImage()->flush();
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
}

void send(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QCoreApplication::sendEvent(target, &event);
}

void clickAt(QWidget *overlay, QPoint at, Qt::KeyboardModifiers modifiers = {})
{
    send(overlay, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, modifiers);
    send(overlay, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    send(overlay, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
}

struct Figures
{
    QList<double> ms;
    qint64 pixels = 0;
    void print(const char *what) const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-34s median %7.3f ms   max %7.3f ms   repainted %9lld px per edit\n", what,
                    sorted.at(sorted.size() / 2), sorted.last(), pixels / qMax<qsizetype>(1, ms.size()));
    }
};

// A 24-bit bitmap of the given size with a pattern in every pixel.
QString writeLargeImage(const QTemporaryDir &dir, QSize size)
{
    const QString imagePath = dir.filePath(QStringLiteral("large.bmp"));
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
    }
    image.save(imagePath, "BMP");
    return imagePath;
}

// Scatters the points over the image and scrolls to its middle, where they
// are as dense as anywhere; the visible part of the overlay.
QRect showDensePart(TImageForm &form, QSize image, int pointCount, QRandomGenerator &random)
{
    for (int i = 0; i < pointCount; ++i)
        form.markers().AddPoint(random.bounded(image.width()), random.bounded(image.height()));
    form.markers().DrawAll();
    auto *box = form.findChild<QScrollArea *>(QStringLiteral("ImageBox"));
    box->horizontalScrollBar()->setValue(image.width() / 2);
    box->verticalScrollBar()->setValue(image.height() / 2);
    settle(form);
    return form.crossImage()->visibleRegion().boundingRect();
}

// Times each kind of edit `repetitions` times, from the mouse event until the
// overlay has repainted.
void timeEdits(TImageForm &form, QRect visible, QSize image, int repetitions, QRandomGenerator &random)
{
    PaintCounter counter;
    form.crossImage()->installEventFilter(&counter);
    QWidget *overlay = form.crossImage();
    QElapsedTimer timer;
    auto spot = [&] {
        return QPoint(visible.left() + 20 + random.bounded(visible.width() - 40),
                      visible.top() + 20 + random.bounded(visible.height() - 40));
    };
    auto freeSpot = [&] {
        QPoint at = spot();
        while (form.markers().PointAt(at.x(), at.y()) != -1)
            at = spot();
        return at;
    };
    auto measure = [&](const char *what, auto &&edit) {
        Figures figures;
        counter.pixels = 0;
        for (int r = 0; r < repetitions; ++r) {
            timer.restart();
            edit();
            settle(form);
            figures.ms << timer.nsecsElapsed() / 1e6;
        }
        figures.pixels = counter.pixels;
        figures.print(what);
    };

    measure("place a point (click)", [&] { clickAt(overlay, freeSpot()); });
    measure("delete a visible point (Ctrl+click)", [&] {
        const int last = form.markers().Count() - 1;
        const TPoint2 p = form.markers().point(last);
        clickAt(overlay, QPoint(int(p.x), int(p.y)), Qt::ControlModifier);
    });
    measure("delete point 1 (all renumbered)", [&] {
        const int index = form.markers().PointAt(0, 0) == 0 ? 1 : 0;
        form.markers().DeletePoint(index);
        form.markers().AddPoint(random.bounded(image.width()), random.bounded(image.height()));
    });
    measure("renumber the last point to 1", [&] {
        const QPoint at = freeSpot();
        clickAt(overlay, at); // a new last point, under the mouse
        send(overlay, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        send(overlay, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    });
    measure("full repaint of the visible overlay", [&] { overlay->update(); });
    form.crossImage()->removeEventFilter(&counter);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pointCount = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 30;
    BenchDialogs dialogs;
    DialogService::setInstance(&dialogs);

    QTemporaryDir dir;
    const QSize image(2592, 1944);
    const QString imagePath = writeLargeImage(dir, image);
    TImageForm::Environment environment;
    environment.startDirectory = dir.path();
    environment.workDirectory = dir.path();
    environment.settingsPath = dir.filePath(QStringLiteral("ZymKelvarin.ini"));
    TImageForm form(environment);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    QElapsedTimer timer;
    timer.start();
    if (!form.OpenImage(imagePath))
        return 1;
    std::printf("image %dx%d opened in %lld ms\n", image.width(), image.height(), timer.elapsed());
    form.show();

    QRandomGenerator random(12345);
    const QRect visible = showDensePart(form, image, pointCount, random);
    std::printf("%d points, visible part of the overlay %dx%d\n", pointCount, visible.width(), visible.height());
    timeEdits(form, visible, image, repetitions, random);
    std::printf("points at the end: %d\n", form.markers().Count());
    DialogService::setInstance(nullptr);
    return 0;
}

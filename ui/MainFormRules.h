#pragma once

#include "TZoneInfo.h"
#include "TZoneMeasurement.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

// The main window's small rules that need no widget: what a run processes,
// the results base of "Сохранить координаты", the texts of the mouse
// read-outs, a run's progress and summary, and the zoom steps. Kept apart so that they are tested directly.
class MainFormRules
{
public:
    // The zoom steps of the image area's context menu, in percent.
    static QList<int> zoomSteps() { return {50, 75, 100, 200, 300, 400}; }

    // The images of a run in list order: the selected ones, or all of them when
    // the run is the scheduled one over a whole directory (start style 1).
    static QStringList runImages(const QStringList &all, const QStringList &selected, int startStyle);
    // The status text when runImages gave nothing: no image selected, or (the
    // scheduled run) no image in the directory.
    static QString noImagesText(int startStyle);

    // What a run's end adds to its status: the images processed, the points
    // found per zone as the tool counts them ("Зона 3: точек найдено 7 из 8")
    // and where the results went (nothing when they were not written).
    // The progress of a run: "3 из 10, осталось 1:10", the time left
    // estimated from the time the images so far took (none before the first).
    static QString progressText(int done, int total, qint64 elapsedMs);

    static QString runSummary(int imagesProcessed, const QList<TZoneInfo> &zones, const QString &resultsBase);

    // What the status says after an image whose zones held more than one spot
    // above the threshold: "Зона 3: несколько пятен (2)", for several zones
    // "Зоны 3 (2), 5 (4): несколько пятен"; empty when every zone held one at most.
    static QString spotsText(const QList<TZoneMeasurement> &zones);

    // The results base for a path chosen in the save dialog: the file name cut
    // at its first "." ("run.2024.crd" gives "run"). Only the file name is cut,
    // never a directory of the path: "/data/v1.2/res.crd" gives "/data/v1.2/res".
    static QString resultsBaseFromChosenPath(const QString &path);

    // Status panel 1 while the mouse moves over the image: " X= 50;  Y= 28 ".
    static QString positionText(QPoint imagePoint);

    // The brightness (red + green + blue) / 3 of a pixel in the general
    // notation of the locale, up to 15 significant digits: 85, 85,3333333333333.
    static QString brightnessText(unsigned int argb);
};

#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The pictures of the main window, compiled into the program: the image list
// of eleven 22 x 22 tool pictures, the window icon, the splash picture and the
// cross cursor of the image area.
class MainFormPictures
{
public:
    // Positions in the image list.
    enum Picture {
        About = 0,
        Settings = 1,
        Help = 2,
        SaveCoordinates = 3,
        Exit = 4,
        FindCoordinates = 5,
        ManualMeasurement = 6,
        RefineZones = 7,
        Calibrate = 8,
        Stop = 9,
        CalibrateThreshold = 10,
        Count = 11
    };
    static constexpr int PictureSize = 22;

    static QPixmap picture(int index);
    static QIcon windowIcon();
    static QImage splash();
    // A thin cross with a light rim, visible over dark and bright image parts.
    static QCursor crossCursor();
};

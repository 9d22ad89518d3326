#pragma once

#include "TZoneInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The file through which the main window hands the last found point of every
// zone to a new measurement window. The main window's sequence:
//
//     auto *form = new TImageForm(environment);
//     if (!form->OpenImage(imagePath)) { delete form; return; }
//     const QString file = HandOffFile::write(zones, imagePath); // throws KelvarinError
//     form->LoadPoints(file);
//     form->show();
//     QFile::remove(file);
class HandOffFile
{
public:
    // The image path up to, not including, its first ".bmp" (exact, lower
    // case) followed by "$tmp.crd"; without ".bmp" the path without its
    // extension of a PNG, TIFF or JPEG picture (".png", ".tif", ".tiff",
    // ".jpg", ".jpeg" in any case) followed by "$tmp.crd"; without either
    // "$tmp.crd" in the current directory. Always an absolute path, so that
    // it can be deleted later wherever the current directory has gone.
    static QString fileName(const QString &imagePath);

    // One points file line per zone that has points: its last point, in
    // absolute image coordinates (-1 ; -1 for a spot not found).
    static QByteArray contents(const QList<TZoneInfo> &zones);

    // Writes the file whole and returns its name; throws KelvarinError with
    // the text to show when it cannot be written.
    static QString write(const QList<TZoneInfo> &zones, const QString &imagePath);
};

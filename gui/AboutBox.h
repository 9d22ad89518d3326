#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box shared by the main program and the manual measurement window:
// caption "О программе", the program picture, a product name and the version,
// and an OK button that is the default button. Shown modally.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    AboutBox(const QString &productName, QWidget *parent = nullptr);

    // The program picture, 80 x 70; also the windows' icon.
    static QPixmap programPicture();
    // A picture of the library's resources by file name ("directory.png").
    static QPixmap resourcePicture(const QString &fileName);

    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QPushButton *OKButton = nullptr;
};

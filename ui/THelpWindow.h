#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The program's help: the HTML help compiled into the program, shown in a small
// window of its own that stays open beside the main window.
class THelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Shows the help at its table of contents and brings the window forward.
    void showContents();

    // Where the help lives among the program's resources.
    static QUrl contentsUrl();

    QTextBrowser *Browser = nullptr;
};

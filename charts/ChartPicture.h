#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// A chart as a picture file's bytes: SVG (vector, for reports) or PNG (what
// the screen shows), drawn from the widget at its present size.
class ChartPicture final
{
public:
    static QByteArray render(QWidget *view, const QString &title, bool svg);
};

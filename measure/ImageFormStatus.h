#pragma once

#include <QStatusBar>

class QLabel;

// The measurement window's status bar: four sunken panels, the mouse's X and
// Y, the number of the point under the mouse ("None") and the hint of the
// magnifier when it has the keyboard.
class ImageFormStatus : public QStatusBar
{
    Q_OBJECT

public:
    explicit ImageFormStatus(QWidget *parent = nullptr);

    void setText(int panel, const QString &text);
    QString text(int panel) const;

private:
    QLabel *m_panels[4] = {};
};

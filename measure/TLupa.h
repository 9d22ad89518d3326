#pragma once

#include "LupaGeometry.h"

#include <QImage>
#include <QWidget>

class QEventLoop;

// The magnifier of a measurement window: a borderless, always-on-top window
// showing the square of the photograph around the mouse, enlarged by a whole
// zoom factor, with a blue crosshair that the arrow keys move in steps of one
// magnified pixel (1/zoom of an image pixel). It copies from the photograph
// only, so it never shows point markers. Where the window system can shape
// windows it is a rounded square; elsewhere (offscreen) a square tool window
// with the same contents.
class TLupa : public QWidget
{
    Q_OBJECT

public:
    explicit TLupa(QWidget *owner);

    const LupaGeometry &lupaGeometry() const { return m_geometry; }
    int zoom() const { return m_geometry.zoom(); }
    int area() const { return m_geometry.area(); }
    int side() const { return m_geometry.side(); }
    // The crosshair's shift from the mouse position, in image pixels.
    QPointF shift() const { return QPointF(m_geometry.shiftX(), m_geometry.shiftY()); }

    // The photograph the area is copied from (never the marker overlay).
    void setPhotograph(const QImage &photograph);
    // The 2a-by-2a copy of the last grabbed area, white outside the image.
    const QImage &picture() const { return m_picture; }

    void GrabArea(int x, int y);
    void MoveCrosshair(int dx, int dy);
    void ResetCrosshair();
    void SetZoom(int zoom);
    void SetArea(int area);

    // The modal phase of placing a point: the magnifier becomes modal until
    // Enter (or it is closed), then is shown non-modally again.
    void runModal();
    bool inModalPhase() const { return m_loop != nullptr; }

    // Whether this platform gives the magnifier its rounded shape.
    static bool shapedWindows();

Q_SIGNALS:
    void modalPhaseStarted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void applySize();

    LupaGeometry m_geometry;
    QImage m_photograph;
    QImage m_picture;
    QPoint m_dragAnchor;
    QEventLoop *m_loop = nullptr;
};

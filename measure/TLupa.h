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
// with the same contents. The crosshair and the texts have a white outline,
// so they stay visible on dark and on bright images, and the window never
// leaves its screen.
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

    // The modal phase of placing a point: the magnifier becomes modal and
    // says what it expects until Enter (or it is closed), which returns true,
    // or Esc, which returns false; then it is shown non-modally again.
    bool runModal();
    // What the magnifier shows during its modal phase.
    static QString modalHint();

    // Moves the window by as little as needed to lie wholly on the screen
    // that holds its centre.
    void keepOnScreen();
    // Moves with its measurement window (by the window's own move), and out
    // of the way of the area it magnifies, given in screen coordinates.
    void followOwner(const QPoint &ownerMove);
    void keepClearOf(const QRect &cursorArea, const QRect &ownerFrame);
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
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void applySize();
    void drawOutlinedText(QPainter &painter, const QRect &box, int flags, const QString &text,
                          const QColor &colour);

    LupaGeometry m_geometry;
    QImage m_photograph;
    QImage m_picture;
    QPoint m_dragAnchor;
    QEventLoop *m_loop = nullptr;
};

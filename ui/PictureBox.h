#pragma once

#include <QImage>
#include <QWidget>

// A picture shown stretched over the whole widget, without smoothing, so that
// every image pixel stays a sharp block when enlarged. The image area stacks
// three of them: the image, the transparent overlay with zones and crosses
// above it, and the splash picture. Mouse events are passed on as signals in
// widget coordinates.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    enum class Fit {
        Stretch, // the picture takes exactly the widget's size
        Cover    // the picture keeps its proportions and covers the widget, centred
    };

    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    // Drawing straight into the picture; call update() or repaint() afterwards.
    QImage &picture() { return m_picture; }

    void setFit(Fit fit) { m_fit = fit; }

Q_SIGNALS:
    void mousePressed(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMoved(QPoint pos);
    void mouseReleased(QPoint pos, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
    Fit m_fit = Fit::Stretch;
};

#pragma once

#include <QImage>
#include <QWidget>

// The photograph at its natural size, one image pixel per screen pixel. It is
// never drawn on; only the exposed part is painted.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageView(QWidget *parent = nullptr);

    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

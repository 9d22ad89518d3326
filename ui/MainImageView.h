#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QScrollArea>

#include <memory>

class PictureBox;
class QAction;
class RunDisplay;
class QColor;
class QMenu;
class TPointFinder;

// The image area of the main window: the picture of the engine's current
// image at the chosen zoom, the transparent overlay above it with the zones,
// their origins, the points found and the band of a zone being drawn, the zoom
// menu, and the splash that covers the area until it ends. It shows what the
// engine holds; what happens on a click is decided by the window, which gets
// the mouse in view coordinates through the signals.
class MainImageView : public QScrollArea
{
    Q_OBJECT

public:
    explicit MainImageView(TPointFinder &finder, QWidget *parent = nullptr);
    ~MainImageView() override;

    int zoomPercent() const { return m_zoomPercent; }
    // Takes a zoom step of the menu; false (nothing changed) for any other item.
    bool setZoom(QAction *item);

    // A newly loaded image: a cleared overlay of its size and, when shown, its picture.
    void showImage(bool show);
    // The end of an image's processing: the picture (decoded now if it was
    // not shown) under the overlay, both repainted.
    void endImage();
    // The mask of the last zone binarised, white on black, in place of the picture.
    void showMask();
    // The picture of the loaded image as shown (null when not shown).
    const QImage &loadedPicture() const { return m_loadedPicture; }
    // The loaded image's picture, decoded now when it is not shown.
    QImage picture() const;

    // An image of a run measured by several jobs, its points just added to
    // the engine's series: shown in place of the image before, in part (what
    // is in view) when it has the same size, else loaded in full. An image
    // that cannot be shown now does not stop the run.
    void showMeasuredImage(const QString &path);
    // The run is over: the image shown in part becomes the engine's current
    // image and is shown whole.
    void completeRunImage();

    // Redraws the overlay with the zones' outlines and origins only.
    void drawZoneOverlay();
    // A cross of the program's size at an image point, not yet repainted.
    void drawCross(const QColor &colour, int x, int y);
    // A found point: a red cross, repainted at once.
    void markPoint(int x, int y);
    // The zones and the band of a zone being drawn from `centre` to `corner`.
    void drawRubberBand(QPoint centre, QPoint corner);
    // Wipes the overlay (new zones are drawn on the bare image).
    void clearOverlay();
    void setOverlayVisible(bool visible);
    // The overlay that takes the mouse: positions are mapped from it.
    PictureBox *overlay() const { return m_overlay; }

    bool splashShown() const;
    void hideSplash();

Q_SIGNALS:
    void mousePressed(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMoved(QPoint pos);
    void mouseReleased(QPoint pos, Qt::MouseButton button);
    // An item of the zoom menu was chosen.
    void zoomItemChosen(QAction *item);
    void splashClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void createPictures();
    void createZoomMenu();
    void createSplash();
    // Sizes the canvas and both pictures to the image at the zoom.
    void sizeView();
    void checkZoomItem();

    TPointFinder &m_finder; // decoding its image reads the file
    std::unique_ptr<RunDisplay> m_runDisplay;
    QString m_partlyShown; // the image the run display shows in part
    int m_zoomPercent = 100;
    QImage m_loadedPicture;
    PictureBox *m_picture = nullptr;
    PictureBox *m_overlay = nullptr;
    PictureBox *m_splash = nullptr;
    QMenu *m_zoomMenu = nullptr;
    QList<QAction *> m_zoomItems;
};

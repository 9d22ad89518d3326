#include "MainImageView.h"

#include "BitmapPicture.h"
#include "MainFormPictures.h"
#include "MainFormRules.h"
#include "OverlayGeometry.h"
#include "KelvarinError.h"
#include "PictureBox.h"
#include "RunDisplay.h"
#include "TPointFinder.h"

#include <QMenu>
#include <QPainter>

MainImageView::MainImageView(TPointFinder &finder, QWidget *parent)
    : QScrollArea(parent), m_finder(finder)
{
    setObjectName(QStringLiteral("scrollImage"));
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    createPictures();
    createZoomMenu();
    createSplash();
}

MainImageView::~MainImageView() = default;

void MainImageView::createPictures()
{
    auto *canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("ImageCanvas"));
    canvas->resize(0, 0);
    m_picture = new PictureBox(canvas);
    m_picture->setObjectName(QStringLiteral("pictureImage"));
    m_overlay = new PictureBox(canvas);
    m_overlay->setObjectName(QStringLiteral("overlayImage"));
    m_overlay->setMouseTracking(true);
    const QCursor cross = MainFormPictures::crossCursor();
    m_picture->setCursor(cross);
    m_overlay->setCursor(cross);
    setWidget(canvas);
    m_runDisplay = std::make_unique<RunDisplay>(m_picture, m_overlay);
    connect(m_overlay, &PictureBox::mousePressed, this, &MainImageView::mousePressed);
    connect(m_overlay, &PictureBox::mouseMoved, this, &MainImageView::mouseMoved);
    connect(m_overlay, &PictureBox::mouseReleased, this, &MainImageView::mouseReleased);
}

void MainImageView::createZoomMenu()
{
    m_zoomMenu = new QMenu(this);
    m_zoomMenu->setObjectName(QStringLiteral("menuZoom"));
    for (int percent : MainFormRules::zoomSteps()) {
        QAction *zoom = m_zoomMenu->addAction(QString::number(percent) + QLatin1Char('%'));
        zoom->setObjectName(QStringLiteral("actionZoom%1").arg(percent));
        zoom->setData(percent);
        zoom->setCheckable(true);
        zoom->setChecked(percent == m_zoomPercent);
        connect(zoom, &QAction::triggered, this, [this, zoom] { Q_EMIT zoomItemChosen(zoom); });
        m_zoomItems << zoom;
    }
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { m_zoomMenu->popup(viewport()->mapToGlobal(pos)); });
}

// The splash covers the image area (not the scrolled picture) until it ends.
void MainImageView::createSplash()
{
    m_splash = new PictureBox(this);
    m_splash->setObjectName(QStringLiteral("splashImage"));
    m_splash->setFit(PictureBox::Fit::Cover);
    m_splash->setPicture(MainFormPictures::splash());
    m_splash->setCursor(Qt::PointingHandCursor);
    m_splash->raise();
    connect(m_splash, &PictureBox::mousePressed, this, &MainImageView::splashClicked);
}

void MainImageView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    m_splash->setGeometry(rect());
    if (m_runDisplay)
        m_runDisplay->showUncoveredPart();
}

// During a run the picture holds only what was in view of the image shown:
// what a scroll brings into view is decoded then.
void MainImageView::scrollContentsBy(int dx, int dy)
{
    QScrollArea::scrollContentsBy(dx, dy);
    if (m_runDisplay)
        m_runDisplay->showUncoveredPart();
}

bool MainImageView::splashShown() const
{
    return m_splash->isVisible();
}

void MainImageView::hideSplash()
{
    m_splash->hide();
}

bool MainImageView::setZoom(QAction *item)
{
    if (!item || !m_zoomItems.contains(item))
        return false;
    m_zoomPercent = item->data().toInt();
    checkZoomItem();
    sizeView();
    return true;
}

void MainImageView::sizeView()
{
    const QSize view = OverlayGeometry::viewSize(QSize(m_finder.width(), m_finder.height()), m_zoomPercent);
    widget()->resize(view);
    m_picture->setGeometry(QRect(QPoint(0, 0), view));
    m_overlay->setGeometry(QRect(QPoint(0, 0), view));
}

void MainImageView::checkZoomItem()
{
    for (QAction *zoom : std::as_const(m_zoomItems))
        zoom->setChecked(zoom->data().toInt() == m_zoomPercent);
}

QImage MainImageView::picture() const
{
    return m_loadedPicture.isNull() ? BitmapPicture::toImage(m_finder.image()) : m_loadedPicture;
}

void MainImageView::showImage(bool show)
{
    // The overlay is transparent where nothing is drawn: the image shows through.
    QImage overlay(m_finder.width(), m_finder.height(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    m_overlay->setPicture(overlay);
    m_loadedPicture = show ? BitmapPicture::toImage(m_finder.image()) : QImage();
    m_picture->setPicture(m_loadedPicture);
    sizeView();
    checkZoomItem();
}

void MainImageView::endImage()
{
    m_overlay->setVisible(true);
    if (m_loadedPicture.isNull())
        m_loadedPicture = BitmapPicture::toImage(m_finder.image());
    m_picture->setPicture(m_loadedPicture);
    m_picture->repaint();
    m_overlay->repaint();
}

void MainImageView::showMask()
{
    const TPointFinder::SpotMask &mask = m_finder.mask();
    QImage picture(m_finder.width(), m_finder.height(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    const int columnHeight = mask.rect.height();
    // The mask is stored column by column, x outer.
    size_t i = 0;
    for (int x = mask.rect.left(); !mask.rect.isEmpty() && x <= mask.rect.right(); ++x) {
        for (int y = 0; y < columnHeight; ++y, ++i) {
            if (mask.bits[i])
                picture.setPixel(x, mask.rect.top() + y, qRgb(255, 255, 255));
        }
    }
    m_picture->setPicture(picture);
    m_picture->repaint();
}

void MainImageView::drawZoneOverlay()
{
    QImage &overlay = m_overlay->picture();
    if (overlay.isNull())
        return;
    overlay.fill(Qt::transparent);
    m_runDisplay->forgetPoints();
    QPainter painter(&overlay);
    painter.setPen(QPen(Qt::red, OverlayGeometry::penWidth(m_zoomPercent)));
    for (const TZoneInfo &zone : m_finder.zones()) {
        const auto outline = OverlayGeometry::zoneOutline(zone);
        painter.drawPolyline(outline.data(), int(outline.size()));
    }
    painter.end();
    for (const TZoneInfo &zone : m_finder.zones()) {
        if (zone.hasOrigin())
            drawCross(Qt::blue, int(zone.X0), int(zone.Y0));
    }
    m_overlay->update();
}

void MainImageView::drawCross(const QColor &colour, int x, int y)
{
    QImage &overlay = m_overlay->picture();
    if (overlay.isNull())
        return;
    QPainter painter(&overlay);
    painter.setPen(QPen(colour, OverlayGeometry::penWidth(m_zoomPercent)));
    for (const QLine &line : OverlayGeometry::cross(x, y))
        painter.drawLine(line);
}

void MainImageView::markPoint(int x, int y)
{
    drawCross(Qt::red, x, y);
    m_overlay->repaint();
}

void MainImageView::drawRubberBand(QPoint centre, QPoint corner)
{
    drawZoneOverlay();
    QImage &overlay = m_overlay->picture();
    if (overlay.isNull())
        return;
    QPainter painter(&overlay);
    painter.setPen(QPen(Qt::red, OverlayGeometry::penWidth(m_zoomPercent)));
    const auto band = OverlayGeometry::rubberBand(centre, corner);
    painter.drawPolyline(band.data(), int(band.size()));
    painter.end();
    m_overlay->update();
}

void MainImageView::clearOverlay()
{
    QImage &overlay = m_overlay->picture();
    if (!overlay.isNull())
        overlay.fill(Qt::transparent);
    m_runDisplay->forgetPoints();
    m_overlay->repaint();
}

void MainImageView::setOverlayVisible(bool visible)
{
    m_overlay->setVisible(visible);
}

void MainImageView::showMeasuredImage(const QString &path)
{
    try {
        BitmapFile image;
        if (m_finder.imageOpener())
            m_finder.imageOpener()(image, path);
        else
            image.open(path);
        // The view's picture is written over in place: kept nowhere else, it is not copied.
        m_loadedPicture = QImage();
        if (m_runDisplay->show(std::move(image), m_finder.zones(), m_finder.lastMeasurements(), m_zoomPercent)) {
            m_partlyShown = path;
            return;
        }
        const QList<TZoneMeasurement> measured = m_finder.lastMeasurements();
        m_finder.LoadImage(path, true);
        m_runDisplay->markPoints(m_finder.zones(), measured, m_zoomPercent);
        m_partlyShown.clear();
    } catch (const KelvarinError &) {
    }
}

void MainImageView::completeRunImage()
{
    if (!m_runDisplay->hasPartImage())
        return;
    try {
        m_finder.setImage(m_runDisplay->complete(), m_partlyShown);
        m_loadedPicture = m_picture->picture();
    } catch (const KelvarinError &) {
        // Cut since it was measured: the view keeps what it showed.
    }
    m_partlyShown.clear();
}

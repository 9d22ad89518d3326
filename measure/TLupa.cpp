#include "TLupa.h"

#include "MarkerColors.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

static const QColor crosshairColour = MarkerColors::toQColor(16711680);

TLupa::TLupa(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TLupa"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::SizeAllCursor);
    applySize();
}

bool TLupa::shapedWindows()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("wayland")
        || platform == QLatin1String("windows") || platform == QLatin1String("cocoa");
}

// The picture keeps 2a by 2a image pixels; the window is s by s and, where
// the platform allows, a rounded square with corner ellipses s/4 across.
void TLupa::applySize()
{
    const int area = m_geometry.area();
    if (m_picture.width() != 2 * area) {
        m_picture = QImage(2 * area, 2 * area, QImage::Format_RGB32);
        m_picture.fill(Qt::white);
    }
    const int s = m_geometry.side();
    setFixedSize(s, s);
    if (shapedWindows()) {
        QPainterPath path;
        path.addRoundedRect(QRectF(1, 1, s - 1, s - 1), s / 8.0, s / 8.0);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
    // A larger zoom or area grows the window to the right and down; it is
    // moved back onto its screen.
    keepOnScreen();
    update();
}

void TLupa::followOwner(const QPoint &ownerMove)
{
    move(pos() + ownerMove);
    keepOnScreen();
}

void TLupa::keepClearOf(const QRect &cursorArea, const QRect &ownerFrame)
{
    QScreen *screen = QGuiApplication::screenAt(cursorArea.center());
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QPoint placed = LupaGeometry::placeClear(frameGeometry(), ownerFrame, cursorArea, screen->availableGeometry());
    if (placed != frameGeometry().topLeft())
        move(placed);
}

void TLupa::keepOnScreen()
{
    QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = this->screen();
    if (!screen)
        return;
    const QPoint place = LupaGeometry::placeOnScreen(geometry(), screen->geometry());
    if (place != pos())
        move(place);
}

QString TLupa::modalHint()
{
    return QStringLiteral("Enter — поставить точку, Esc — отменить");
}

void TLupa::setPhotograph(const QImage &photograph)
{
    m_photograph = photograph;
}

void TLupa::GrabArea(int x, int y)
{
    // Only the source square is copied; the display does the enlarging.
    m_picture.fill(Qt::white);
    const QRect source = m_geometry.sourceRect(x, y);
    const QRect inside = source & m_photograph.rect();
    if (!inside.isEmpty()) {
        QPainter painter(&m_picture);
        painter.drawImage(inside.topLeft() - source.topLeft(), m_photograph, inside);
    }
    update();
}

void TLupa::MoveCrosshair(int dx, int dy)
{
    if (m_geometry.moveCrosshair(dx, dy))
        update();
}

void TLupa::ResetCrosshair()
{
    if (m_geometry.resetCrosshair())
        update();
}

void TLupa::SetZoom(int zoom)
{
    if (m_geometry.setZoom(zoom))
        applySize();
}

void TLupa::SetArea(int area)
{
    if (m_geometry.setArea(area))
        applySize();
}

bool TLupa::runModal()
{
    hide();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    setFocus();
    QEventLoop loop;
    m_loop = &loop;
    Q_EMIT modalPhaseStarted();
    update();
    const bool placed = loop.exec(QEventLoop::DialogExec) == 0;
    m_loop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    show();
    return placed;
}

void TLupa::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    keepOnScreen();
}

void TLupa::paintEvent(QPaintEvent *)
{
    const int s = m_geometry.side();
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, s, s), m_picture);
    // The one-pixel lines lie on white bands three pixels wide: the band
    // shows on dark images, the blue line on bright ones.
    const int column = m_geometry.crosshairColumn();
    const int row = m_geometry.crosshairRow();
    painter.fillRect(QRect(column - 1, 0, 3, s), Qt::white);
    painter.fillRect(QRect(0, row - 1, s, 3), Qt::white);
    painter.fillRect(QRect(column, 0, 1, s), crosshairColour);
    painter.fillRect(QRect(0, row, s, 1), crosshairColour);

    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(m_geometry.labelPointSize());
    painter.setFont(font);
    const QPoint at = m_geometry.labelPosition();
    drawOutlinedText(painter, QRect(at, QSize(s, s)), Qt::AlignLeft | Qt::AlignTop,
                     QString::number(m_geometry.zoom()) + QLatin1Char('x'), crosshairColour);
    if (m_loop) {
        QFont hintFont(QStringLiteral("Tahoma"));
        hintFont.setPointSize(9);
        hintFont.setBold(true);
        painter.setFont(hintFont);
        drawOutlinedText(painter, QRect(0, 0, s, s - 8), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap,
                         modalHint(), Qt::black);
    }

    // The frame shows whether the magnifier has the keyboard.
    const QColor frame = isActiveWindow() ? palette().color(QPalette::Active, QPalette::Highlight)
                                          : palette().color(QPalette::Inactive, QPalette::Mid);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(frame, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(1.5, 1.5, s - 3, s - 3), s / 8.0, s / 8.0);
}

// Text in `colour` inside a white outline two pixels wide.
void TLupa::drawOutlinedText(QPainter &painter, const QRect &box, int flags, const QString &text,
                             const QColor &colour)
{
    painter.save();
    painter.setPen(Qt::white);
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy)
            if (dx != 0 || dy != 0)
                painter.drawText(box.translated(dx, dy), flags, text);
    painter.setPen(colour);
    painter.drawText(box, flags, text);
    painter.restore();
}

void TLupa::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left: MoveCrosshair(-1, 0); break;
    case Qt::Key_Up: MoveCrosshair(0, -1); break;
    case Qt::Key_Right: MoveCrosshair(1, 0); break;
    case Qt::Key_Down: MoveCrosshair(0, 1); break;
    case Qt::Key_Clear: ResetCrosshair(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_loop)
            m_loop->exit(0);
        break;
    case Qt::Key_Escape:
        if (m_loop)
            m_loop->exit(1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TLupa::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragAnchor = event->position().toPoint();
}

// The anchor stays where the press was, so the window follows the mouse.
void TLupa::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint delta = event->position().toPoint() - m_dragAnchor;
    if (!delta.isNull()) {
        move(pos() + delta);
        keepOnScreen();
    }
}

// After a drag the keyboard goes back to the measurement window, whose
// shortcuts then work again; in the modal phase the magnifier keeps it.
void TLupa::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_loop)
        return;
    if (QWidget *owner = parentWidget()) {
        owner->activateWindow();
        owner->setFocus();
    }
}

void TLupa::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        update();
    QWidget::changeEvent(event);
}

void TLupa::closeEvent(QCloseEvent *event)
{
    // Closing only ends the modal phase; the magnifier is hidden through
    // its owner's menu.
    if (m_loop)
        m_loop->exit(0);
    event->ignore();
}

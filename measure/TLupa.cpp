#include "TLupa.h"

#include "MarkerColors.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

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
    update();
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

void TLupa::runModal()
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
    loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    show();
}

void TLupa::paintEvent(QPaintEvent *)
{
    const int s = m_geometry.side();
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, s, s), m_picture);
    painter.fillRect(QRect(m_geometry.crosshairColumn(), 0, 1, s), crosshairColour);
    painter.fillRect(QRect(0, m_geometry.crosshairRow(), s, 1), crosshairColour);

    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(m_geometry.labelPointSize());
    painter.setFont(font);
    painter.setPen(crosshairColour);
    const QPoint at = m_geometry.labelPosition();
    painter.drawText(QRect(at, QSize(s, s)), Qt::AlignLeft | Qt::AlignTop,
                     QString::number(m_geometry.zoom()) + QLatin1Char('x'));

    // The frame shows whether the magnifier has the keyboard.
    const QColor frame = isActiveWindow() ? palette().color(QPalette::Active, QPalette::Highlight)
                                          : palette().color(QPalette::Inactive, QPalette::Mid);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(frame, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(1.5, 1.5, s - 3, s - 3), s / 8.0, s / 8.0);
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
    if (!delta.isNull())
        move(pos() + delta);
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

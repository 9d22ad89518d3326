#include "PointPlacement.h"

#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "PlacementHost.h"
#include "PointMarkers.h"
#include "StatusText.h"

PointPlacement::PointPlacement(PointMarkers &markers, PlacementHost &host)
    : m_markers(markers), m_host(host)
{
}

void PointPlacement::reset()
{
    m_pressPending = false;
    m_renumberPending = false;
}

QPointF PointPlacement::measured(int x, int y) const
{
    return QPointF(x, y) + m_host.fineOffset();
}

void PointPlacement::placeStatus(int x, int y)
{
    const QPointF at = measured(x, y);
    m_host.setStatus(3, StatusText::place(at.x(), at.y()));
}

void PointPlacement::mouseMove(Shift shift, int x, int y)
{
    m_lastMouse = QPoint(x, y);
    if (m_host.magnifierShown())
        m_host.grabArea(x, y);
    const QPointF at = measured(x, y);
    m_host.setStatus(0, StatusText::column(at.x()));
    m_host.setStatus(1, StatusText::row(at.y()));

    const int hit = m_markers.PointAt(x, y);
    if (hit == -1) {
        m_markers.setHoverIndex(-1);
        placeStatus(x, y);
        return;
    }
    // The text is chosen only when the mouse enters a point: Ctrl pressed or
    // released while the mouse stays on it changes nothing.
    if (hit == m_markers.HoverIndex())
        return;
    m_markers.setHoverIndex(hit);
    const TPoint2 &p = m_markers.point(hit);
    m_host.setStatus(3, shift.ctrl ? StatusText::remove(p.x, p.y) : StatusText::point(p.x, p.y));
}

void PointPlacement::mouseDown(Button, Shift shift, int x, int y)
{
    m_host.enableSave();
    if (!(shift.buttons & LeftButton) || (shift.buttons & RightButton))
        return;
    m_pressPending = true;
    const int hover = m_markers.HoverIndex();
    if (hover == -1) {
        placeStatus(x, y);
        return;
    }
    const TPoint2 &p = m_markers.point(hover);
    if (shift.ctrl) {
        m_host.setStatus(3, StatusText::remove(p.x, p.y));
        return;
    }
    m_host.setStatus(3, StatusText::point(p.x, p.y));
    m_pressPending = false;
    m_renumberPending = true;
}

void PointPlacement::mouseUp(Button, Shift shift, int x, int y)
{
    // Nothing happens until the last of the left and right buttons is up.
    if (shift.buttons & (LeftButton | RightButton))
        return;
    const bool press = m_pressPending;
    const bool renumberRequested = m_renumberPending;
    reset();
    if (press)
        releasePress(shift.ctrl, x, y);
    else if (renumberRequested && m_markers.HoverIndex() != -1)
        renumber();
}

void PointPlacement::releasePress(bool ctrl, int x, int y)
{
    if (m_markers.HoverIndex() == -1) {
        ctrl = false;
        // Esc in the magnifier cancels: no point, nothing changes.
        if (m_host.magnifierShown() && !m_host.runMagnifierModal()) {
            m_host.setStatus(3, QString());
            return;
        }
        const QPointF at = measured(x, y);
        m_markers.setHoverIndex(m_markers.AddPoint(at.x(), at.y()));
    }
    const int hover = m_markers.HoverIndex();
    if (ctrl) {
        m_markers.DeletePoint(hover);
        m_markers.setHoverIndex(-1);
        m_host.setStatus(3, QString());
        return;
    }
    if (m_markers.ActiveIndex() != hover) {
        m_markers.SetActive(hover);
        const TPoint2 &p = m_markers.point(hover);
        m_host.setStatus(2, StatusText::active(p.x, p.y));
    }
    m_host.setStatus(3, QString());
}

void PointPlacement::renumber()
{
    const int hover = m_markers.HoverIndex();
    QString answer;
    if (!m_host.askNewNumber(hover + 1, &answer))
        return;
    int number = 0;
    if (!LocaleFormat::parseInteger(answer, &number, true))
        throw KelvarinError(QStringLiteral("'%1' не является целым числом").arg(answer));
    // Compared before subtracting: the lowest integer has no predecessor.
    if (number < 1 || number > m_markers.Count()) {
        m_host.refuseNumber();
        return;
    }
    const int target = number - 1;
    m_markers.MovePoint(hover, target);
    m_markers.setHoverIndex(target);
}

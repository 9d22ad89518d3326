#pragma once

#include <QPointF>
#include <QString>

// What point placement needs from the measurement window around it: the
// status panels, the save command, the magnifier and the renumber question.
class PlacementHost
{
public:
    virtual ~PlacementHost() = default;

    virtual void setStatus(int panel, const QString &text) = 0;
    // Marks the points as unsaved ("Сохранить точки" enabled).
    virtual void enableSave() = 0;

    virtual bool magnifierShown() const = 0;
    virtual void grabArea(int x, int y) = 0;
    // The magnifier's modal phase; returns when the operator has finished
    // adjusting the crosshair: true to place the point, false when cancelled.
    virtual bool runMagnifierModal() = 0;
    // The magnifier's shift in image pixels; (0, 0) while it is hidden.
    virtual QPointF fineOffset() const = 0;

    // Asks for a point's new number; false when cancelled.
    virtual bool askNewNumber(int currentNumber, QString *answer) = 0;
    // Tells the operator the number is out of range.
    virtual void refuseNumber() = 0;
};

#pragma once

// Shows the busy cursor for the life of the guard and restores the previous
// cursor however the operation ends (return or exception). Guards nest.
class TWaitCursor
{
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

#pragma once

#include <QDateTime>
#include <QString>

// The one formatter of times as ISO 8601 with the UTC offset, for the
// journal, its export, the event log and the check:
// 2026-03-01T12:00:05.250+03:00 (or without the milliseconds). An invalid
// time is an empty text.
class IsoTime
{
public:
    enum class Precision { Seconds, Milliseconds };

    // In the time's own offset (local time for a local time).
    static QString text(const QDateTime &time, Precision precision = Precision::Milliseconds);
    // In UTC, "+00:00": texts of one length whose order is the order of the times.
    static QString utcText(const QDateTime &time);
};

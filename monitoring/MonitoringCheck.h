#pragma once

#include "JournalSource.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The check for monitoring systems in the convention of Nagios and Icinga
// plugins: one line "KELVARIN2 OK|WARNING|CRITICAL|UNKNOWN - text | perfdata"
// and the exit status 0, 1, 2 or 3. It looks at the last image of a run: the
// status is the worst level of its zones' monitored displacement; the
// performance data give each zone's magnitude with the warning and alarm
// limits, "zone3=0.42mm;1;2" (no unit for pixels, an empty field for a limit
// that is not set). UNKNOWN when it cannot tell: no journal, no run, no image,
// the image older than the allowed age, or no zone with a value in it.
class MonitoringCheck
{
public:
    enum Status { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

    struct Result
    {
        Status status = Unknown;
        QString line;
        int exitCode() const { return int(status); }
    };

    // `maxAgeSeconds` < 0: any age will do.
    static Result evaluate(qint64 runId, const QList<TJournalRow> &runRows, const MonitoringSettings &settings,
                           const QDateTime &now, qint64 maxAgeSeconds);
    static Result unknown(const QString &reason);

    // The whole check on a journal: the run given as text (empty: the newest
    // run), its rows, then evaluate(). A journal that could not be opened is
    // null and `problem` says why.
    static Result run(JournalSource *journal, const QString &problem, const QString &runText,
                      const MonitoringSettings &settings, const QDateTime &now, qint64 maxAgeSeconds);

    // "90", "90s", "15m", "2h", "1d" in seconds; false for anything else.
    static bool parseAge(const QString &text, qint64 *seconds);

    static QString statusName(Status status);
};

#pragma once

#include "JournalSource.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The check for monitoring systems in the convention of Nagios and Icinga
// plugins: one line "KELVARIN2 OK|WARNING|CRITICAL|UNKNOWN - text | perfdata"
// and the exit status 0, 1, 2 or 3. It looks at the last image of a run: the
// status is the worst level of its zones' monitored displacement; a zone with
// a limit whose target was not found in it is at least WARNING, CRITICAL when
// its last value was above the alarm limit. The performance data give each
// zone's magnitude with the warning and alarm limits, "zone3=0.42mm;1;2" (no
// unit for pixels, an empty field for a limit that is not set). UNKNOWN when
// it cannot tell: no journal, no run, no image, the image older than the
// allowed age, or no zone with a value in it.
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

    // What to check: a run given as text, else the newest run of the station
    // (of any station when empty); the limits given (--settings), else those
    // the run recorded when it began.
    struct Request
    {
        QString runText;
        QString station;
        std::optional<MonitoringSettings> settings;
        QDateTime now;
        qint64 maxAgeSeconds = -1; // < 0: any age will do
    };

    // The rows of the last image of a run in which a zone was found (for the
    // last value of a target that is gone now).
    using LastFound = std::function<QList<TJournalRow>(int zone)>;

    // `runRows`: the run's rows, or only those of its last image.
    static Result evaluate(qint64 runId, const QList<TJournalRow> &runRows, const MonitoringSettings &settings,
                           const QDateTime &now, qint64 maxAgeSeconds, const LastFound &lastFound = {});
    static Result unknown(const QString &reason);

    // The whole check on a journal: the run, the limits, the run's last image,
    // then evaluate(). A journal that could not be opened is null and
    // `problem` says why.
    static Result run(JournalSource *journal, const QString &problem, const Request &request);

    // "90", "90s", "15m", "2h", "1d" in seconds; false for anything else,
    // also for an age too large to count in seconds.
    static bool parseAge(const QString &text, qint64 *seconds);

    static QString statusName(Status status);
};

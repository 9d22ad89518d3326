#pragma once

#include "TJournalDisplacements.h"
#include "TJournalRow.h"

#include <QList>
#include <QString>

#include <memory>

// What the monitoring reads from the measurement journal: its runs and the
// rows of one run. The check, the charts and their tests work against this,
// so they can be given rows without a database.
class JournalSource
{
public:
    virtual ~JournalSource() = default;
    virtual QList<TJournalRun> runs() = 0;
    virtual QList<TJournalRow> rows(qint64 runId) = 0;
    // The displacement of a run's zones, what the charts draw; false when the
    // journal cannot be read. By default made from rows().
    virtual bool displacements(qint64 runId, TJournalDisplacements *out);
    // Why the last reading failed, empty when it did not.
    virtual QString errorString() const { return {}; }
    // The newest run, 0 when there is none.
    virtual qint64 lastRunId() = 0;
    // The newest run of a station, 0 when there is none. By default from runs().
    virtual qint64 lastRunIdOfStation(const QString &station);
    // The settings the run recorded when it began ("Key=Value" lines); false
    // when the run is not in the journal (errorString() empty) or the journal
    // cannot be read. By default: any run of runs(), without settings.
    virtual bool runSettings(qint64 runId, QString *settings);
    // The rows of the run's last image (with `foundZone` > 0: of the last
    // image in which that zone was found), in zone order; false when the
    // journal cannot be read. By default from rows().
    virtual bool lastImageRows(qint64 runId, int foundZone, QList<TJournalRow> *rows);

    // Opens the journal at a location (an SQLite file path or a postgresql://
    // URL) for reading only; null with `error` filled when it cannot be opened.
    static std::unique_ptr<JournalSource> open(const QString &location, QString *error);
    // The journal location of a settings file: "JournalUrl", else "JournalFile".
    static QString locationOf(const QString &settingsFile);
};

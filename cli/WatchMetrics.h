#pragma once

#include "MonitoringSettings.h"
#include "PrometheusMetrics.h"

#include <QString>

class TIssueSink;

// The --metrics file of a watch: the station's state in the Prometheus text
// format (PrometheusMetrics), rewritten whole and atomically at the start,
// after every image and when the counts change, for node_exporter's textfile
// collector. A failure to write is a warning, told once until a writing
// succeeds again; the watch goes on.
class WatchMetrics
{
public:
    WatchMetrics(const QString &path, const QString &station, const MonitoringSettings &settings,
                 TIssueSink &issues);

    void imageMeasured(const QList<TJournalRow> &rows);
    // Rewrites the file when a count differs from the one written.
    void updateCounts(qint64 setAside, std::optional<qint64> waitingForJournal);
    bool write();

private:
    QString m_path;
    MonitoringSettings m_settings;
    TIssueSink &m_issues;
    PrometheusMetrics::Station m_state;
    QString m_failure;
};

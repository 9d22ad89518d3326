#include "WatchMetrics.h"

#include "AtomicFile.h"
#include "TIssue.h"

WatchMetrics::WatchMetrics(const QString &path, const QString &station, const MonitoringSettings &settings,
                           TIssueSink &issues)
    : m_path(path), m_settings(settings), m_issues(issues)
{
    m_state.name = station;
    m_state.processed = 0;
    m_state.setAside = 0;
}

void WatchMetrics::imageMeasured(const QList<TJournalRow> &rows)
{
    m_state.processed = *m_state.processed + 1;
    m_state.lastImageRows = rows;
    if (!rows.isEmpty())
        m_state.lastImage = rows.first().imageTime.isValid() ? rows.first().imageTime : rows.first().processedAt;
    write();
}

void WatchMetrics::updateCounts(qint64 setAside, std::optional<qint64> waitingForJournal)
{
    if (m_state.setAside == setAside && m_state.waitingForJournal == waitingForJournal)
        return;
    m_state.setAside = setAside;
    m_state.waitingForJournal = waitingForJournal;
    write();
}

bool WatchMetrics::write()
{
    QString error;
    if (AtomicFile::write(m_path, PrometheusMetrics::format(m_state, m_settings), &error)) {
        m_failure.clear();
        return true;
    }
    if (error != m_failure) {
        m_issues.report(TIssue::make(TIssue::Severity::Warning, TIssue::Source::Watch, m_path,
                                     QStringLiteral("файл метрик %1 не записан: %2").arg(m_path, error)));
    }
    m_failure = error;
    return false;
}

#pragma once

#include "TIssue.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <functional>
#include <memory>

// What a run hands the journal, written as it comes: the run when it begins,
// each image in its own transaction, the end, and the events in between.
//
// A journal that cannot be opened or written never stops the run: the first
// failure goes once to the failure handler (the status line, stderr) and the
// recorder remembers it, so the tool can end with its failure exit code.
// Later images are still tried; one that went through does not clear it.
class TJournalRecorder : public TMeasurementRecorder, public TIssueSink
{
public:
    // location: a file or postgresql:// address; empty: the journal the
    // settings of each run name (JournalUrl, JournalFile, else the default
    // file in the working directory).
    explicit TJournalRecorder(const QString &location = QString());
    ~TJournalRecorder() override;

    // Called with the text of a failure (naming the journal and the reason).
    void setFailureHandler(std::function<void(const QString &)> handler) { m_onFailure = std::move(handler); }

    void beginRun(const QString &kind, const QString &base, const TParameters &params,
                  const QList<TZoneInfo> &zones) override;
    void recordImage(const TRecordedImage &image) override;
    void endRun(const QString &base) override;
    void report(const TIssue &issue) override;

    // Whether writing failed during the latest run (or its start).
    bool failed() const { return !m_failure.isEmpty(); }
    QString failure() const { return m_failure; }
    QString displayLocation() const { return m_journal->displayLocation(); }
    qint64 runId() const { return m_runId; }
    // The run begun last, also after its end; 0 when none could be written.
    qint64 lastRunId() const { return m_lastRunId; }
    TJournal &journal() { return *m_journal; }

    // The settings of a run as the journal keeps them, "Key=Value" per line.
    static QString settingsText(const TParameters &params);

private:
    void noteFailure(const QString &text);

    bool m_followSettings = false;
    QString m_location;
    std::unique_ptr<TJournal> m_journal;
    std::function<void(const QString &)> m_onFailure;
    qint64 m_runId = 0;
    qint64 m_lastRunId = 0;
    QList<QPointF> m_origins;
    QString m_failure;
    bool m_reporting = false;
};

#pragma once

#include "TIssue.h"
#include "TJournal.h"
#include "TMeasurementRecorder.h"

#include <functional>
#include <memory>

class QObject;
class TJournalWriter;

// What a run hands the journal, written as it comes: the run when it begins,
// each image in its own transaction, the end, and the events in between. The
// writing is done on a thread of its own (TJournalWriter) while the run goes
// on; the end of a run waits until all of it is written.
//
// A journal that cannot be opened or written never stops the run: the first
// failure goes once to the failure handler (the status line, stderr) and the
// recorder remembers it, so the tool can end with its failure exit code.
// Later images are still tried; one that went through does not clear it.
// The handler is called on the thread that made the recorder: at the next
// image or the end of the run, or from its event loop when it is idle.
class TJournalRecorder : public TMeasurementRecorder, public TIssueSink
{
public:
    // location: a file or postgresql:// address; empty: the journal the
    // settings of each run name (JournalUrl, JournalFile, else the default
    // file in the working directory).
    explicit TJournalRecorder(const QString &location = QString());
    ~TJournalRecorder() override;

    // Starts opening the journal named at construction on the writer's
    // thread, so that the opening overlaps the caller's preparing of its run
    // (otherwise it is opened when the first run begins).
    void openNow();

    // The settings file the runs are read from: its keys beyond those of the
    // settings record (the monitoring's limits, reference zones and pixel
    // sizes) are recorded with each run too.
    void setSettingsFile(const QString &file) { m_settingsFile = file; }

    // Called with the text of a failure (naming the journal and the reason).
    void setFailureHandler(std::function<void(const QString &)> handler) { m_onFailure = std::move(handler); }
    // The pauses between tries of a journal that is away (ms; by default from
    // a second, doubling, up to a minute).
    void setRetryPauses(int first, int longest);
    // Called with what the event log should say of an outage of the journal:
    // when it went away, how many images wait, when they were written.
    void setNoticeHandler(std::function<void(const TIssue &)> handler) { m_onNotice = std::move(handler); }
    // The images measured and not yet in the journal (queued, or waiting in
    // the spool while the journal is away); 0 before the first run.
    int waitingImages() const;

    void beginRun(const QString &kind, const QString &base, const TParameters &params,
                  const QList<TZoneInfo> &zones) override;
    void recordImage(const TRecordedImage &image) override;
    void recordLaterFate(const TRecordedImage &image) override;
    void imagesEnded() override;
    void endRun(const QString &base) override;
    void report(const TIssue &issue) override;

    // Whether writing failed during the latest run (or its start) and the
    // journal has not caught up since: an outage whose records were all
    // written once it answered again is no failure of the run (failure()
    // still tells what happened).
    bool failed() const;
    QString failure() const { return m_failure; }
    QString displayLocation() const;
    // The run ended last; 0 when none could be written.
    qint64 lastRunId() const { return m_lastRunId; }

    // The settings of a run as the journal keeps them, "Key=Value" per line,
    // a password in JournalUrl taken out.
    static QString settingsText(const TParameters &params);
    // The keys of a settings file that settingsText() does not hold, as it writes them.
    static QString otherSettingsText(const QString &file);

private:
    void startWriter();
    void takeFailures();
    void noteFailure(const QString &text);

    bool m_followSettings = false;
    QString m_location;
    QString m_settingsFile;
    // Lives on the recorder's thread: the writer's failures are told from there.
    std::unique_ptr<QObject> m_home;
    std::unique_ptr<TJournalWriter> m_writer;
    std::function<void(const QString &)> m_onFailure;
    std::function<void(const TIssue &)> m_onNotice;
    bool m_running = false;
    qint64 m_lastRunId = 0;
    QString m_failure;
    bool m_reporting = false;
    int m_firstPause = 1000;
    int m_longestPause = 60000;
};

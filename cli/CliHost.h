#pragma once

#include "EventLog.h"
#include "TFinderHost.h"
#include "TRunHost.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class ProgressLine;
class QTextStream;
class TIssueSink;
class TPointFinder;

// The terminal side of a run: progress lines and every reported issue go to
// standard error, warnings and errors also to the event log of the working
// directory; the view hooks show nothing and step dialogs never stop. Each
// line carries its priority when standard error is the system journal.
class CliHost : public TRunHost, public TFinderHost
{
public:
    explicit CliHost(QTextStream &err);
    ~CliHost() override;

    // Instead of a line per image, one progress line rewritten in place
    // (for a terminal), for a run of `total` images; ended by endProgress().
    void showProgress(int total);
    void endProgress();

    void setFinder(TPointFinder *finder) { m_finder = finder; }
    // Where the errors printed also go (the journal's events).
    void setIssueSink(TIssueSink *sink) { m_issues = sink; }
    // Called after the progress line of every image (the watch's monitoring).
    void setImageHook(std::function<void(const QString &path)> hook) { m_imageHook = std::move(hook); }

    void SetStatusText(const QString &) override {}
    void EnableCommands(bool) override {}
    void ProcessEvents() override;
    void ImageProcessed(const QString &path, int index) override;
    void report(const TIssue &issue) override;
    // Into the event log only (what was printed its own way).
    void logEvent(const TIssue &issue);

    // Where the event log goes: the working directory once the settings are read.
    void setEventLogDirectory(const QString &directory) { m_events.setDirectory(directory); }

    // Number of images in which each zone's spot was found, by zone.
    QList<int> foundPerZone() const;

    // A stop asked for by a signal handler; checked between images.
    static void requestStop(int signalNumber);
    // The status a shell gives a command ended by the stopping signal: 130
    // for SIGINT, 143 for SIGTERM; 0 when no signal came.
    static int interruptedStatus();

private:
    QTextStream &m_err;
    TPointFinder *m_finder = nullptr;
    std::function<void(const QString &)> m_imageHook;
    EventLog m_events;
    TIssueSink *m_issues = nullptr;
    std::unique_ptr<ProgressLine> m_progress;
};

#pragma once

#include "EventLog.h"
#include "TFinderHost.h"
#include "TRunHost.h"
#include "TStartHost.h"
#include "TWaitCursor.h"

#include <optional>

class TMainForm;

// The main window's side of the engine, of a run and of the start styles:
// the view while an image is processed, the status text, the command lock,
// the lists, the busy cursor, and every issue (message box or status line,
// the event log, the journal and the warning indicator). The window owns one
// and hands it to the engine and the start control.
class MainFormHost final : public TFinderHost,
                           public TRunHost,
                           public TStartHost
{
public:
    explicit MainFormHost(TMainForm &form) : m_form(form) {}

    // TFinderHost: the view while the engine loads and processes an image.
    void ShowImage(bool show) override;
    void HideOverlay() override;
    void ShowMask() override;
    bool ConfirmStep(const QString &text) override;
    void ShowNotice(const QString &text) override;
    void MarkPoint(int x, int y) override;
    void EndImage() override;
    void DrawZoneOverlay() override;

    // TRunHost: the window's side of a run.
    void SetStatusText(const QString &text) override;
    void EnableCommands(bool on) override;
    void ProcessEvents() override;
    void ShowOverlay() override;
    void ShowMeasuredImage(const QString &path) override;
    void ImageProcessed(const TRecordedImage &image, int index) override;
    // TIssueSink: a run's error in a message box, a watch's warning in the
    // status line; both in the event log and the warning indicator.
    void report(const TIssue &issue) override;
    // Into the event log and the warning sign only (what was shown its own way).
    void logIssue(const TIssue &issue);
    void BeginBusy() override;
    void EndBusy() override;

    // TStartHost: the lists and the scheduled run of the start styles.
    void EnableFileLists(bool on) override;
    void ShowDirectory(const QString &directory) override;
    void StartScheduledRun() override;

private:
    TMainForm &m_form;
    std::optional<TWaitCursor> m_busy;
    EventLog m_events;
};

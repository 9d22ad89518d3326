#pragma once

#include "TIssue.h"
#include "TRecordedImage.h"

#include <QString>

// What a run needs from the program that drives it: the main window shows the
// status texts, locks its commands and processes events between images; the
// headless tool prints progress instead. Errors and warnings of runs and
// watches go to report() (TIssueSink): the window shows them (message box for
// a run's error, status line for a watch's warning), the tool prints them, and
// both keep them in the event log.
class TRunHost : public TIssueSink
{
public:
    virtual ~TRunHost() = default;

    // Status line text; the texts begin with one blank.
    virtual void SetStatusText(const QString &text) = 0;
    // Lock or unlock the window's commands as one group (only "stop" usable while locked).
    virtual void EnableCommands(bool on) = 0;
    // Let pending events through: the stop button and Esc are seen here.
    virtual void ProcessEvents() = 0;
    // The found-point overlay is visible again at the end of a run.
    virtual void ShowOverlay() {}
    // Several jobs measured the run and this image's points were just added
    // (Finder's last measurements): the window shows it when visualisation is
    // on. (One job shows its images through the finder's view hooks.)
    virtual void ShowMeasuredImage(const QString &path) { Q_UNUSED(path); }
    // An image was processed (its position in the run, from 0): its record,
    // the same the journal gets.
    virtual void ImageProcessed(const TRecordedImage &image, int index) { Q_UNUSED(image); Q_UNUSED(index); }
    // Busy indication around the whole run (the wait cursor of the window).
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
};

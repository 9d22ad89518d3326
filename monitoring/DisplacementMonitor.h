#pragma once

#include "AlarmCommand.h"
#include "AlarmTracker.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QList>

class TIssueSink;

// The monitoring of a watch or a run, image by image: evaluates each image's
// rows, reports every limit crossing as an issue of severity warning or alarm
// (source "monitoring", the image as its file) and starts the alarm command
// for it. One per run; never waits for the command.
class DisplacementMonitor
{
public:
    DisplacementMonitor(const MonitoringSettings &settings, TIssueSink &sink);

    const MonitoringSettings &settings() const { return m_settings; }
    AlarmCommand &command() { return m_command; }

    // The rows of one image; returns the events it raised.
    QList<AlarmEvent> imageMeasured(const QList<TJournalRow> &rows);
    // The level a zone is at after the images so far.
    LimitLevel levelOf(int zone) const { return m_tracker.levelOf(zone); }

private:
    MonitoringSettings m_settings;
    TIssueSink &m_sink;
    AlarmTracker m_tracker;
    AlarmCommand m_command;
};

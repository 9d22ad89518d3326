#include "DisplacementMonitor.h"

#include "TIssue.h"

DisplacementMonitor::DisplacementMonitor(const MonitoringSettings &settings, TIssueSink &sink)
    : m_settings(settings), m_sink(sink), m_command(sink)
{
    m_command.setCommand(settings.alarmCommand);
}

QList<AlarmEvent> DisplacementMonitor::imageMeasured(const TRecordedImage &image)
{
    if (!m_settings.hasLimits())
        return {};
    const QList<AlarmEvent> events = m_tracker.update(Displacement::evaluate(image, m_settings), m_settings);
    for (const AlarmEvent &event : events) {
        TIssue issue;
        issue.severity = event.level == LimitLevel::Alarm ? TIssue::Severity::Alarm : TIssue::Severity::Warning;
        issue.source = TIssue::Source::Monitoring;
        issue.file = event.image;
        issue.text = event.text();
        m_sink.report(issue);
        m_command.start(event);
    }
    return events;
}

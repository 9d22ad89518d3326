#pragma once

#include "DisplacementMonitor.h"
#include "TIssue.h"

#include <QObject>

#include <memory>

class AlarmIndicator;
class QAction;
class QMainWindow;
class TDisplacementChartForm;
class TPointFinder;

// What the main window gains for displacement monitoring: the menu "Вид" with
// "Графики смещений" (Ctrl+G), the alarm indicator of the status bar, and the
// monitoring of every image its runs and watches measure: limits checked,
// events raised, the alarm command started, the chart fed. The monitoring
// settings are read from the settings file at the start of every run.
class TDisplacementMonitoring : public QObject, public TIssueSink
{
    Q_OBJECT

public:
    TDisplacementMonitoring(QMainWindow *window, const TPointFinder &finder, const QString &settingsFile);
    ~TDisplacementMonitoring() override;

    QAction *chartAction() const { return m_chartAction; }
    AlarmIndicator *indicator() const { return m_indicator; }
    // The chart window, made on first use.
    TDisplacementChartForm *chartForm();

    void report(const TIssue &issue) override;

public Q_SLOTS:
    // An image of a run or watch was measured (index 0: a new run began).
    void imageProcessed(const QString &path, int index);
    void showCharts();

    // What the main window's status says while a warning or an alarm is not
    // acknowledged: " АВАРИЯ! " and the latest event; empty when none.
    QString alarmNotice() const;

Q_SIGNALS:
    // A limit crossing or a failed alarm command, for the event log.
    void issueRaised(const TIssue &issue);
    // The indicator's level changed: a new event, or the user acknowledged.
    void alarmStateChanged();

private:
    QMainWindow *m_window;
    const TPointFinder &m_finder;
    QString m_settingsFile;
    QAction *m_chartAction = nullptr;
    AlarmIndicator *m_indicator = nullptr;
    TDisplacementChartForm *m_form = nullptr;
    std::unique_ptr<DisplacementMonitor> m_monitor;
    QString m_lastEvent;
};

#include "TDisplacementMonitoring.h"

#include "AlarmIndicator.h"
#include "ImageRows.h"
#include "JournalSource.h"
#include "TDisplacementChartForm.h"
#include "TPointFinder.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

TDisplacementMonitoring::TDisplacementMonitoring(QMainWindow *window, const TPointFinder &finder,
                                                 const QString &settingsFile)
    : QObject(window), m_window(window), m_finder(finder), m_settingsFile(settingsFile)
{
    setObjectName(QStringLiteral("TDisplacementMonitoring"));
    // "Вид" goes before "Помощь", the last menu.
    auto *view = new QMenu(QStringLiteral("Вид"), window->menuBar());
    view->setObjectName(QStringLiteral("ViewMenu"));
    const QList<QAction *> menus = window->menuBar()->actions();
    window->menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.last(), view);
    m_chartAction = view->addAction(QStringLiteral("Графики смещений"));
    m_chartAction->setObjectName(QStringLiteral("ChartAction"));
    m_chartAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    m_chartAction->setShortcutContext(Qt::ApplicationShortcut);
    window->addAction(m_chartAction);
    connect(m_chartAction, &QAction::triggered, this, &TDisplacementMonitoring::showCharts);

    m_indicator = new AlarmIndicator(window->statusBar());
    window->statusBar()->addPermanentWidget(m_indicator);
    connect(m_indicator, &AlarmIndicator::acknowledged, this, &TDisplacementMonitoring::alarmStateChanged);
    m_monitor = std::make_unique<DisplacementMonitor>(MonitoringSettings::readFile(m_settingsFile), *this);
}

TDisplacementMonitoring::~TDisplacementMonitoring() = default;

TDisplacementChartForm *TDisplacementMonitoring::chartForm()
{
    if (!m_form) {
        m_form = new TDisplacementChartForm(m_window);
        m_form->setSettings(m_monitor->settings());
    }
    return m_form;
}

void TDisplacementMonitoring::showCharts()
{
    TDisplacementChartForm *form = chartForm();
    form->setSettings(MonitoringSettings::readFile(m_settingsFile));
    QString problem;
    std::unique_ptr<JournalSource> journal = JournalSource::open(JournalSource::locationOf(m_settingsFile), &problem);
    form->setJournal(std::move(journal), problem);
    form->show();
    form->raise();
    form->activateWindow();
}

void TDisplacementMonitoring::imageProcessed(const QString &path, int index)
{
    if (index == 0) {
        m_monitor = std::make_unique<DisplacementMonitor>(MonitoringSettings::readFile(m_settingsFile), *this);
        chartForm()->currentRunStarted();
    }
    const QList<TJournalRow> rows = ImageRows::lastImage(m_finder.zones(), path);
    const QList<AlarmEvent> events = m_monitor->imageMeasured(rows);
    for (const AlarmEvent &event : events)
        m_indicator->addEvent(event);
    chartForm()->imageMeasured(rows);
    // The chart shows where every zone stands now, acknowledged or not.
    QMap<int, LimitLevel> levels;
    for (const TJournalRow &row : rows)
        levels.insert(row.zone, m_monitor->levelOf(row.zone));
    chartForm()->showLimitLevels(levels);
    if (!events.isEmpty()) {
        m_lastEvent = events.last().text();
        Q_EMIT alarmStateChanged();
    }
}

// Short, so that the status line shows the zone: the time and the list of
// events are in the indicator's tool tip.
QString TDisplacementMonitoring::alarmNotice() const
{
    if (m_indicator->level() == LimitLevel::None || m_lastEvent.isEmpty())
        return {};
    return QStringLiteral(" %1! %2").arg(m_indicator->text(), m_lastEvent);
}

void TDisplacementMonitoring::report(const TIssue &issue)
{
    Q_EMIT issueRaised(issue);
}

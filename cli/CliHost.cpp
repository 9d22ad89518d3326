#include "CliHost.h"

#include "ProgressLine.h"
#include "StderrPriority.h"
#include "TIssue.h"
#include "TPointFinder.h"

#include <QFileInfo>
#include <QTextStream>

#include <atomic>

static std::atomic<int> signalStop{0};

CliHost::CliHost(QTextStream &err)
    : m_err(err)
{
}

CliHost::~CliHost() = default;

void CliHost::showProgress(int total)
{
    m_progress = std::make_unique<ProgressLine>(m_err, total);
}

void CliHost::endProgress()
{
    if (m_progress)
        m_progress->finish();
    m_progress.reset();
}

void CliHost::ProcessEvents()
{
    if (m_finder && signalStop.load() != 0)
        m_finder->StopRequested = true;
}

void CliHost::ImageProcessed(const QString &path, int index)
{
    Q_UNUSED(index);
    int found = 0;
    int zones = 0;
    if (m_finder) {
        for (const TZoneInfo &zone : m_finder->zones()) {
            ++zones;
            if (!zone.points.isEmpty() && !zone.points.last().isNotFound())
                ++found;
        }
    }
    if (m_progress)
        m_progress->imageDone();
    else
        m_err << StderrPriority::marked(TIssue::Severity::Information,
                                        QFileInfo(path).fileName()
                                            + QStringLiteral(": найдено точек %1 из %2").arg(found).arg(zones))
              << Qt::endl;
    if (m_imageHook)
        m_imageHook(path);
}

void CliHost::report(const TIssue &issue)
{
    if (m_progress)
        m_progress->clear();
    m_err << StderrPriority::marked(issue.severity, QStringLiteral("kelvarin2-cli: ") + issue.text) << Qt::endl;
    logEvent(issue);
    // The measurement journal keeps the run's events too.
    if (m_issues)
        m_issues->report(issue);
}

void CliHost::logEvent(const TIssue &issue)
{
    m_events.report(issue);
    if (!m_events.lastFailure().isEmpty()) {
        m_err << StderrPriority::marked(TIssue::Severity::Warning,
                                        QStringLiteral("kelvarin2-cli: журнал событий %1 не дописан: %2")
                                            .arg(m_events.path(), m_events.lastFailure()))
              << Qt::endl;
    }
}

QList<int> CliHost::foundPerZone() const
{
    QList<int> counts;
    if (!m_finder)
        return counts;
    for (const TZoneInfo &zone : m_finder->zones()) {
        int found = 0;
        for (const VT_Point &p : zone.points)
            found += p.isNotFound() ? 0 : 1;
        counts << found;
    }
    return counts;
}

void CliHost::requestStop(int signalNumber)
{
    signalStop.store(signalNumber);
}

int CliHost::interruptedStatus()
{
    const int signalNumber = signalStop.load();
    return signalNumber == 0 ? 0 : 128 + signalNumber;
}

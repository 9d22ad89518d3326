#include "CliHost.h"

#include "TPointFinder.h"

#include <QFileInfo>
#include <QTextStream>

#include <atomic>

static std::atomic<bool> signalStop{false};

CliHost::CliHost(QTextStream &err)
    : m_err(err)
{
}

void CliHost::ProcessEvents()
{
    if (m_finder && signalStop.load())
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
    m_err << QFileInfo(path).fileName() << QStringLiteral(": найдено точек %1 из %2").arg(found).arg(zones)
          << Qt::endl;
    if (m_imageHook)
        m_imageHook(path);
}

void CliHost::ReportError(const QString &text)
{
    m_err << QStringLiteral("kelvarin2-cli: ") << text << Qt::endl;
}

void CliHost::ReportMessage(const QString &caption, const QString &text)
{
    Q_UNUSED(caption);
    m_err << QStringLiteral("kelvarin2-cli: ") << text << Qt::endl;
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

void CliHost::requestStop()
{
    signalStop.store(true);
}

bool CliHost::stopRequested()
{
    return signalStop.load();
}

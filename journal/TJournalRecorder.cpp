#include "TJournalRecorder.h"

#include "JournalLocation.h"
#include "TParameters.h"
#include "TZoneInfo.h"

#include <QFile>
#include <QRect>

TJournalRecorder::TJournalRecorder(const QString &location)
    : m_followSettings(location.isEmpty()), m_location(location), m_journal(std::make_unique<TJournal>(location))
{
}

TJournalRecorder::~TJournalRecorder() = default;

QString TJournalRecorder::settingsText(const TParameters &p)
{
    // Reals with every digit and "." whatever the locale, so the record is exact.
    const auto real = [](double value) { return QString::number(value, 'g', 17); };
    const auto flag = [](bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); };
    const QList<std::pair<const char *, QString>> keys = {
        {"StartStyle", QString::number(p.StartStyle)},
        {"Koeff_A", real(p.Koeff_A)},
        {"Koeff_n", real(p.Koeff_n)},
        {"Koeff_B", real(p.Koeff_B)},
        {"Koeff_C", real(p.Koeff_C)},
        {"WorkDir", p.WorkDir},
        {"BufferDir", p.BufferDir},
        {"Steps", flag(p.Steps)},
        {"ZonesFileName", p.ZonesFileName},
        {"BMPInputFormat", flag(p.BMPInputFormat)},
        {"AverageYPorog", real(p.AverageYPorog)},
        {"MinSCount", QString::number(p.MinSCount)},
        {"MaxSCount", QString::number(p.MaxSCount)},
        {"StartDate", real(p.StartDate)},
        {"NeedVisualization", flag(p.NeedVisualization)},
        {"ResAutoSave", flag(p.ResAutoSave)},
        {"GlobalAverageYPercent", real(p.GlobalAverageYPercent)},
        {"SaveToOneZip", flag(p.SaveToOneZip)},
        {"SaveToManyZip", flag(p.SaveToManyZip)},
        {"JournalFile", p.JournalFile},
        {"JournalUrl", p.JournalUrl},
        {"CentroidWeighting", QString::number(p.CentroidWeighting)},
    };
    QString text;
    for (const auto &[key, value] : keys)
        text += QString::fromLatin1(key) + QLatin1Char('=') + value + QLatin1Char('\n');
    return text;
}

void TJournalRecorder::beginRun(const QString &kind, const QString &base, const TParameters &params,
                                const QList<TZoneInfo> &zones)
{
    m_runId = 0;
    m_origins.clear();
    m_failure.clear();
    if (m_followSettings && JournalLocation::fromSettings(params) != m_location) {
        m_location = JournalLocation::fromSettings(params);
        m_journal = std::make_unique<TJournal>(m_location);
    }
    TJournal::RunStart run;
    run.kind = kind;
    run.base = base;
    run.settings = settingsText(params);
    run.zonesFile = params.ZonesFileName;
    QFile zoneFile(params.ZonesFileName);
    if (zoneFile.open(QIODevice::ReadOnly))
        run.zonesText = QString::fromLocal8Bit(zoneFile.readAll());
    for (const TZoneInfo &zone : zones) {
        run.zones << QRect(QPoint(zone.X1, zone.Y1), QPoint(zone.X2, zone.Y2));
        m_origins << QPointF(zone.X0, zone.Y0);
    }
    run.origins = m_origins;
    m_runId = m_journal->beginRun(run);
    m_lastRunId = m_runId;
    if (m_runId == 0)
        noteFailure(m_journal->errorString());
}

void TJournalRecorder::recordImage(const TRecordedImage &image)
{
    // Without its run an image has nowhere to go; the failure was told.
    if (m_runId == 0)
        return;
    if (!m_journal->recordImage(m_runId, image, m_origins))
        noteFailure(m_journal->errorString());
}

void TJournalRecorder::endRun(const QString &base)
{
    if (m_runId != 0 && !m_journal->endRun(m_runId, base))
        noteFailure(m_journal->errorString());
    m_runId = 0;
}

void TJournalRecorder::report(const TIssue &issue)
{
    // A failure of the journal itself comes back here through the event
    // channel: it is not written into the journal that just failed.
    // Events go into a journal a run has opened; one that is not open (no run
    // yet, or it could not be opened) is not tried for every event.
    if (m_reporting || !m_journal->isOpen())
        return;
    m_reporting = true;
    if (!m_journal->recordEvent(m_runId, issue))
        noteFailure(m_journal->errorString());
    m_reporting = false;
}

void TJournalRecorder::noteFailure(const QString &text)
{
    const bool first = m_failure.isEmpty();
    m_failure = text;
    if (first && m_onFailure) {
        m_reporting = true;
        m_onFailure(text);
        m_reporting = false;
    }
}

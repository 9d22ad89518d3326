#include "TJournalRecorder.h"

#include "IniFile.h"
#include "JournalLocation.h"
#include "RegularFile.h"
#include "TJournalWriter.h"
#include "TParameters.h"
#include "TZoneInfo.h"

#include <QObject>
#include <QRect>

TJournalRecorder::TJournalRecorder(const QString &location)
    : m_followSettings(location.isEmpty()), m_location(location), m_home(std::make_unique<QObject>())
{
}

void TJournalRecorder::openNow()
{
    if (!m_followSettings && !m_writer)
        startWriter();
}

void TJournalRecorder::startWriter()
{
    // Called on the writer's thread: the failure is told on ours.
    QObject *home = m_home.get();
    m_writer = std::make_unique<TJournalWriter>(m_location, [this, home] {
        QMetaObject::invokeMethod(home, [this] { takeFailures(); }, Qt::QueuedConnection);
    });
    m_writer->setPauses(m_firstPause, m_longestPause);
}

void TJournalRecorder::setRetryPauses(int first, int longest)
{
    m_firstPause = first;
    m_longestPause = longest;
    if (m_writer)
        m_writer->setPauses(first, longest);
}

int TJournalRecorder::waitingImages() const
{
    return m_writer ? m_writer->waitingImages() : 0;
}

// The writer finishes what it was given before the recorder goes.
TJournalRecorder::~TJournalRecorder()
{
    // A run still going (a window closed during a watch) gets its end, with
    // the base it began with: the journal must not show it as running.
    if (m_running) {
        m_running = false;
        m_writer->endRun(QString());
    }
    m_writer.reset();
}

bool TJournalRecorder::failed() const
{
    return !m_failure.isEmpty() && !(m_writer && m_writer->caughtUp());
}

QString TJournalRecorder::displayLocation() const
{
    return JournalLocation::parse(m_location).display();
}

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
        {"JournalUrl", JournalLocation::withoutPassword(p.JournalUrl)},
        {"CentroidWeighting", QString::number(p.CentroidWeighting)},
        {"SpotBackground", flag(p.SpotBackground)},
        {"ConnectedSpot", flag(p.ConnectedSpot)},
        {"CentroidWindow", flag(p.CentroidWindow)},
        {"Station", p.Station},
    };
    QString text;
    for (const auto &[key, value] : keys)
        text += QString::fromLatin1(key) + QLatin1Char('=') + value + QLatin1Char('\n');
    return text;
}

QString TJournalRecorder::otherSettingsText(const QString &file)
{
    if (file.isEmpty())
        return {};
    IniFile ini(file);
    if (!ini.load())
        return {};
    const QString recorded = settingsText(TParameters());
    const QString section = QString::fromLatin1(ParametersSection);
    QString text;
    for (const QString &key : ini.keys(section)) {
        if (recorded.startsWith(key + QLatin1Char('='), Qt::CaseInsensitive)
            || recorded.contains(QLatin1Char('\n') + key + QLatin1Char('='), Qt::CaseInsensitive))
            continue;
        text += key + QLatin1Char('=') + ini.readString(section, key, QString()) + QLatin1Char('\n');
    }
    return text;
}

void TJournalRecorder::beginRun(const QString &kind, const QString &base, const TParameters &params,
                                const QList<TZoneInfo> &zones)
{
    if (m_writer)
        m_writer->waitUntilWritten();
    takeFailures();
    m_failure.clear();
    if (m_followSettings && JournalLocation::fromSettings(params) != m_location) {
        m_location = JournalLocation::fromSettings(params);
        m_writer.reset();
    }
    if (!m_writer)
        startWriter();
    TJournal::RunStart run;
    run.kind = kind;
    run.base = base;
    run.station = params.stationName();
    run.settings = settingsText(params) + otherSettingsText(m_settingsFile);
    run.zonesFile = params.ZonesFileName;
    // The zone file as it was read; a run whose zone file went meanwhile keeps none.
    QByteArray zonesBytes;
    if (RegularFile::read(params.ZonesFileName, &zonesBytes) == RegularFile::Status::Ok)
        run.zonesText = QString::fromLocal8Bit(zonesBytes);
    for (const TZoneInfo &zone : zones) {
        run.zones << QRect(QPoint(zone.X1, zone.Y1), QPoint(zone.X2, zone.Y2));
        run.origins << QPointF(zone.X0, zone.Y0);
    }
    // The spool lies beside the event log. A batch over a list of images may
    // group its commits (a batch that dies is run again); a watch or a timed
    // run has each image durable before the next.
    m_writer->setSpoolDirectory(params.WorkDir);
    m_writer->beginRun(run, kind == QLatin1String("cli") || kind == QLatin1String("manual"));
    m_running = true;
}

void TJournalRecorder::recordImage(const TRecordedImage &image)
{
    if (!m_running)
        return;
    m_writer->recordImage(image);
    takeFailures();
}

void TJournalRecorder::recordLaterFate(const TRecordedImage &image)
{
    if (!m_running)
        return;
    m_writer->recordLaterFate(image);
    takeFailures();
}

// The journal's log is folded into its file while the result files are
// written, so that the run's end waits for little more than its own commit.
// The end itself is written only once the results are (endRun), so that a
// run cut short while writing them has no end.
void TJournalRecorder::imagesEnded()
{
    if (m_running)
        m_writer->checkpoint();
}

void TJournalRecorder::endRun(const QString &base)
{
    if (!m_running)
        return;
    m_running = false;
    m_lastRunId = m_writer->endRun(base);
    takeFailures();
}

void TJournalRecorder::report(const TIssue &issue)
{
    // A failure of the journal itself comes back here through the event
    // channel: it is not written into the journal that just failed.
    // Events go into a journal a run has opened (the writer drops them when
    // it could not open it).
    if (m_reporting || !m_writer)
        return;
    m_writer->recordEvent(issue);
}

void TJournalRecorder::takeFailures()
{
    if (!m_writer)
        return;
    for (const QString &text : m_writer->takeFailures())
        noteFailure(text);
    for (const TIssue &notice : m_writer->takeNotices()) {
        if (m_onNotice) {
            m_reporting = true;
            m_onNotice(notice);
            m_reporting = false;
        }
    }
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

#include "JournalSource.h"

#include "IniFile.h"
#include "JournalLocation.h"
#include "TJournal.h"
#include "TParameters.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The measurement journal read through the monitoring's view of it.
class JournalReader final : public JournalSource
{
public:
    explicit JournalReader(const QString &location) : m_journal(location, TJournal::Access::Read) {}

    bool open(QString *error)
    {
        if (m_journal.open())
            return true;
        *error = m_journal.errorString();
        return false;
    }
    QList<TJournalRun> runs() override { return m_journal.runs(); }
    QList<TJournalRow> rows(qint64 runId) override { return m_journal.rows(runId); }
    bool displacements(qint64 runId, TJournalDisplacements *out) override
    {
        return m_journal.readDisplacements(runId, out);
    }
    QString errorString() const override { return m_journal.errorString(); }
    qint64 lastRunId() override { return m_journal.lastRunId(); }
    qint64 lastRunIdOfStation(const QString &station) override { return m_journal.lastRunIdOfStation(station); }
    bool runSettings(qint64 runId, QString *settings) override { return m_journal.runSettings(runId, settings); }
    bool lastImageRows(qint64 runId, int foundZone, QList<TJournalRow> *rows) override
    {
        return m_journal.lastImageRows(runId, foundZone, rows);
    }

private:
    TJournal m_journal;
};

} // namespace

bool JournalSource::displacements(qint64 runId, TJournalDisplacements *out)
{
    *out = TJournalDisplacements::fromRows(rows(runId));
    return true;
}

qint64 JournalSource::lastRunIdOfStation(const QString &station)
{
    qint64 last = 0;
    for (const TJournalRun &run : runs()) {
        if (run.station == station)
            last = qMax(last, run.id);
    }
    return last;
}

bool JournalSource::runSettings(qint64 runId, QString *settings)
{
    settings->clear();
    const QList<TJournalRun> list = runs();
    return std::any_of(list.begin(), list.end(), [runId](const TJournalRun &run) { return run.id == runId; });
}

bool JournalSource::lastImageRows(qint64 runId, int foundZone, QList<TJournalRow> *rows)
{
    rows->clear();
    const QList<TJournalRow> all = this->rows(runId);
    int last = -1;
    for (const TJournalRow &row : all) {
        if (foundZone <= 0 || (row.zone == foundZone && row.found))
            last = qMax(last, row.number);
    }
    for (const TJournalRow &row : all) {
        if (row.number == last)
            rows->append(row);
    }
    std::sort(rows->begin(), rows->end(), [](const TJournalRow &a, const TJournalRow &b) { return a.zone < b.zone; });
    return true;
}

// The one place that opens the measurement journal for the monitoring. A
// journal file that does not exist is reported, not created: looking at a
// journal must never leave an empty one behind.
std::unique_ptr<JournalSource> JournalSource::open(const QString &location, QString *error)
{
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty()) {
        *error = QStringLiteral("журнал измерений не задан");
        return nullptr;
    }
    if (!JournalLocation::isUrl(trimmed) && !QFileInfo(trimmed).isFile()) {
        *error = QStringLiteral("журнал измерений %1 не найден").arg(QDir::toNativeSeparators(trimmed));
        return nullptr;
    }
    auto reader = std::make_unique<JournalReader>(trimmed);
    if (!reader->open(error))
        return nullptr;
    return reader;
}

// "JournalUrl", else "JournalFile", else the default file in the working
// directory, as the runs that write the journal choose it.
QString JournalSource::locationOf(const QString &settingsFile)
{
    IniFile ini(settingsFile);
    ini.load();
    const QString section = QString::fromLatin1(ParametersSection);
    const QString url = ini.readString(section, QStringLiteral("JournalUrl"), QString()).trimmed();
    if (!url.isEmpty())
        return url;
    const QString file = ini.readString(section, QStringLiteral("JournalFile"), QString()).trimmed();
    if (!file.isEmpty())
        return file;
    const QString workDir = ini.readString(section, QStringLiteral("WorkDir"), QString()).trimmed();
    const QString dir = workDir.isEmpty() ? QDir::currentPath() : workDir;
    return QDir(dir).filePath(QString::fromLatin1(JournalLocation::DefaultFileName));
}

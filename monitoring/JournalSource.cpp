#include "JournalSource.h"

#include "IniFile.h"
#include "JournalLocation.h"
#include "TJournal.h"
#include "TParameters.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The measurement journal read through the monitoring's view of it.
class JournalReader final : public JournalSource
{
public:
    explicit JournalReader(const QString &location) : m_journal(location) {}

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

private:
    TJournal m_journal;
};

} // namespace

bool JournalSource::displacements(qint64 runId, TJournalDisplacements *out)
{
    *out = TJournalDisplacements::fromRows(rows(runId));
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

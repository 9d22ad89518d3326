#include "JournalCommands.h"

#include "IsoTime.h"
#include "JournalExport.h"
#include "JournalLocation.h"
#include "MonitoringExport.h"
#include "MonitoringSettings.h"
#include "SettingsLocation.h"
#include "TJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <unistd.h>

// Writes all of `bytes` to a descriptor; false with the reason at the first failure.
static bool writeAll(int fd, const QByteArray &bytes, QString *error)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = QString::fromLocal8Bit(std::strerror(written < 0 ? errno : EIO));
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

std::unique_ptr<TJournal> JournalReadCommand::openJournal()
{
    if (!expectPaths(0, QStringLiteral("лишние аргументы")) || !loadSettings())
        return nullptr;
    const QString location = journalLocation();
    if (!JournalLocation::isUrl(location) && !QFileInfo(location).isFile()) {
        fail(QStringLiteral("журнал измерений %1 не найден").arg(QDir::toNativeSeparators(location)));
        return nullptr;
    }
    auto journal = std::make_unique<TJournal>(location, TJournal::Access::Read);
    if (!journal->open()) {
        fail(journal->errorString());
        return nullptr;
    }
    return journal;
}

int RunsCommand::execute()
{
    const std::unique_ptr<TJournal> journal = openJournal();
    if (!journal)
        return BadInput;
    const QList<TJournalRun> runs = journal->runs(m_options.station);
    if (!journal->errorString().isEmpty()) {
        fail(journal->errorString());
        return WorkFailed;
    }
    // The station comes last, so that scripts reading the first columns keep working.
    m_out << QStringLiteral("id\tkind\tbase\tstart\tend\timages\tstation") << Qt::endl;
    for (const TJournalRun &run : runs) {
        m_out << run.id << '\t' << run.kind << '\t' << QDir::toNativeSeparators(run.base) << '\t'
              << IsoTime::text(run.start) << '\t' << IsoTime::text(run.end) << '\t' << run.images << '\t'
              << run.station << Qt::endl;
    }
    return Success;
}

qint64 ExportCommand::chosenRun(TJournal &journal)
{
    if (!m_options.runId.isEmpty()) {
        bool ok = false;
        const qint64 id = m_options.runId.toLongLong(&ok);
        for (const TJournalRun &run : journal.runs()) {
            if (ok && run.id == id)
                return id;
        }
        fail(QStringLiteral("в журнале нет прогона %1").arg(m_options.runId));
        return 0;
    }
    const QString &station = m_options.station;
    if (m_options.base.isEmpty()) {
        const qint64 id = station.isEmpty() ? journal.lastRunId() : journal.lastRunIdOfStation(station);
        if (id == 0)
            fail(station.isEmpty() ? QStringLiteral("в журнале нет ни одного прогона")
                                   : QStringLiteral("в журнале нет прогонов станции %1").arg(station));
        return id;
    }
    // The same base at two stations: which one is meant cannot be guessed.
    const QStringList stations = journal.stationsOfBase(m_options.base);
    if (station.isEmpty() && stations.size() > 1) {
        fail(QStringLiteral("набор %1 есть у станций %2: укажите --station")
                 .arg(m_options.base, stations.join(QStringLiteral(", "))));
        return 0;
    }
    const qint64 id = journal.lastRunIdOfBase(m_options.base, station);
    if (id == 0)
        fail(station.isEmpty() ? QStringLiteral("в журнале нет прогона с набором %1").arg(m_options.base)
                               : QStringLiteral("в журнале нет прогона станции %1 с набором %2")
                                     .arg(station, m_options.base));
    return id;
}

int ExportCommand::execute()
{
    const std::unique_ptr<TJournal> journal = openJournal();
    if (!journal)
        return BadInput;
    const qint64 runId = chosenRun(*journal);
    if (runId == 0)
        return BadInput;
    const auto format = m_options.format == QLatin1String("json") ? JournalExport::Format::Json
                                                                  : JournalExport::Format::Csv;
    // The monitoring's corrected and millimetre columns follow the journal's own.
    const QString settingsFile = m_options.settingsFile.isEmpty()
        ? SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini"))
        : m_options.settingsFile;
    const JournalExport::ExtraColumns extra = MonitoringExport::extraColumns(MonitoringSettings::readFile(settingsFile));
    QString error;
    if (m_options.outBase.isEmpty() || m_options.outBase == QLatin1String("-")) {
        m_out.flush();
        // Straight to the descriptor: a full disk or a closed pipe is an
        // error of the write that met it, not lost in a buffer.
        QString outputError;
        const bool ok = JournalExport::write(*journal, runId, format, [&outputError](const QByteArray &bytes) {
            return writeAll(STDOUT_FILENO, bytes, &outputError);
        }, &error, extra.names.isEmpty() ? nullptr : &extra);
        if (!ok) {
            fail(outputError.isEmpty() ? error : QStringLiteral("стандартный вывод не записан: %1").arg(outputError));
            return WorkFailed;
        }
        return Success;
    }
    // A file is written whole and replaced at once, never left half written.
    if (!JournalExport::writeFile(*journal, runId, format, m_options.outBase, &error, extra.names.isEmpty() ? nullptr : &extra)) {
        fail(error.isEmpty() ? QStringLiteral("%1 не записан").arg(m_options.outBase) : error);
        return WorkFailed;
    }
    return Success;
}

#include "JournalCommands.h"

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

std::unique_ptr<TJournal> JournalReadCommand::openJournal()
{
    if (!expectPaths(0, QStringLiteral("лишние аргументы")) || !loadSettings())
        return nullptr;
    const QString location = journalLocation();
    if (!JournalLocation::isUrl(location) && !QFileInfo(location).isFile()) {
        fail(QStringLiteral("журнал измерений %1 не найден").arg(QDir::toNativeSeparators(location)));
        return nullptr;
    }
    auto journal = std::make_unique<TJournal>(location);
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
    const QList<TJournalRun> runs = journal->runs();
    if (!journal->errorString().isEmpty()) {
        fail(journal->errorString());
        return WorkFailed;
    }
    m_out << QStringLiteral("id\tkind\tbase\tstart\tend\timages") << Qt::endl;
    for (const TJournalRun &run : runs) {
        m_out << run.id << '\t' << run.kind << '\t' << QDir::toNativeSeparators(run.base) << '\t'
              << TJournal::isoTime(run.start) << '\t' << TJournal::isoTime(run.end) << '\t' << run.images
              << Qt::endl;
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
    const qint64 id = m_options.base.isEmpty() ? journal.lastRunId() : journal.lastRunIdOfBase(m_options.base);
    if (id == 0) {
        fail(m_options.base.isEmpty() ? QStringLiteral("в журнале нет ни одного прогона")
                                      : QStringLiteral("в журнале нет прогона с набором %1").arg(m_options.base));
    }
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
    if (m_options.outBase.isEmpty()) {
        m_out.flush();
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            fail(QStringLiteral("стандартный вывод не открывается"));
            return WorkFailed;
        }
        const bool ok = JournalExport::write(*journal, runId, format, [&out](const QByteArray &bytes) {
            return out.write(bytes) == bytes.size();
        }, &error, extra.names.isEmpty() ? nullptr : &extra);
        out.flush();
        if (!ok) {
            fail(error);
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

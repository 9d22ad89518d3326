#include "JournalSpool.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QAtomicInt spoolCounter;

} // namespace

JournalSpool::JournalSpool(const QString &file, const QString &journal)
    : m_file(file), m_journal(journal),
      m_connection(QStringLiteral("kelvarin_spool_%1").arg(spoolCounter.fetchAndAddRelaxed(1)))
{
}

JournalSpool::~JournalSpool()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool JournalSpool::fail(const QString &what, const QString &reason)
{
    m_error = QStringLiteral("Очередь журнала %1: %2").arg(m_file, what);
    if (!reason.trimmed().isEmpty())
        m_error += QStringLiteral(": ") + reason.trimmed();
    return false;
}

bool JournalSpool::open()
{
    if (m_open)
        return true;
    // Never written through a link, as no file of the station is.
    if (QFileInfo(m_file).isSymLink())
        return fail(QStringLiteral("не открывается"), QStringLiteral("это символическая ссылка"));
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return fail(QStringLiteral("не открывается"), db.lastError().text());
    QSqlQuery query(db);
    // Each record is on the disk before the writer goes on: a station killed
    // meanwhile keeps it.
    for (const char *statement :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
          "CREATE TABLE IF NOT EXISTS spool_runs (id INTEGER PRIMARY KEY AUTOINCREMENT, journal TEXT NOT NULL, "
          "journal_run INTEGER NOT NULL DEFAULT 0)",
          "CREATE TABLE IF NOT EXISTS spool_records (id INTEGER PRIMARY KEY AUTOINCREMENT, journal TEXT NOT NULL, "
          "run INTEGER NOT NULL, kind INTEGER NOT NULL, record BLOB NOT NULL)"}) {
        if (!query.exec(QString::fromLatin1(statement))) {
            const QString reason = query.lastError().text();
            db.close();
            return fail(QStringLiteral("не открывается"), reason);
        }
    }
    m_open = true;
    return true;
}

qint64 JournalSpool::addRun(qint64 journalRun)
{
    if (!open())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO spool_runs (journal, journal_run) VALUES (?, ?)"));
    query.addBindValue(m_journal);
    query.addBindValue(journalRun);
    if (!query.exec())
        return fail(QStringLiteral("прогон не записан"), query.lastError().text()), 0;
    return query.lastInsertId().toLongLong();
}

bool JournalSpool::setJournalRun(qint64 run, qint64 journalRun)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("UPDATE spool_runs SET journal_run = ? WHERE id = ?"));
    query.addBindValue(journalRun);
    query.addBindValue(run);
    if (!query.exec())
        return fail(QStringLiteral("прогон не записан"), query.lastError().text());
    return true;
}

qint64 JournalSpool::journalRun(qint64 run)
{
    if (!open())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT journal_run FROM spool_runs WHERE id = ?"));
    query.addBindValue(run);
    if (!query.exec() || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

void JournalSpool::forgetIdleRuns()
{
    if (!open())
        return;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM spool_runs WHERE journal = ? AND id NOT IN "
                                 "(SELECT run FROM spool_records)"));
    query.addBindValue(m_journal);
    query.exec();
}

bool JournalSpool::add(qint64 run, const JournalRecord &record)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO spool_records (journal, run, kind, record) VALUES (?, ?, ?, ?)"));
    query.addBindValue(m_journal);
    query.addBindValue(run);
    query.addBindValue(int(record.kind));
    query.addBindValue(record.encode());
    if (!query.exec())
        return fail(QStringLiteral("запись не сохранена"), query.lastError().text());
    if (record.isImage() && m_images >= 0)
        ++m_images;
    return true;
}

bool JournalSpool::next(Entry *entry)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT id, run, kind, record FROM spool_records WHERE journal = ? "
                                 "ORDER BY id LIMIT 1"));
    query.addBindValue(m_journal);
    if (!query.exec())
        return fail(QStringLiteral("не читается"), query.lastError().text());
    if (!query.next())
        return false;
    entry->id = query.value(0).toLongLong();
    entry->run = query.value(1).toLongLong();
    const auto kind = JournalRecord::Kind(query.value(2).toInt());
    if (!JournalRecord::decode(kind, query.value(3).toByteArray(), &entry->record)) {
        // A record this program cannot read is set aside as an event, so
        // the ones after it are not held up for good.
        entry->record = JournalRecord::event(TIssue::make(
            TIssue::Severity::Warning, TIssue::Source::Run, m_file,
            QStringLiteral("Запись очереди журнала %1 не читается и пропущена.").arg(entry->id)));
    }
    return true;
}

bool JournalSpool::remove(const Entry &entry)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM spool_records WHERE id = ?"));
    query.addBindValue(entry.id);
    if (!query.exec())
        return fail(QStringLiteral("запись не удалена"), query.lastError().text());
    if (entry.record.isImage() && m_images > 0)
        --m_images;
    return true;
}

int JournalSpool::count(const QString &condition)
{
    if (!open())
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM spool_records WHERE journal = ?") + condition);
    query.addBindValue(m_journal);
    if (!query.exec() || !query.next())
        return -1;
    return query.value(0).toInt();
}

// Counted once, then kept as records come and go: asked after every image
// while the journal is away, it must not take longer as the outage goes on.
int JournalSpool::waitingImages()
{
    if (m_images < 0)
        m_images = count(QStringLiteral(" AND kind = %1").arg(int(JournalRecord::Kind::Image)));
    return m_images;
}

int JournalSpool::waitingRecords()
{
    return count(QString());
}

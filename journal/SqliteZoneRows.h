#pragma once

#include <QSqlError>

#include <map>

struct sqlite3;
struct sqlite3_stmt;
struct TRecordedImage;

// An image's zone rows written into a SQLite journal through SQLite's own
// interface, on the connection Qt opened (its driver's handle). A batch
// writes thousands of zones a second, and binding each of their values
// through Qt costs as much as SQLite's work itself. The rows are the ones the
// Qt statement writes: the same columns, types and NULLs.
class SqliteZoneRows
{
public:
    // handle: the sqlite3 connection of the journal; none makes every write fail.
    explicit SqliteZoneRows(sqlite3 *handle) : m_db(handle) {}
    ~SqliteZoneRows();
    SqliteZoneRows(const SqliteZoneRows &) = delete;
    SqliteZoneRows &operator=(const SqliteZoneRows &) = delete;

    // The SQLite connection behind a Qt connection, when Qt's driver is
    // SQLite's; nullptr otherwise.
    static sqlite3 *handleOf(const class QSqlDatabase &db);

    // Inserts every zone of the image under imageId, inside the caller's
    // transaction; false with `error` set (SQLite's result code as its native code).
    bool insert(qint64 imageId, const TRecordedImage &image, QSqlError *error);

private:
    sqlite3_stmt *statementFor(int rows);
    bool bindZone(sqlite3_stmt *statement, int first, qint64 imageId, int zone, const TRecordedImage &image);
    QSqlError lastError() const;

    sqlite3 *m_db = nullptr;
    std::map<int, sqlite3_stmt *> m_statements;  // by rows per statement
};

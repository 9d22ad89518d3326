#include "SqliteZoneRows.h"

#include "JournalValues.h"
#include "TMeasurementRecorder.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int ColumnsPerRow = 15;

} // namespace

SqliteZoneRows::~SqliteZoneRows()
{
    for (const auto &[rows, statement] : m_statements)
        sqlite3_finalize(statement);
}

sqlite3 *SqliteZoneRows::handleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || std::strcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

sqlite3_stmt *SqliteZoneRows::statementFor(int rows)
{
    const auto found = m_statements.find(rows);
    if (found != m_statements.end())
        return found->second;
    const QByteArray sql = JournalValues::measurementsInsert(rows).toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        return nullptr;
    m_statements.emplace(rows, statement);
    return statement;
}

// One zone's columns from parameter `first` on, as the Qt statement binds
// them: a centre, displacement and uncertainty only when found; spots only
// where counted.
bool SqliteZoneRows::bindZone(sqlite3_stmt *statement, int first, qint64 imageId, int zone,
                              const TRecordedImage &image)
{
    const TZoneMeasurement &m = image.zones.at(zone - 1);
    int column = first;
    auto real = [&](bool present, double value) {
        return present ? sqlite3_bind_double(statement, column++, value) : sqlite3_bind_null(statement, column++);
    };
    const QByteArray rejection = JournalValues::rejectionName(m.rejection).toUtf8();
    int result = sqlite3_bind_int64(statement, column++, imageId);
    result |= sqlite3_bind_int(statement, column++, zone);
    result |= sqlite3_bind_int(statement, column++, m.found ? 1 : 0);
    for (const double value : {m.x, m.y, m.dx, m.dy})
        result |= real(m.found, value);
    result |= real(true, m.maximum);
    result |= real(true, m.threshold);
    result |= sqlite3_bind_int(statement, column++, m.area);
    result |= real(true, m.mean);
    result |= sqlite3_bind_text(statement, column++, rejection.constData(), int(rejection.size()), SQLITE_TRANSIENT);
    result |= m.spots > 0 ? sqlite3_bind_int(statement, column++, m.spots) : sqlite3_bind_null(statement, column++);
    result |= real(m.found, m.sx);
    result |= real(m.found, m.sy);
    return result == SQLITE_OK;
}

bool SqliteZoneRows::insert(qint64 imageId, const TRecordedImage &image, QSqlError *error)
{
    const int zones = int(image.zones.size());
    for (int first = 0; first < zones; first += JournalValues::MeasurementsPerInsert) {
        const int rows = std::min(JournalValues::MeasurementsPerInsert, zones - first);
        sqlite3_stmt *statement = m_db ? statementFor(rows) : nullptr;
        bool ok = statement != nullptr;
        for (int r = 0; ok && r < rows; ++r)
            ok = bindZone(statement, 1 + r * ColumnsPerRow, imageId, first + r + 1, image);
        ok = ok && sqlite3_step(statement) == SQLITE_DONE;
        if (!ok)
            *error = lastError();
        if (statement) {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
        if (!ok)
            return false;
    }
    return true;
}

QSqlError SqliteZoneRows::lastError() const
{
    if (!m_db)
        return QSqlError(QStringLiteral("нет соединения SQLite"), QString(), QSqlError::ConnectionError);
    return QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(m_db)), QSqlError::StatementError,
                     QString::number(sqlite3_extended_errcode(m_db)));
}

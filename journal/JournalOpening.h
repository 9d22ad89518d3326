#pragma once

#include "JournalLocation.h"

#include <QString>

class QSqlDatabase;

// Opens the connection of a journal: the Qt SQL driver, the dialect's
// settings and the schema. A writer creates or migrates the schema (one
// writer at a time, in one transaction); a reader only reads: it never
// creates a file, a table or a lock file of its own, and only checks that
// it knows the schema.
class JournalOpening
{
public:
    // What failed ("не открывается") and why (the driver's text).
    struct Failure
    {
        QString what;
        QString reason;
    };

    // The newest schema this program writes.
    static constexpr int SchemaVersion = 2;

    // Opens the Qt SQL connection named `connection`; false with `failure` set.
    // busyTimeout: how long SQLite waits for another writer (ms).
    static bool open(const QString &connection, const JournalLocation &location, bool reading, Failure *failure,
                     int busyTimeout = 30000);

private:
    static bool connect(QSqlDatabase &db, const JournalLocation &location, bool reading, Failure *failure,
                        int busyTimeout);
    static bool configure(QSqlDatabase &db, const JournalLocation &location, bool reading, Failure *failure,
                          int busyTimeout);
    static bool openSqliteReader(QSqlDatabase &db, const JournalLocation &location, Failure *failure,
                                 int busyTimeout);
    static bool migrate(QSqlDatabase &db, bool postgres, Failure *failure, int busyTimeout);
    static bool isCurrent(QSqlDatabase &db);
    static bool checkReadable(QSqlDatabase &db, Failure *failure);
};

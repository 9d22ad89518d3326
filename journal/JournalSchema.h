#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The journal's tables, the same on SQLite and PostgreSQL, as the list of
// migrations that build them. Every migration brings the schema from the
// version before it to its own; a journal is migrated one step after
// another, never rebuilt, each step in the transaction of the opening.
//
// Times: from version 2 on, PostgreSQL keeps them as timestamptz and SQLite
// as ISO 8601 text in UTC ("2026-03-01T09:00:05.250+00:00"), so that the
// order of the texts is the order of the times.
class JournalSchema
{
public:
    struct Migration
    {
        int version;
        QStringList statements;  // both dialects; "%ID%" stands for the identity column
        QStringList sqlite = {};   // SQLite only, before the shared statements
        QStringList postgres = {}; // PostgreSQL only, before the shared statements
    };

    static const QList<Migration> &migrations();
    // A migration's statements, in order, in the dialect of SQLite or PostgreSQL.
    static QStringList statementsFor(const Migration &migration, bool postgres);
};

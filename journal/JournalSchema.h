#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The journal's tables, the same on SQLite and PostgreSQL, as the list of
// migrations that build them. Every migration brings the schema from the
// version before it to its own; a journal is migrated one step after
// another, never rebuilt.
class JournalSchema
{
public:
    struct Migration
    {
        int version;
        QStringList statements;  // "%ID%" stands for the dialect's identity column
    };

    static const QList<Migration> &migrations();
    // A migration's statement in the dialect of SQLite or PostgreSQL.
    static QString statementFor(const QString &statement, bool postgres);
};

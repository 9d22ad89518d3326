#pragma once

#include <QByteArray>
#include <QString>
#include <QDir>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

// The throw-away PostgreSQL server that scripts/test-postgres.sh starts for a
// test session (KELVARIN_TEST_PG holds its address). A test that needs it
// fails under CI, where the server must be there, and is skipped elsewhere.
inline QString testPostgres()
{
    return QString::fromLocal8Bit(qgetenv("KELVARIN_TEST_PG"));
}

// Stops or starts the suite's server again (pg_ctl's action, waited for):
// a test of an outage. Such tests run alone (RUN_SERIAL).
inline bool postgresServer(const QString &action)
{
    const QString location = testPostgres();
    const QString socketDir = location.mid(location.indexOf(QStringLiteral("host=")) + 5);
    const QStringList bins = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                                  QDir::Name);
    if (bins.isEmpty())
        return false;
    QStringList command = {QStringLiteral("/usr/lib/postgresql/%1/bin/pg_ctl").arg(bins.last()), action, QStringLiteral("-w"),
                           QStringLiteral("-D"), socketDir + QStringLiteral("/data"), QStringLiteral("-m"),
                           QStringLiteral("fast")};
    if (action == QLatin1String("start")) {
        command << QStringLiteral("-l") << socketDir + QStringLiteral("/server.log") << QStringLiteral("-o")
                << QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -c fsync=off").arg(socketDir);
    }
    if (::geteuid() == 0)
        command = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")}
                + command;
    QProcess process;
    process.start(command.takeFirst(), command);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

inline bool underCi()
{
    return qgetenv("CI") == "true";
}

// Leaves the test (skipped or failed) when `location` is PostgreSQL and no server was started.
#define KELVARIN_NEED_SERVER(location)                                                                      \
    do {                                                                                                    \
        if ((location).isEmpty()) {                                                                         \
            if (underCi())                                                                                  \
                QFAIL("KELVARIN_TEST_PG is not set: scripts/test-postgres.sh did not start the server");    \
            QSKIP("no PostgreSQL server for the tests (run under scripts/run-tests.sh or set KELVARIN_TEST_PG)"); \
        }                                                                                                   \
    } while (false)

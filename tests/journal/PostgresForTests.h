#pragma once

#include <QByteArray>
#include <QString>
#include <QtTest>

// The throw-away PostgreSQL server that scripts/test-postgres.sh starts for a
// test session (KELVARIN_TEST_PG holds its address). A test that needs it
// fails under CI, where the server must be there, and is skipped elsewhere.
inline QString testPostgres()
{
    return QString::fromLocal8Bit(qgetenv("KELVARIN_TEST_PG"));
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

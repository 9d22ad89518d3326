// A password given in a journal's address never leaves the program: not in
// what is shown, nor in the settings a run records.
#include "JournalLocation.h"
#include "TJournalRecorder.h"
#include "TParameters.h"

#include <QTest>

class TestJournalSecrets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void passwordTakenOut_data();
    void passwordTakenOut();
    void recordedSettingsKeepNoPassword();
};

void TestJournalSecrets::passwordTakenOut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("user and password") << "postgresql://kel:s3cret@db:5432/fleet" << "postgresql://kel@db:5432/fleet";
    QTest::newRow("no password") << "postgresql://kel@db/fleet" << "postgresql://kel@db/fleet";
    QTest::newRow("@ in the password") << "postgres://kel:a@b@db/fleet" << "postgres://kel@db/fleet";
    QTest::newRow("malformed port") << "postgresql://kel:s3cret@db:54x2/fleet" << "postgresql://kel@db:54x2/fleet";
    QTest::newRow("no path") << "postgresql://kel:s3cret@db" << "postgresql://kel@db";
    QTest::newRow("parameter") << "postgresql://db/fleet?sslmode=require&password=s3cret&x=1"
                               << "postgresql://db/fleet?sslmode=require&password=***&x=1";
    QTest::newRow("socket with parameter") << "postgresql:///fleet?host=/run/pg&password=s3cret"
                                           << "postgresql:///fleet?host=/run/pg&password=***";
    QTest::newRow("a file") << "/data/kel:s3cret@journal.sqlite" << "/data/kel:s3cret@journal.sqlite";
}

void TestJournalSecrets::passwordTakenOut()
{
    QFETCH(QString, text);
    QTEST(JournalLocation::withoutPassword(text), "shown");
    const JournalLocation location = JournalLocation::parse(text);
    QVERIFY(!location.display().contains(QLatin1String("s3cret")) || !location.postgres);
    QVERIFY(!location.error.contains(QLatin1String("s3cret")));
}

void TestJournalSecrets::recordedSettingsKeepNoPassword()
{
    TParameters params;
    params.JournalUrl = QStringLiteral("postgresql://kel:s3cret@db/fleet");
    params.Station = QStringLiteral("north");
    const QString text = TJournalRecorder::settingsText(params);
    QVERIFY(text.contains(QStringLiteral("\nJournalUrl=postgresql://kel@db/fleet\n")));
    QVERIFY(text.endsWith(QStringLiteral("\nStation=north\n")));
    QVERIFY(!text.contains(QStringLiteral("s3cret")));
}

QTEST_GUILESS_MAIN(TestJournalSecrets)
#include "tst_journalsecrets.moc"

#include "TestSupport.h"

#include <QFile>
#include <QTest>

namespace TestSupport {

// A file that cannot be read or written fails the test function at hand (as
// QVERIFY2 does) and the run goes on with the next one: a missing file does
// not hide the results of every other test.
QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qVerify(false, "file.open(QIODevice::ReadOnly)",
                       qPrintable(QStringLiteral("cannot read %1: %2").arg(path, file.errorString())), __FILE__,
                       __LINE__);
        return {};
    }
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        QTest::qVerify(false, "file written whole",
                       qPrintable(QStringLiteral("cannot write %1: %2").arg(path, file.errorString())), __FILE__,
                       __LINE__);
    }
}

}

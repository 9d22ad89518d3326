#include "AtomicFile.h"
#include "KelvarinError.h"
#include "RegularFile.h"
#include "TestSupport.h"

#include <QtTest>

#include <csignal>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Files are replaced whole or not at all: a full disk, a failing step, a link
// or a device at the name never costs the file that was there.
class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { AtomicFile::failStepForTesting(AtomicFile::Step::None); }
    void fullDiskKeepsEarlierFile();
    void failingStepKeepsEarlierFile_data();
    void failingStepKeepsEarlierFile();
    void setReplacesNothingWhenOneFails();
    void streamedFileWholeOrNotAtAll_data();
    void streamedFileWholeOrNotAtAll();
    void refusesLinksAndDevices_data();
    void refusesLinksAndDevices();
    void keepsPermissions();
    void flushedBeforeRenamed();
    void readsOnlyRegularFiles_data();
    void readsOnlyRegularFiles();

private:
    // Everything in the directory, hidden temporary files included.
    static QStringList allEntries(const QString &dir)
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

// The file size limit of a forked child stands in for a full disk: writes past
// it fail with EFBIG once SIGXFSZ is ignored, as they would with ENOSPC.
void TestAtomicFile::fullDiskKeepsEarlierFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("res_1.crd");
    const QByteArray earlier("1\t1.0000\t2.0000\r\n");
    TestSupport::writeFile(path, earlier);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        QString reason;
        const bool written = AtomicFile::write(path, QByteArray(20000, 'x'), &reason);
        _exit(!written && !reason.isEmpty() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the write past the limit reported success");
    QCOMPARE(TestSupport::readFile(path), earlier);
    QCOMPARE(allEntries(dir.path()), QStringList{"res_1.crd"});
}

void TestAtomicFile::failingStepKeepsEarlierFile_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("short write") << int(AtomicFile::Step::Write);
    QTest::newRow("failed flush") << int(AtomicFile::Step::Flush);
    QTest::newRow("failed close") << int(AtomicFile::Step::Close);
    QTest::newRow("failed rename") << int(AtomicFile::Step::Rename);
}

void TestAtomicFile::failingStepKeepsEarlierFile()
{
    QFETCH(int, step);
    QTemporaryDir dir;
    const QString path = dir.filePath("Kelvarin2.ini");
    TestSupport::writeFile(path, "[Parameters]\r\nA=1\r\n");
    AtomicFile::failStepForTesting(AtomicFile::Step(step));
    try {
        AtomicFile::writeOrThrow(path, "[Parameters]\r\nA=2\r\n");
        QFAIL("no error");
    } catch (const KelvarinError &error) {
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
    }
    QCOMPARE(TestSupport::readFile(path), QByteArray("[Parameters]\r\nA=1\r\n"));
    QCOMPARE(allEntries(dir.path()), QStringList{"Kelvarin2.ini"});
    // The same write goes through once the fault is gone.
    AtomicFile::failStepForTesting(AtomicFile::Step::None);
    QVERIFY(AtomicFile::write(path, "new"));
    QCOMPARE(TestSupport::readFile(path), QByteArray("new"));
}

void TestAtomicFile::streamedFileWholeOrNotAtAll_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("producerGivesUp");
    QTest::newRow("written") << int(AtomicFile::Step::None) << false;
    QTest::newRow("producer gives up") << int(AtomicFile::Step::None) << true;
    QTest::newRow("short write") << int(AtomicFile::Step::Write) << false;
    QTest::newRow("failed flush") << int(AtomicFile::Step::Flush) << false;
    QTest::newRow("failed close") << int(AtomicFile::Step::Close) << false;
    QTest::newRow("failed rename") << int(AtomicFile::Step::Rename) << false;
}

// A file written in pieces replaces the earlier one only when every piece is on the disk.
void TestAtomicFile::streamedFileWholeOrNotAtAll()
{
    QFETCH(int, step);
    QFETCH(bool, producerGivesUp);
    QTemporaryDir dir;
    const QString path = dir.filePath("export.csv");
    TestSupport::writeFile(path, "earlier");
    AtomicFile::failStepForTesting(AtomicFile::Step(step));
    int pieces = 0;
    QString reason;
    const bool written = AtomicFile::writeStreamed(
        path,
        [&](const AtomicFile::PieceWriter &write) {
            for (int i = 0; i < 3; ++i) {
                if (!write(QByteArray(1000, char('a' + i))))
                    return false;
                ++pieces;
            }
            return !producerGivesUp;
        },
        &reason);
    const bool whole = step == int(AtomicFile::Step::None) && !producerGivesUp;
    QCOMPARE(written, whole);
    QCOMPARE(TestSupport::readFile(path),
             whole ? QByteArray(1000, 'a') + QByteArray(1000, 'b') + QByteArray(1000, 'c') : QByteArray("earlier"));
    QCOMPARE(reason.isEmpty(), whole || producerGivesUp);
    QCOMPARE(pieces, step == int(AtomicFile::Step::Write) ? 0 : 3);
    QCOMPARE(allEntries(dir.path()), QStringList{"export.csv"});
}

void TestAtomicFile::setReplacesNothingWhenOneFails()
{
    QTemporaryDir dir;
    const QString first = dir.filePath("r_1.crd");
    const QString second = dir.filePath("r_2.crd");
    const QString log = dir.filePath("r_time.log");
    TestSupport::writeFile(first, "one");
    TestSupport::writeFile(second, "two");
    // A link at the log's name: refused, and so the whole set.
    QVERIFY(QFile::link(dir.filePath("elsewhere"), log));
    QString reason, failed;
    QVERIFY(!AtomicFile::writeSet({{first, "ONE"}, {second, "TWO"}, {log, "LOG"}}, &reason, &failed));
    QCOMPARE(failed, log);
    QCOMPARE(TestSupport::readFile(first), QByteArray("one"));
    QCOMPARE(TestSupport::readFile(second), QByteArray("two"));
    QVERIFY(!QFile::exists(dir.filePath("elsewhere")));
    QCOMPARE(allEntries(dir.path()), (QStringList{"r_1.crd", "r_2.crd", "r_time.log"}));
    QVERIFY(AtomicFile::writeSet({{first, "ONE"}, {second, "TWO"}}));
    QCOMPARE(TestSupport::readFile(second), QByteArray("TWO"));
}

void TestAtomicFile::refusesLinksAndDevices_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("link to a file") << "link" << "символическая ссылка";
    QTest::newRow("dangling link") << "dangling" << "символическая ссылка";
    QTest::newRow("named pipe") << "fifo" << "не является обычным файлом";
    QTest::newRow("directory") << "dir" << "не является обычным файлом";
}

void TestAtomicFile::refusesLinksAndDevices()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir, elsewhere;
    const QString target = elsewhere.filePath("precious.txt");
    TestSupport::writeFile(target, "precious");
    const QString path = dir.filePath("res_1.crd");
    if (kind == "link")
        QVERIFY(QFile::link(target, path));
    else if (kind == "dangling")
        QVERIFY(QFile::link(elsewhere.filePath("new.txt"), path));
    else if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkdir(path));
    QString error;
    QVERIFY(!AtomicFile::write(path, "results", &error));
    QVERIFY2(error.contains(reason) && error.contains(path), qPrintable(error));
    QCOMPARE(TestSupport::readFile(target), QByteArray("precious"));
    QCOMPARE(allEntries(elsewhere.path()), QStringList{"precious.txt"});
    QCOMPARE(allEntries(dir.path()), QStringList{"res_1.crd"});
}

void TestAtomicFile::keepsPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Kelvarin2.ini");
    TestSupport::writeFile(path, "old");
    QCOMPARE(chmod(QFile::encodeName(path).constData(), 0600), 0);
    QVERIFY(AtomicFile::write(path, "new"));
    struct stat st;
    QCOMPARE(stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
}

void TestAtomicFile::readsOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QTest::newRow("regular") << "file" << int(RegularFile::Status::Ok) << "";
    QTest::newRow("missing") << "missing" << int(RegularFile::Status::Missing) << "не найден";
    QTest::newRow("named pipe without writer") << "fifo" << int(RegularFile::Status::NotRegular)
                                               << "не является обычным файлом";
    QTest::newRow("link to /dev/zero") << "zero" << int(RegularFile::Status::NotRegular)
                                       << "не является обычным файлом";
    QTest::newRow("directory") << "dir" << int(RegularFile::Status::NotRegular) << "не является обычным файлом";
    QTest::newRow("over the limit") << "big" << int(RegularFile::Status::TooLarge) << "слишком велик";
}

void TestAtomicFile::readsOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("Kelvarin2.ini");
    if (kind == "file")
        TestSupport::writeFile(path, "[Parameters]\n");
    else if (kind == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "zero")
        QVERIFY(QFile::link("/dev/zero", path));
    else if (kind == "dir")
        QVERIFY(QDir().mkdir(path));
    else if (kind == "big")
        TestSupport::writeFile(path, QByteArray(RegularFile::DefaultLimit + 1, 'a'));
    QByteArray bytes;
    QString error;
    QCOMPARE(int(RegularFile::read(path, &bytes, &error)), status);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(bytes, kind == "file" ? QByteArray("[Parameters]\n") : QByteArray());
}

// ---- what the disk is told: every staged file is flushed before it takes its name.
// The test program's own fsync and rename stand in front of the C library's:
// calls from the engine linked into it come here first.
namespace {
QStringList diskEvents;
bool recordDiskEvents = false;

QString pathOfDescriptor(int fd)
{
    return QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget();
}
} // namespace

extern "C" int fsync(int fd)
{
    if (recordDiskEvents)
        diskEvents << QStringLiteral("flush ") + QFileInfo(pathOfDescriptor(fd)).fileName();
    using Real = int (*)(int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

extern "C" int rename(const char *from, const char *to) noexcept
{
    if (recordDiskEvents)
        diskEvents << QStringLiteral("rename ") + QFileInfo(QFile::decodeName(from)).fileName() + QStringLiteral(" ")
                          + QFileInfo(QFile::decodeName(to)).fileName();
    using Real = int (*)(const char *, const char *);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "rename"));
    return real(from, to);
}

void TestAtomicFile::flushedBeforeRenamed()
{
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath("a.crd"), "old");
    diskEvents.clear();
    recordDiskEvents = true;
    const bool written = AtomicFile::writeSet({{dir.filePath("a.crd"), "new a"}, {dir.filePath("b.crd"), "new b"}});
    recordDiskEvents = false;
    QVERIFY(written);
    QCOMPARE(diskEvents.size(), 4);
    // Both flushed (under their temporary names) before either is renamed over its target.
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(diskEvents.at(i).startsWith("flush "), qPrintable(diskEvents.join('|')));
        const QString temporary = diskEvents.at(i).mid(6);
        QVERIFY2(diskEvents.at(2 + i) == "rename " + temporary + (i == 0 ? " a.crd" : " b.crd"),
                 qPrintable(diskEvents.join('|')));
    }
    // A file written piece by piece (an export) is flushed before it is renamed too.
    diskEvents.clear();
    recordDiskEvents = true;
    const bool streamed = AtomicFile::writeStreamed(dir.filePath("c.csv"), [](const AtomicFile::PieceWriter &put) {
        return put("a,b\n") && put("1,2\n");
    });
    recordDiskEvents = false;
    QVERIFY(streamed);
    QCOMPARE(diskEvents.size(), 2);
    QVERIFY2(diskEvents.at(0).startsWith("flush "), qPrintable(diskEvents.join('|')));
    QCOMPARE(diskEvents.at(1), "rename " + diskEvents.at(0).mid(6) + " c.csv");
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"

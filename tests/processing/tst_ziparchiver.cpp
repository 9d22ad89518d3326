#include "ArchiveImages.h"
#include "ImageDisposal.h"
#include "TParameters.h"
#include "ZipArchiver.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <sys/stat.h>

// Another program takes a name just before the rename that would give it to
// the image: the test program's renameat2 stands in front of the C library's.
static QByteArray takeNameBeforeRename;

extern "C" int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags) noexcept
{
    if (!takeNameBeforeRename.isEmpty() && QByteArray(to).endsWith(takeNameBeforeRename)) {
        takeNameBeforeRename.clear();
        QFile other(QFile::decodeName(to));
        if (other.open(QIODevice::WriteOnly))
            other.write("another program's");
    }
    using Real = int (*)(int, const char *, int, const char *, unsigned int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "renameat2"));
    return real(fromDir, from, toDir, to, flags);
}

// The external archiver as the watch uses it: the archive grows in place, an
// image is deleted only once the archive holds it, and whatever goes wrong the
// archive stays as it was and nothing of the attempt is left behind.
class TestZipArchiver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void appendsInPlace();
    void failedAttemptLeavesArchiveAsItWas_data();
    void failedAttemptLeavesArchiveAsItWas();
    void failedNewArchiveIsNotLeft();
    void damagedArchiveIsNotAppendedTo();
    void entryInArchiveIsNeverReplaced();
    void nameTakenMeanwhileDuringMove();

private:
    QString script(const QString &name, const QByteArray &body);
    QString image(const QString &name, int size = 4000);
    QTemporaryDir m_dir;
    QString m_archive;
};

static bool haveZip()
{
    return !QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty();
}

static ino_t inodeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

void TestZipArchiver::init()
{
    if (!haveZip())
        QSKIP("zip is not installed");
    m_archive = m_dir.filePath("work/res_0001.zip");
    QDir().mkpath(m_dir.filePath("work"));
    QDir().mkpath(m_dir.filePath("buffer"));
    QFile::remove(m_archive);
}

QString TestZipArchiver::script(const QString &name, const QByteArray &body)
{
    const QString path = m_dir.filePath(name);
    TestSupport::writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

// Bytes that do not compress to nothing, different for every name.
QString TestZipArchiver::image(const QString &name, int size)
{
    QByteArray bytes(size, '\0');
    quint32 state = quint32(qHash(name)) | 1;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    const QString path = m_dir.filePath("buffer/" + name);
    TestSupport::writeFile(path, bytes);
    return path;
}

void TestZipArchiver::appendsInPlace()
{
    ZipArchiver zip;
    QCOMPARE(zip.archive(m_archive, image("a.bmp")), QString());
    const QByteArray first = TestSupport::readFile(m_archive);
    const ino_t inode = inodeOf(m_archive);
    QCOMPARE(zip.archive(m_archive, image("b.bmp")), QString());
    // The same file grown: no copy took its place, and the first entry's bytes are where they were.
    QCOMPARE(inodeOf(m_archive), inode);
    QVERIFY(TestSupport::readFile(m_archive).startsWith(first.left(4000)));
    QCOMPARE(ArchiveImages::allEntriesOf(m_archive), (QStringList{"a.bmp", "b.bmp"}));
    QCOMPARE(QDir(m_dir.filePath("buffer")).entryList(QDir::Files), QStringList());
}

void TestZipArchiver::failedAttemptLeavesArchiveAsItWas_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");
    // Arguments: -g -j -q -nw ARCHIVE IMAGE.
    QTest::newRow("appended, then failed") << QByteArray("zip \"$@\"; exit 12") << "архиватор вернул код 12";
    QTest::newRow("killed while writing")
        << QByteArray("size=$(stat -c %s \"$5\"); printf 'PK\\003\\004 half an entry' | "
                      "dd of=\"$5\" bs=1 seek=$((size - 40)) conv=notrunc 2>/dev/null; kill -9 $$")
        << "архиватор завершился аварийно";
    QTest::newRow("hangs past the limit, temporary file left")
        << QByteArray("head -c 3000 /dev/zero > \"$(dirname \"$5\")/ziAb3dEf\"; "
                      "printf 'garbage' >> \"$5\"; exec sleep 30")
        << "архиватор не закончил работу за ";
    QTest::newRow("says it succeeded, archive cut") << QByteArray("zip \"$@\" && truncate -s -30 \"$5\"")
                                                    << "архиватор завершился, но архив не читается";
    QTest::newRow("says it succeeded, nothing added") << QByteArray("exit 0")
                                                      << "архиватор завершился, но в архиве нет файла";
}

void TestZipArchiver::failedAttemptLeavesArchiveAsItWas()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    ZipArchiver zip;
    QCOMPARE(zip.archive(m_archive, image("a.bmp")), QString());
    QCOMPARE(zip.archive(m_archive, image("b.bmp")), QString());
    const QByteArray before = TestSupport::readFile(m_archive);
    const QString kept = m_dir.filePath("work/zi000001");
    TestSupport::writeFile(kept, "not the archiver's this time");

    zip.setProgram(script("zip-fails", body));
    zip.setTimeout(500);
    const QString c = image("c.bmp");
    const QString failure = zip.archive(m_archive, c);
    QVERIFY2(failure.startsWith(reason), qPrintable(failure));
    QCOMPARE(TestSupport::readFile(m_archive), before);
    QVERIFY(QFileInfo::exists(c));
    // Only what the failed attempt left is deleted.
    QCOMPARE(ZipArchiver::temporaryFiles(m_dir.filePath("work")), QStringList{"zi000001"});

    // The archive takes the image at the next attempt as if nothing had happened.
    zip.setProgram("zip");
    QCOMPARE(zip.archive(m_archive, c), QString());
    QCOMPARE(ArchiveImages::allEntriesOf(m_archive), (QStringList{"a.bmp", "b.bmp", "c.bmp"}));
    QProcess test;
    test.start("unzip", {"-tqq", m_archive});
    QVERIFY(test.waitForFinished());
    QCOMPARE(test.exitCode(), 0);
}

void TestZipArchiver::failedNewArchiveIsNotLeft()
{
    ZipArchiver zip;
    zip.setProgram(script("zip-fails", "zip \"$@\"; kill -9 $$"));
    const QString a = image("a.bmp");
    QCOMPARE(zip.archive(m_archive, a), QString("архиватор завершился аварийно"));
    QVERIFY(!QFileInfo::exists(m_archive));
    QVERIFY(QFileInfo::exists(a));
}

void TestZipArchiver::damagedArchiveIsNotAppendedTo()
{
    ZipArchiver zip;
    QCOMPARE(zip.archive(m_archive, image("a.bmp")), QString());
    QFile cut(m_archive);
    QVERIFY(cut.resize(cut.size() - 10));
    const QByteArray before = TestSupport::readFile(m_archive);
    const QString b = image("b.bmp");
    const QString failure = zip.archive(m_archive, b);
    QCOMPARE(failure, QString("архив %1 не дописывается: конец архива (центральный каталог) не читается")
                          .arg(m_archive));
    QCOMPARE(TestSupport::readFile(m_archive), before);
    QVERIFY(QFileInfo::exists(b));
}

// Names the archive holds count whoever put them there: an archive left by
// an earlier watch, or grown by someone else during this one.
void TestZipArchiver::entryInArchiveIsNeverReplaced()
{
    ZipArchiver zip;
    QCOMPARE(zip.archive(m_archive, image("a.bmp")), QString());
    const QByteArray firstA = TestSupport::readFile(m_archive).mid(0, 4000);
    ImageDisposal disposal(zip);
    disposal.begin(m_archive.chopped(4));
    TParameters params;
    params.SaveToOneZip = true;
    QCOMPARE(disposal.dispose(image("a.bmp", 300), params).outcome, ImageDisposal::Outcome::Archived);
    QCOMPARE(zip.archive(m_archive, image("b.bmp")), QString());
    QCOMPARE(disposal.dispose(image("b.bmp", 200), params).outcome, ImageDisposal::Outcome::Archived);
    QCOMPARE(ArchiveImages::allEntriesOf(m_archive), (QStringList{"a.bmp", "a~2.bmp", "b.bmp", "b~2.bmp"}));
    QCOMPARE(ArchiveImages::storedSize(m_archive, "a.bmp"), 4000);
    QVERIFY(TestSupport::readFile(m_archive).startsWith(firstA));
}

// The name was free when looked at and taken when the image was to get it:
// the image takes the next free name and the other file stays as it is.
void TestZipArchiver::nameTakenMeanwhileDuringMove()
{
    ZipArchiver zip;
    ImageDisposal disposal(zip);
    disposal.begin(m_dir.filePath("work/res_0001"));
    TParameters params;
    params.WorkDir = m_dir.filePath("work");
    const QString image = this->image("dup.bmp");
    const QByteArray bytes = TestSupport::readFile(image);
    takeNameBeforeRename = "/work/dup.bmp";
    const ImageDisposal::Result result = disposal.dispose(image, params);
    QCOMPARE(result.outcome, ImageDisposal::Outcome::Moved);
    QCOMPARE(result.storedAs, m_dir.filePath("work/dup~2.bmp"));
    QCOMPARE(TestSupport::readFile(m_dir.filePath("work/dup~2.bmp")), bytes);
    QCOMPARE(TestSupport::readFile(m_dir.filePath("work/dup.bmp")), QByteArray("another program's"));
    QVERIFY(!QFileInfo::exists(image));
}

QTEST_GUILESS_MAIN(TestZipArchiver)
#include "tst_ziparchiver.moc"

// Images inside zip archives: listing and order, the same pixels as the loose
// files, and every way an archive or an entry can be refused (damaged, cut,
// empty, not a bitmap, claiming gigabytes) with a message naming both.

#include "ArchiveImages.h"
#include "BitmapFile.h"
#include "BmpWriter.h"
#include "KelvarinError.h"
#include "EntryMemory.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

class TestArchiveImages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void entriesInNameOrder();
    void directoriesGiveArchivesOnlyWhenAsked();
    void entryReadsLikeTheFile();
    void imagesOpenAtOnceKeepTheirOwnBytes();
    void refused_data();
    void refused();
    void archiveRewrittenBetweenOpensIsReadAgain();
    void entryThatIsNoImageIsNotInflated();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Packs files of the temporary directory with the zip program.
    void pack(const QString &archive, const QStringList &names, bool store = false);
    void writeImage(const QString &name, int shade);
    QTemporaryDir m_dir;
};

void TestArchiveImages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    writeImage(QStringLiteral("b.bmp"), 40);
    writeImage(QStringLiteral("A.BMP"), 80);
    writeImage(QStringLiteral("c.Bmp"), 120);
    TestSupport::writeFile(path(QStringLiteral("notes.txt")), "not an image\n");
    TestSupport::writeFile(path(QStringLiteral("text.bmp")), "this is text, not a bitmap\n");
}

void TestArchiveImages::writeImage(const QString &name, int shade)
{
    BmpWriter::Image image;
    image.width = 37;
    image.height = 23;
    for (int i = 0; i < image.width * image.height; ++i)
        image.pixels << quint32((shade + i) % 256) * 0x010101u;
    BmpWriter::write(path(name), image);
}

void TestArchiveImages::pack(const QString &archive, const QStringList &names, bool store)
{
    QFile::remove(path(archive));
    QProcess zip;
    zip.setWorkingDirectory(m_dir.path());
    QStringList arguments{QStringLiteral("-q")};
    if (store)
        arguments << QStringLiteral("-0");
    zip.start(QStringLiteral("zip"), arguments + QStringList{archive} + names);
    QVERIFY(zip.waitForFinished(30000));
    QCOMPARE(zip.exitCode(), 0);
}

void TestArchiveImages::entriesInNameOrder()
{
    pack(QStringLiteral("set.zip"), {QStringLiteral("c.Bmp"), QStringLiteral("notes.txt"), QStringLiteral("b.bmp"),
                                     QStringLiteral("A.BMP")});
    const QString archive = path(QStringLiteral("set.zip"));
    QCOMPARE(ArchiveImages::entriesOf(archive),
             (QStringList{QStringLiteral("A.BMP"), QStringLiteral("b.bmp"), QStringLiteral("c.Bmp")}));
    // Archives in the order given, each with its entries; files as they are.
    const QStringList images =
        ArchiveImages::expand({archive, path(QStringLiteral("b.bmp")), archive}, false);
    QCOMPARE(images.size(), 7);
    QCOMPARE(images.at(0), archive + QStringLiteral(":A.BMP"));
    QCOMPARE(images.at(3), path(QStringLiteral("b.bmp")));
    QCOMPARE(images.at(6), archive + QStringLiteral(":c.Bmp"));
}

void TestArchiveImages::directoriesGiveArchivesOnlyWhenAsked()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    pack(QStringLiteral("b2.ZIP"), {QStringLiteral("A.BMP"), QStringLiteral("b.bmp")});
    QVERIFY(QFile::copy(path(QStringLiteral("b2.ZIP")), dir.filePath(QStringLiteral("b2.ZIP"))));
    QVERIFY(QFile::copy(path(QStringLiteral("c.Bmp")), dir.filePath(QStringLiteral("a1.bmp"))));
    QVERIFY(QFile::copy(path(QStringLiteral("c.Bmp")), dir.filePath(QStringLiteral("c3.bmp"))));
    QCOMPARE(ArchiveImages::expand({dir.path()}, false),
             (QStringList{dir.filePath(QStringLiteral("a1.bmp")), dir.filePath(QStringLiteral("c3.bmp"))}));
    // Asked for, the archive takes its place in the name order.
    const QString archive = dir.filePath(QStringLiteral("b2.ZIP"));
    QCOMPARE(ArchiveImages::expand({dir.path()}, true),
             (QStringList{dir.filePath(QStringLiteral("a1.bmp")), archive + QStringLiteral(":A.BMP"),
                          archive + QStringLiteral(":b.bmp"), dir.filePath(QStringLiteral("c3.bmp"))}));
}

void TestArchiveImages::entryReadsLikeTheFile()
{
    for (bool store : {false, true}) {
        pack(QStringLiteral("same.zip"), {QStringLiteral("b.bmp"), QStringLiteral("c.Bmp")}, store);
        for (const QString &name : {QStringLiteral("b.bmp"), QStringLiteral("c.Bmp")}) {
            BitmapFile loose, packed;
            loose.open(path(name));
            ArchiveImages::open(packed, path(QStringLiteral("same.zip:")) + name);
            QCOMPARE(packed.width(), loose.width());
            QCOMPARE(packed.height(), loose.height());
            std::vector<double> a(37 * 23), b(37 * 23);
            loose.readBrightness(0, 0, 36, 22, a.data());
            packed.readBrightness(0, 0, 36, 22, b.data());
            QVERIFY(a == b);
            QCOMPARE(packed.path(), QDir::toNativeSeparators(path(QStringLiteral("same.zip:"))) + name);
        }
        // A plain file is opened as a file, even through the archive opener.
        BitmapFile file;
        ArchiveImages::open(file, path(QStringLiteral("b.bmp")));
        QCOMPARE(file.width(), 37);
    }
}

// Offsets of the sizes in a zip's local header and central directory entry.
static void claimSize(QByteArray &zip, quint32 size)
{
    auto put = [&](qsizetype at) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = char((size >> (8 * i)) & 0xff);
    };
    const qsizetype local = zip.indexOf("PK\x03\x04");
    const qsizetype central = zip.indexOf("PK\x01\x02");
    QVERIFY(local >= 0 && central > local);
    put(local + 22);
    put(central + 24);
}

// Entries are read into a buffer each thread reuses; an image still open must
// keep its own pixels when the next entry is read, and reopening an image
// must not read through bytes that were handed on.
void TestArchiveImages::imagesOpenAtOnceKeepTheirOwnBytes()
{
    pack(QStringLiteral("two.zip"), {QStringLiteral("b.bmp"), QStringLiteral("c.Bmp")});
    const QString archive = path(QStringLiteral("two.zip:"));
    auto brightness = [](BitmapFile &image) {
        std::vector<double> values(37 * 23);
        image.readBrightness(0, 0, 36, 22, values.data());
        return values;
    };
    BitmapFile looseB, looseC;
    looseB.open(path(QStringLiteral("b.bmp")));
    looseC.open(path(QStringLiteral("c.Bmp")));
    BitmapFile first, second;
    ArchiveImages::open(first, archive + QStringLiteral("b.bmp"));
    ArchiveImages::open(second, archive + QStringLiteral("c.Bmp"));
    QVERIFY(brightness(first) == brightness(looseB));
    QVERIFY(brightness(second) == brightness(looseC));
    // The same image object, reopened entry after entry.
    for (int i = 0; i < 3; ++i) {
        ArchiveImages::open(first, archive + QStringLiteral("c.Bmp"));
        QVERIFY(brightness(first) == brightness(looseC));
        ArchiveImages::open(first, archive + QStringLiteral("b.bmp"));
        QVERIFY(brightness(first) == brightness(looseB));
    }
    QVERIFY(brightness(second) == brightness(looseC));
}

void TestArchiveImages::refused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("entry");    // the entry opened; empty: the archive's listing entry
    QTest::addColumn<QString>("message");  // a part the message must hold
    QTest::newRow("not a zip at all") << "garbage" << "" << "не читается";
    QTest::newRow("cut in half") << "cut" << "" << "не читается";
    QTest::newRow("no bitmap inside") << "empty" << "" << "нет изображений *.bmp";
    QTest::newRow("entry is text") << "text" << "text.bmp" << "не является точечным рисунком BMP";
    QTest::newRow("entry claims 3 GB") << "bomb" << "b.bmp" << "слишком велик";
    // The limit itself is allowed (the entry is then found shorter than it claims); one byte more is not.
    QTest::newRow("entry claims the limit") << "limit" << "b.bmp" << "поврежден";
    QTest::newRow("entry claims a byte over the limit") << "over" << "b.bmp" << "слишком велик";
    // Local and central headers disagree: the consistency check refuses the archive when it is opened.
    QTest::newRow("central directory patched") << "patched" << "" << "не читается";
    QTest::newRow("entry data damaged") << "flip" << "b.bmp" << "поврежден";
    QTest::newRow("entry missing") << "fine" << "zzz.bmp" << "не найден";
}

void TestArchiveImages::refused()
{
    QFETCH(QString, damage);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    const QString name = QStringLiteral("bad-%1.zip").arg(damage);
    const QString archive = path(name);
    if (damage == QLatin1String("empty"))
        pack(name, {QStringLiteral("notes.txt")});
    else if (damage == QLatin1String("text"))
        pack(name, {QStringLiteral("text.bmp")});
    else
        pack(name, {QStringLiteral("b.bmp")});
    QByteArray bytes = TestSupport::readFile(archive);
    if (damage == QLatin1String("garbage"))
        bytes = QByteArray(300, 'x');
    else if (damage == QLatin1String("cut"))
        bytes.truncate(bytes.size() / 2);
    else if (damage == QLatin1String("bomb"))
        claimSize(bytes, 0xC0000000u);
    else if (damage == QLatin1String("limit") || damage == QLatin1String("over"))
        claimSize(bytes, quint32(ArchiveImages::MaxEntryBytes) + (damage == QLatin1String("over") ? 1 : 0));
    else if (damage == QLatin1String("patched"))
        bytes[bytes.indexOf("PK\x01\x02") + 16] = char(bytes[bytes.indexOf("PK\x01\x02") + 16] ^ 0x01);
    else if (damage == QLatin1String("flip")) {
        // A byte in the middle of the compressed data, after the local header,
        // the name and the extra field.
        const auto u16 = [&](int at) { return int(quint8(bytes[at])) | int(quint8(bytes[at + 1])) << 8; };
        const int data = 30 + u16(26) + u16(28);
        const int compressed = u16(18) | u16(20) << 16;
        bytes[data + compressed / 2] = char(bytes[data + compressed / 2] ^ 0x55);
    }
    TestSupport::writeFile(archive, bytes);

    const QStringList images = ArchiveImages::expand({archive}, false);
    const QString opened = entry.isEmpty() ? images.value(0) : archive + QLatin1Char(':') + entry;
    if (entry.isEmpty())
        QCOMPARE(images, QStringList{archive + QLatin1Char(':')});
    BitmapFile image;
    try {
        ArchiveImages::open(image, opened);
        QFAIL("the archive was accepted");
    } catch (const KelvarinError &error) {
        QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(archive)), qPrintable(error.message()));
        // libzip's own words for "nothing went wrong" never stand for a reason.
        QVERIFY2(!error.message().contains(QLatin1String("No error")), qPrintable(error.message()));
        if (!entry.isEmpty())
            QVERIFY2(error.message().contains(entry), qPrintable(error.message()));
    }
    QVERIFY(!image.isOpen());
}

// Each thread keeps the archive it read last; an archive replaced by another
// of the same size and time (a new inode) must be read anew.
void TestArchiveImages::archiveRewrittenBetweenOpensIsReadAgain()
{
    const QString archive = path(QStringLiteral("rewritten.zip"));
    QVERIFY(QFile::copy(path(QStringLiteral("b.bmp")), path(QStringLiteral("same.bmp"))));
    pack(QStringLiteral("rewritten.zip"), {QStringLiteral("same.bmp")}, true);
    const QString entry = archive + QStringLiteral(":same.bmp");
    auto firstPixel = [&] {
        BitmapFile image;
        ArchiveImages::open(image, entry);
        double value = 0;
        image.readBrightness(0, 0, 0, 0, &value);
        return value;
    };
    const double before = firstPixel();
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(archive).constData(), &st), 0);
    const qint64 size = st.st_size;
    QFile::remove(path(QStringLiteral("same.bmp")));
    QVERIFY(QFile::copy(path(QStringLiteral("c.Bmp")), path(QStringLiteral("same.bmp"))));
    const QString other = QStringLiteral("other.zip");
    pack(other, {QStringLiteral("same.bmp")}, true);
    // Same size, same modification time: only the file itself is another.
    const utimbuf times{st.st_atime, st.st_mtime};
    QCOMPARE(::utime(QFile::encodeName(path(other)).constData(), &times), 0);
    QCOMPARE(::rename(QFile::encodeName(path(other)).constData(), QFile::encodeName(archive).constData()), 0);
    QCOMPARE(QFileInfo(archive).size(), size);
    QVERIFY(firstPixel() != before);
}

// A quarter gigabyte of zeros packs into a few hundred kilobytes; its first
// bytes say it is no bitmap, and nothing more of it is inflated.
void TestArchiveImages::entryThatIsNoImageIsNotInflated()
{
    const QString zeros = path(QStringLiteral("zeros.bmp"));
    {
        QFile file(zeros);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(ArchiveImages::MaxEntryBytes - 1));
    }
    pack(QStringLiteral("zeros.zip"), {QStringLiteral("zeros.bmp")});
    QFile::remove(zeros);
    rusage before;
    ::getrusage(RUSAGE_SELF, &before);
    BitmapFile image;
    try {
        ArchiveImages::open(image, path(QStringLiteral("zeros.zip:zeros.bmp")));
        QFAIL("zeros were taken for an image");
    } catch (const KelvarinError &error) {
        QCOMPARE(error.message(), QStringLiteral("Файл %1 не является точечным рисунком BMP, изображением PNG, TIFF или JPEG.")
                                      .arg(QDir::toNativeSeparators(path(QStringLiteral("zeros.zip:zeros.bmp")))));
    }
    rusage after;
    ::getrusage(RUSAGE_SELF, &after);
    // The peak grew by far less than the entry (kilobytes).
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 32 * 1024, qPrintable(QString::number(after.ru_maxrss - before.ru_maxrss)));
    QCOMPARE(EntryMemory::reserved(), 0);
}

QTEST_GUILESS_MAIN(TestArchiveImages)
#include "tst_archiveimages.moc"

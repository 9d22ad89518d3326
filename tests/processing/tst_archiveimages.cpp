// Images inside zip archives: listing and order, the same pixels as the loose
// files, and every way an archive or an entry can be refused (damaged, cut,
// empty, not a bitmap, claiming gigabytes) with a message naming both.

#include "ArchiveImages.h"
#include "BitmapFile.h"
#include "BmpWriter.h"
#include "KelvarinError.h"
#include "TRecordedImage.h"
#include "TestSupport.h"
#include "ZipLibrary.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <ctime>

class TestArchiveImages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void entriesInNameOrder();
    void directoriesGiveArchivesOnlyWhenAsked();
    void entryReadsLikeTheFile();
    void imagesOpenAtOnceKeepTheirOwnBytes();
    void libraryThatCannotBeUsedIsNamed();
    void refused_data();
    void refused();
    void entryKeepsItsTime_data();
    void entryKeepsItsTime();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Packs files of the temporary directory with the zip program.
    void pack(const QString &archive, const QStringList &names, bool store = false, const QStringList &options = {});
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

void TestArchiveImages::pack(const QString &archive, const QStringList &names, bool store, const QStringList &options)
{
    QFile::remove(path(archive));
    QProcess zip;
    zip.setWorkingDirectory(m_dir.path());
    QStringList arguments{QStringLiteral("-q")};
    if (store)
        arguments << QStringLiteral("-0");
    arguments << options;
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

void TestArchiveImages::libraryThatCannotBeUsedIsNamed()
{
    const ZipLibrary missing(QStringLiteral("kelvarin-no-such-library"), 1);
    QVERIFY(!missing.isLoaded());
    QVERIFY2(missing.errorString().contains(QStringLiteral("kelvarin-no-such-library")), qPrintable(missing.errorString()));
    QVERIFY(missing.errorString().startsWith(QStringLiteral("библиотека libzip")));
    // A library that loads but is not libzip: the first missing function is named.
    const ZipLibrary other(QStringLiteral("z"), 1);
    QVERIFY(!other.isLoaded());
    QVERIFY2(other.errorString().contains(QStringLiteral("нет функции zip_open")), qPrintable(other.errorString()));
    QVERIFY(ZipLibrary::instance().isLoaded());
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
        if (!entry.isEmpty())
            QVERIFY2(error.message().contains(entry), qPrintable(error.message()));
    }
    QVERIFY(!image.isOpen());
}

void TestArchiveImages::entryKeepsItsTime_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("zone");
    // An odd second: only the extended timestamp holds it (DOS time counts in twos).
    QTest::newRow("extended timestamp") << QStringList{} << 57 << QByteArray("UTC0");
    QTest::newRow("DOS time only") << QStringList{QStringLiteral("-X")} << 56 << QByteArray("UTC0");
    // The DOS time has no zone: it is the station's local time, five hours
    // off UTC here, and the extended one stays a UTC instant.
    QTest::newRow("DOS time, station at UTC+5") << QStringList{QStringLiteral("-X")} << 56 << QByteArray("STN-5");
    QTest::newRow("extended timestamp, station at UTC+5") << QStringList{} << 57 << QByteArray("STN-5");
}

// An image from an archive keeps its entry's time in the journal and the
// export, not the archive's.
void TestArchiveImages::entryKeepsItsTime()
{
    QFETCH(QStringList, options);
    QFETCH(int, second);
    QFETCH(QByteArray, zone);
    // zip (a child) and this process both read the station's zone from TZ.
    const QByteArray oldZone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", zone);
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", oldZone);
        else
            qunsetenv("TZ");
        tzset();
    });
    const QDateTime taken(QDate(2026, 3, 1), QTime(12, 34, second));
    writeImage(QStringLiteral("timed.bmp"), 60);
    QFile file(path(QStringLiteral("timed.bmp")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(taken, QFileDevice::FileModificationTime));
    file.close();
    pack(QStringLiteral("timed.zip"), {QStringLiteral("timed.bmp")}, false, options);
    const QString name = path(QStringLiteral("timed.zip:timed.bmp"));
    QDateTime modified;
    qint64 size = 0;
    QVERIFY(ArchiveImages::entryFacts(name, &modified, &size));
    QCOMPARE(modified.toSecsSinceEpoch(), taken.toSecsSinceEpoch());
    QCOMPARE(size, QFileInfo(path(QStringLiteral("timed.bmp"))).size());
    const TRecordedImage record = TRecordedImage::of(name);
    QCOMPARE(record.modified.toSecsSinceEpoch(), taken.toSecsSinceEpoch());
    QCOMPARE(record.size, size);
    // A loose file and a name of no archive are no entries.
    QVERIFY(!ArchiveImages::entryFacts(path(QStringLiteral("timed.bmp")), &modified, &size));
    QVERIFY(!ArchiveImages::entryFacts(path(QStringLiteral("timed.zip:gone.bmp")), &modified, &size));
}

QTEST_GUILESS_MAIN(TestArchiveImages)
#include "tst_archiveimages.moc"

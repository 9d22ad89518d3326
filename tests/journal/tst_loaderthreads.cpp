#include "ParallelMeasuring.h"
#include "TJournalWriter.h"
#include "TParameters.h"
#include "TPointFinder.h"
#include "TiffLibrary.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// Qt's library and plugin loaders make their logging categories on first use
// and share the table of them among threads without a lock: a measuring job
// loading libtiff while the journal's writer loads its SQL driver crashed the
// tool now and then. Whatever the threads load, the loaders' categories must
// have been made on the thread that started them.
namespace {

struct Made
{
    QByteArray category;
    bool onMainThread = false;
};

QMutex madeLock;
QList<Made> made;
QLoggingCategory::CategoryFilter qtFilter = nullptr;

// Called by Qt for every category as it is made (and at once for those already made).
void noteCategory(QLoggingCategory *category)
{
    {
        QMutexLocker lock(&madeLock);
        made.append({category->categoryName(), QThread::currentThread() == QCoreApplication::instance()->thread()});
    }
    if (qtFilter)
        qtFilter(category);
}

bool isLoaders(const QByteArray &category)
{
    return category.startsWith("qt.core.library") || category.startsWith("qt.core.plugin");
}

} // namespace

class TestLoaderThreads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadersAreReadyBeforeThreadsStart();
};

void TestLoaderThreads::loadersAreReadyBeforeThreadsStart()
{
    qtFilter = QLoggingCategory::installFilter(noteCategory);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        // The writer opens its journal (loading the SQLite driver) as its thread starts.
        TJournalWriter writer(dir.filePath(QStringLiteral("journal.sqlite")), [] {});
        const TParameters params;
        ParallelMeasuring::run(
            8, 2, params, {}, [](TPointFinder &, int) { TiffLibrary::instance(); },
            [](int, const ParallelMeasuring::Image &image) { return image.error.isEmpty(); });
    }
    QLoggingCategory::installFilter(qtFilter);
    QStringList elsewhere;
    int loaders = 0;
    for (const Made &category : std::as_const(made)) {
        if (!isLoaders(category.category))
            continue;
        ++loaders;
        if (!category.onMainThread)
            elsewhere << QString::fromLatin1(category.category);
    }
    QVERIFY2(loaders >= 3, "the loaders' categories were never made: the test no longer sees them");
    QVERIFY2(elsewhere.isEmpty(), qPrintable(elsewhere.join(QLatin1String(", ")) + QStringLiteral(" made on another thread")));
}

QTEST_GUILESS_MAIN(TestLoaderThreads)
#include "tst_loaderthreads.moc"

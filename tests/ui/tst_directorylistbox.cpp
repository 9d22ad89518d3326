// The file browser's lists: the directory chain with its subdirectories, the
// current directory following the list, the "*.bmp" file list in the order a
// run processes it, and the drive box following the list.

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "FileListBox.h"
#include "KelvarinError.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

class TestDirectoryListBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void chain_data();
    void chain();
    void listsChainAndSubdirectories();
    void entersOnActivation();
    void missingDirectoryRefused();
    void removedDirectoryReported();
    void fileListOrder();
    void driveBoxFollows();
    void newDirectoryAppears();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestDirectoryListBox::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = QDir::cleanPath(m_dir->path());
    for (const char *sub : {"beta", "Alpha", "gamma/inner", ".hidden"})
        QVERIFY(QDir(m_path).mkpath(QLatin1String(sub)));
}

void TestDirectoryListBox::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    m_dir.reset();
}

void TestDirectoryListBox::chain_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("root") << "/" << QStringList{"/"};
    QTest::newRow("deep") << "/usr/share/doc" << QStringList{"/", "/usr", "/usr/share", "/usr/share/doc"};
    QTest::newRow("trailing separator") << "/usr/share/" << QStringList{"/", "/usr", "/usr/share"};
    QTest::newRow("dots cleaned") << "/usr/./share/../lib" << QStringList{"/", "/usr", "/usr/lib"};
}

void TestDirectoryListBox::chain()
{
    QFETCH(QString, path);
    QFETCH(QStringList, expected);
    QCOMPARE(DirectoryListBox::chain(path), expected);
}

void TestDirectoryListBox::listsChainAndSubdirectories()
{
    DirectoryListBox list;
    QSignalSpy changed(&list, &DirectoryListBox::directoryChanged);
    list.setDirectory(m_path + QLatin1String("/"));
    QCOMPARE(list.directory(), m_path);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), m_path);
    QCOMPARE(QDir::currentPath(), m_path);

    QTreeWidgetItem *current = list.currentItem();
    QVERIFY(current);
    QCOMPARE(current->data(0, Qt::UserRole).toString(), m_path);
    QCOMPARE(current->text(0), QFileInfo(m_path).fileName());
    QStringList subdirectories;
    for (int i = 0; i < current->childCount(); ++i)
        subdirectories << current->child(i)->text(0);
    // Name order without regard to case; hidden directories are left out.
    QCOMPARE(subdirectories, (QStringList{"Alpha", "beta", "gamma"}));
    // Above it, the chain up to the root.
    int depth = 0;
    for (QTreeWidgetItem *item = current; item->parent(); item = item->parent())
        ++depth;
    QCOMPARE(depth + 1, DirectoryListBox::chain(m_path).size());
    QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("/"));
}

void TestDirectoryListBox::entersOnActivation()
{
    DirectoryListBox list;
    list.setDirectory(m_path);
    QTreeWidgetItem *gamma = list.currentItem()->child(2);
    Q_EMIT list.itemActivated(gamma, 0);
    QCOMPARE(list.directory(), m_path + QLatin1String("/gamma"));
    QCOMPARE(list.currentItem()->child(0)->text(0), QStringLiteral("inner"));
    // Up again through the chain.
    Q_EMIT list.itemActivated(list.currentItem()->parent(), 0);
    QCOMPARE(list.directory(), m_path);
}

void TestDirectoryListBox::missingDirectoryRefused()
{
    DirectoryListBox list;
    list.setDirectory(m_path);
    const QString missing = m_path + QLatin1String("/nowhere");
    try {
        list.setDirectory(missing);
        QFAIL("no error");
    } catch (const KelvarinError &error) {
        QCOMPARE(error.message(), QStringLiteral("Не удается открыть директорию ") + missing);
    }
    QVERIFY_THROWS_EXCEPTION(KelvarinError, list.setDirectory(QString()));
    QCOMPARE(list.directory(), m_path);
    QCOMPARE(QDir::currentPath(), m_path);
}

void TestDirectoryListBox::removedDirectoryReported()
{
    ScriptedDialogs dialogs;
    DirectoryListBox list;
    list.setDirectory(m_path);
    QTreeWidgetItem *beta = list.currentItem()->child(1);
    QVERIFY(QDir(m_path + QLatin1String("/beta")).removeRecursively());
    Q_EMIT list.itemActivated(beta, 0);
    QCOMPARE(list.directory(), m_path);
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Не удается открыть директорию ") + m_path
                                                 + QLatin1String("/beta")});
    QCOMPARE(dialogs.messages().at(0).caption, QStringLiteral("Kelvarin2"));
    // The list shows what is there now.
    QCOMPARE(list.currentItem()->childCount(), 2);
}

void TestDirectoryListBox::fileListOrder()
{
    for (const char *name : {"b.bmp", "A.BMP", "c.Bmp", "a_2.bmp", "notes.txt", "image.bmp.txt"})
        TestSupport::writeFile(m_path + QLatin1Char('/') + QLatin1String(name), "x");
    FileListBox files;
    files.setDirectory(m_path);
    QStringList names;
    for (int i = 0; i < files.count(); ++i)
        names << files.item(i)->text();
    QCOMPARE(names, (QStringList{"A.BMP", "a_2.bmp", "b.bmp", "c.Bmp"}));
    files.item(3)->setSelected(true);
    files.item(1)->setSelected(true);
    QCOMPARE(files.selectedPaths(), (QStringList{m_path + "/a_2.bmp", m_path + "/c.Bmp"}));
    QCOMPARE(files.allPaths().size(), 4);
    // Another directory: a new list, nothing selected.
    files.setDirectory(m_path + QLatin1String("/Alpha"));
    QCOMPARE(files.count(), 0);
    QVERIFY(files.selectedPaths().isEmpty());
}

void TestDirectoryListBox::driveBoxFollows()
{
    DriveComboBox drives;
    QVERIFY(drives.count() > 0);
    drives.follow(m_path);
    const QString root = QStorageInfo(m_path).rootPath();
    QCOMPARE(drives.currentData().toString(), root);
    // The volume remembers where the list last was on it.
    QCOMPARE(drives.directoryFor(drives.currentIndex()), m_path);
    drives.follow(root);
    QCOMPARE(drives.directoryFor(drives.currentIndex()), root);
}

// A directory created while the list shows its parent appears without
// re-entering the parent, and the selected entry stays selected.
void TestDirectoryListBox::newDirectoryAppears()
{
    DirectoryListBox list;
    list.setDirectory(m_path);
    QTreeWidgetItem *beta = list.currentItem()->child(1);
    QCOMPARE(beta->text(0), QStringLiteral("beta"));
    list.setCurrentItem(beta);
    auto names = [&list] {
        QStringList found;
        QTreeWidgetItem *current = nullptr;
        for (QTreeWidgetItemIterator it(&list); *it; ++it) {
            if ((*it)->data(0, Qt::UserRole).toString() == list.directory())
                current = *it;
        }
        for (int i = 0; current && i < current->childCount(); ++i)
            found << current->child(i)->text(0);
        return found;
    };
    QVERIFY(QDir(m_path).mkdir(QStringLiteral("delta")));
    QTRY_COMPARE(names(), (QStringList{"Alpha", "beta", "delta", "gamma"}));
    QCOMPARE(list.currentItem()->text(0), QStringLiteral("beta"));
    QVERIFY(QDir(m_path).rmdir(QStringLiteral("Alpha")));
    QTRY_COMPARE(names(), (QStringList{"beta", "delta", "gamma"}));
}

QTEST_MAIN(TestDirectoryListBox)
#include "tst_directorylistbox.moc"

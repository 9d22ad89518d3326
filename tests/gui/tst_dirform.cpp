#include "DriveComboBox.h"
#include "KelvarinError.h"
#include "ScriptedDialogs.h"
#include "TDirForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

// The directory chooser: the callers' protocol, the list, the drive box and
// the path field.
class TestDirForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void layoutAndTexts();
    void missingDirectoryThrows();
    void resultClearedAtEveryShowing();
    void listEntersAndGoesUp();
    void driveBoxReturnsToVolumeDirectory();
    void newDirectoryAppears();
    void typedPath_data();
    void typedPath();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDirForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("b/inner")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("A")));
}

void TestDirForm::layoutAndTexts()
{
    TDirForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Выбор директории"));
    QCOMPARE(form.size(), QSize(452, 368));
    QCOMPARE(form.Button1->text(), QStringLiteral("OK"));
    QCOMPARE(form.Button2->text(), QStringLiteral("Отмена"));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(form.DriveComboBox1->findText(QStringLiteral("/")) >= 0);
    form.setDirectory(m_dir->path());
    QCOMPARE(form.Label1->text(), m_dir->path());
    form.setDirectory(QString()); // an empty text leaves the list where it was
    QCOMPARE(form.directory(), m_dir->path());
}

void TestDirForm::missingDirectoryThrows()
{
    TDirForm form;
    form.setDirectory(m_dir->path());
    const QString missing = m_dir->filePath(QStringLiteral("gone"));
    try {
        form.setDirectory(missing);
        QFAIL("no error");
    } catch (const KelvarinError &e) {
        QCOMPARE(e.message(), QStringLiteral("Не удается открыть директорию ") + missing);
    }
    QCOMPARE(form.directory(), m_dir->path());
}

void TestDirForm::resultClearedAtEveryShowing()
{
    TDirForm form;
    form.setWindowTitle(QStringLiteral("Выбор рабочей директории"));
    form.setDirectory(m_dir->path());
    QTimer::singleShot(0, form.Button1, &QPushButton::click);
    form.exec();
    QCOMPARE(form.DirectoryResult, m_dir->path());
    QTimer::singleShot(0, form.Button2, &QPushButton::click);
    form.exec();
    QCOMPARE(form.DirectoryResult, QString());
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    form.DirectoryResult = QStringLiteral("stale");
    form.exec();
    QCOMPARE(form.DirectoryResult, QString());
}

void TestDirForm::listEntersAndGoesUp()
{
    TDirForm form;
    form.setDirectory(m_dir->path());
    QStringList entries;
    for (int i = 0; i < form.DirectoryListBox1->count(); ++i)
        entries << form.DirectoryListBox1->item(i)->text();
    QCOMPARE(entries, (QStringList{"..", "A", "b"}));
    Q_EMIT form.DirectoryListBox1->itemActivated(form.DirectoryListBox1->item(2));
    QCOMPARE(form.directory(), m_dir->filePath(QStringLiteral("b")));
    QCOMPARE(form.Label1->text(), m_dir->filePath(QStringLiteral("b")));
    Q_EMIT form.DirectoryListBox1->itemActivated(form.DirectoryListBox1->item(0));
    QCOMPARE(form.directory(), m_dir->path());

    form.setDirectory(QStringLiteral("/"));
    QVERIFY(form.DirectoryListBox1->count() == 0
            || form.DirectoryListBox1->item(0)->text() != QStringLiteral(".."));
}

void TestDirForm::driveBoxReturnsToVolumeDirectory()
{
    ScriptedDialogs dialogs;
    TDirForm form;
    const QString inner = m_dir->filePath(QStringLiteral("b/inner"));
    form.setDirectory(inner);
    const QString root = QStorageInfo(inner).rootPath();
    const int index = form.DriveComboBox1->findText(root);
    QVERIFY(index >= 0);
    QCOMPARE(form.DriveComboBox1->currentIndex(), index);
    form.setDirectory(QStringLiteral("/"));
    form.DriveComboBox1Change(index);
    QCOMPARE(form.directory(), root == QStringLiteral("/") ? QStringLiteral("/") : inner);
    QTimer::singleShot(0, form.Button1, &QPushButton::click);
    form.exec();
    QCOMPARE(form.DirectoryResult, form.directory());
    QVERIFY(dialogs.calls.isEmpty());
}

// The chooser lists a directory created while it is open.
void TestDirForm::newDirectoryAppears()
{
    TDirForm form;
    form.setDirectory(m_dir->path());
    auto names = [&form] {
        QStringList found;
        for (int i = 0; i < form.DirectoryListBox1->count(); ++i)
            found << form.DirectoryListBox1->item(i)->text();
        return found;
    };
    const int before = int(names().size());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("c-new")));
    QTRY_VERIFY(names().contains(QStringLiteral("c-new")));
    QCOMPARE(int(names().size()), before + 1);
}

void TestDirForm::typedPath_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("a directory") << "b/inner" << true;
    QTest::newRow("with a trailing slash and blanks") << " b/inner/ " << true;
    QTest::newRow("missing") << "gone" << false;
    QTest::newRow("a file") << "file.txt" << false;
}

// Typed into the path field and confirmed with Enter: a directory that exists
// is the choice; another is refused with its name, the chooser stays open on
// the directory it showed, the field selected for mending.
void TestDirForm::typedPath()
{
    QFETCH(QString, typed);
    QFETCH(bool, chosen);
    QFile file(m_dir->filePath(QStringLiteral("file.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ScriptedDialogs dialogs;
    TDirForm form;
    form.setDirectory(m_dir->path());
    QCOMPARE(form.editPath->text(), m_dir->path());
    const QString target = m_dir->filePath(typed.trimmed());
    bool stillOpen = false;
    QTimer::singleShot(0, &form, [&] {
        form.editPath->setText(typed.startsWith(QLatin1Char(' ')) ? QLatin1Char(' ') + target : target);
        QTest::keyClick(form.editPath, Qt::Key_Return);
        stillOpen = form.isVisible();
        if (stillOpen)
            form.Button2->click();
    });
    form.exec();
    QCOMPARE(!stillOpen, chosen);
    QCOMPARE(form.DirectoryResult, chosen ? m_dir->filePath(QStringLiteral("b/inner")) : QString());
    QCOMPARE(dialogs.messageTexts(),
             chosen ? QStringList() : QStringList{QStringLiteral("Не удается открыть директорию ") + QDir::cleanPath(target)});
    if (!chosen)
        QCOMPARE(form.directory(), m_dir->path());
}

QTEST_MAIN(TestDirForm)
#include "tst_dirform.moc"

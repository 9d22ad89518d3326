#include "FileSizeModel.h"
#include "QtDialogService.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The real message boxes behind the dialog interface.
class TestQtDialogService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textShownAsItStands();
    void filters_data();
    void filters();
    void stepTextOnOneLine();
    void fileSizesInTheInterfaceLanguage();
};

// A file name that looks like markup is shown as it stands, not as markup.
void TestQtDialogService::textShownAsItStands()
{
    const QString text = QStringLiteral("Не удается открыть директорию /data/<b>cam</b>");
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    QtDialogService service;
    QCOMPARE(service.message(nullptr, QStringLiteral("Kelvarin2"), text, DialogService::Ok, DialogService::Icon::Error),
             DialogService::Ok);
    QCOMPARE(format, Qt::PlainText);
}

void TestQtDialogService::filters_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("qt");
    QTest::newRow("zones") << QStringLiteral("Zone Files|*.zon|All Files|*.*")
                           << QStringLiteral("Zone Files (*.zon);;All Files (*)");
    QTest::newRow("pattern named in the description")
        << QStringLiteral("Coordinate Files (*.crd)|*.crd") << QStringLiteral("Coordinate Files (*.crd)");
    QTest::newRow("several patterns") << QStringLiteral("Tables|*.crd;*.lst")
                                      << QStringLiteral("Tables (*.crd *.lst)");
}

// The program's bar-separated filters as the file dialog lists them.
void TestQtDialogService::filters()
{
    QFETCH(QString, program);
    QFETCH(QString, qt);
    QCOMPARE(QtDialogService::qtFilter(program), qt);
}

// The step mode's figures fit on the screen: they stay on one line, the
// label as high as one line of its font.
void TestQtDialogService::stepTextOnOneLine()
{
    const QString text = QStringLiteral("Порог бинаризации: 123,456789       Максимальная яркость: 255       Площадь: 1724");
    int labelHeight = 0, lineHeight = 0;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        labelHeight = label->height();
        lineHeight = label->fontMetrics().height();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QtDialogService service;
    QCOMPARE(service.message(nullptr, QStringLiteral("Сообщение"), text, DialogService::Ok | DialogService::Cancel,
                             DialogService::Icon::None),
             DialogService::Cancel);
    QVERIFY2(labelHeight < 2 * lineHeight, qPrintable(QStringLiteral("%1 / %2").arg(labelHeight).arg(lineHeight)));
}

// A station under C.UTF-8 still lists "18 байт" in a Russian window, never "18 bytes".
void TestQtDialogService::fileSizesInTheInterfaceLanguage()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath(QStringLiteral("a.crd")), QByteArray(18, 'x'));
    QFileSystemModel files;
    FileSizeModel shown;
    shown.setSourceModel(&files);
    const QModelIndex root = files.setRootPath(dir.path());
    QTRY_COMPARE(files.rowCount(root), 1);
    const QModelIndex size = shown.mapFromSource(files.index(0, FileSizeModel::SizeColumn, root));
    QTRY_COMPARE(shown.data(size).toString(), QLocale().formattedDataSize(18));
    QVERIFY2(!shown.data(size).toString().contains(QStringLiteral("bytes")), qPrintable(shown.data(size).toString()));
    QCOMPARE(shown.data(shown.mapFromSource(files.index(0, 0, root))).toString(), QStringLiteral("a.crd"));
    QLocale::setDefault(before);
}

QTEST_MAIN(TestQtDialogService)
#include "tst_qtdialogservice.moc"

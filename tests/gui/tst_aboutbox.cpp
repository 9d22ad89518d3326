#include "TKelvarinAboutBox.h"
#include "TZymAboutBox.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The two about boxes: caption, product name, version, picture, OK.
class TestAboutBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxes_data();
    void boxes();
};

void TestAboutBox::boxes_data()
{
    QTest::addColumn<QString>("product");
    QTest::newRow("main program") << "Kelvarin-2";
    QTest::newRow("measurement window") << "Zym";
}

void TestAboutBox::boxes()
{
    QFETCH(QString, product);
    std::unique_ptr<AboutBox> box;
    if (product == QLatin1String("Zym"))
        box = std::make_unique<TZymAboutBox>();
    else
        box = std::make_unique<TKelvarinAboutBox>();
    QCOMPARE(box->windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(box->size(), QSize(316, 193));
    QCOMPARE(box->ProductName->text(), product);
    QCOMPARE(box->Version->text(), QStringLiteral("Version 1.0.0"));
    QCOMPARE(box->ProgramIcon->size(), QSize(80, 70));
    QVERIFY(!box->ProgramIcon->pixmap().isNull());
    QCOMPARE(box->ProgramIcon->pixmap().size(), QSize(80, 70));
    QVERIFY(box->OKButton->isDefault());

    // Enter closes it with OK.
    QTimer::singleShot(0, box.get(), [&box] { QTest::keyClick(box.get(), Qt::Key_Return); });
    QCOMPARE(box->exec(), int(QDialog::Accepted));
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"

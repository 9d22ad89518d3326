#include "MarkerColors.h"
#include "TColorSet.h"

#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The marker colour and size dialog: selection from values, picking names,
// the preview cross and its colours.
class TestColorSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectsNamesOfGivenColours();
    void pickedNameGivesValue();
    void unnamedColourKeptUntouched();
    void previewShowsActiveWhileHeld();
    void sizeOutsideRange();
    void captionsAndLists();
    void screenshot();

private:
    static QColor previewPixel(TColorSet &dialog, QPoint offsetFromCentre);
};

QColor TestColorSet::previewPixel(TColorSet &dialog, QPoint offsetFromCentre)
{
    const QImage image = dialog.PaintBox1->grab().toImage();
    const QPoint centre(dialog.PaintBox1->width() / 2, dialog.PaintBox1->height() / 2);
    return image.pixelColor(centre + offsetFromCentre);
}

void TestColorSet::selectsNamesOfGivenColours()
{
    TColorSet dialog(255, 16711680, 8);
    QCOMPARE(dialog.ComboBox2->currentData().toString(), QStringLiteral("Red"));
    QCOMPARE(dialog.ComboBox2->currentText(), QStringLiteral("Красный"));
    QCOMPARE(dialog.ComboBox1->currentData().toString(), QStringLiteral("Blue"));
    QCOMPARE(dialog.ComboBox1->currentText(), QStringLiteral("Синий"));
    QCOMPARE(dialog.TrackBar1->value(), 8);
}

void TestColorSet::pickedNameGivesValue()
{
    TColorSet dialog(255, 16711680, 8);
    const int gray = dialog.ComboBox1->findData(QStringLiteral("Gray"));
    dialog.ComboBox1->setCurrentIndex(gray);
    dialog.ComboBox1Change(gray);
    QCOMPARE(dialog.passiveColor(), 8421504);
    QCOMPARE(dialog.activeColor(), 255);
    // The next opening names the value by its first name.
    TColorSet next(dialog.activeColor(), dialog.passiveColor(), 8);
    QCOMPARE(next.ComboBox1->currentData().toString(), QStringLiteral("Dark gray"));
}

void TestColorSet::unnamedColourKeptUntouched()
{
    TColorSet dialog(255, 12345, 10);
    QCOMPARE(dialog.ComboBox1->currentIndex(), -1);
    QTimer::singleShot(0, dialog.OkBtn, &QPushButton::click);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.passiveColor(), 12345);
    QCOMPARE(dialog.size(), 10);
}

void TestColorSet::previewShowsActiveWhileHeld()
{
    TColorSet dialog(65280, 255, 12);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Arms: left 12 pixels, right 11; the end pixel is left out.
    QCOMPARE(previewPixel(dialog, QPoint(-12, 0)), QColor(255, 0, 0));
    QCOMPARE(previewPixel(dialog, QPoint(11, 0)), QColor(255, 0, 0));
    QCOMPARE(previewPixel(dialog, QPoint(12, 0)), QColor(Qt::white));
    QCOMPARE(previewPixel(dialog, QPoint(0, -12)), QColor(255, 0, 0));
    QCOMPARE(previewPixel(dialog, QPoint(0, 12)), QColor(Qt::white));

    QTest::mousePress(dialog.PaintBox1, Qt::LeftButton);
    QVERIFY(dialog.previewActive());
    QCOMPARE(previewPixel(dialog, QPoint(-5, 0)), QColor(0, 255, 0));
    QTest::mouseRelease(dialog.PaintBox1, Qt::LeftButton);
    QVERIFY(!dialog.previewActive());
    QCOMPARE(previewPixel(dialog, QPoint(-5, 0)), QColor(255, 0, 0));

    // The size is also shown as a number, beside the bar, never over the cross.
    auto *value = dialog.findChild<QLabel *>(QStringLiteral("SizeValue"));
    QVERIFY(value);
    QCOMPARE(value->text(), QStringLiteral("Размер: 12"));
    dialog.TrackBar1->setFocus();
    for (int i = 0; i < 8; ++i)
        QTest::keyClick(dialog.TrackBar1, Qt::Key_Right);
    QCOMPARE(dialog.size(), 20);
    QCOMPARE(value->text(), QStringLiteral("Размер: 20"));
    QCOMPARE(previewPixel(dialog, QPoint(-20, 0)), QColor(255, 0, 0));
    const QRect labelArea(value->mapTo(&dialog, QPoint(0, 0)), value->size());
    const QRect crossArea(dialog.PaintBox1->mapTo(&dialog, QPoint(0, 0)), dialog.PaintBox1->size());
    QVERIFY(!labelArea.intersects(crossArea));
}

void TestColorSet::sizeOutsideRange()
{
    TColorSet big(255, 0, 30);
    QCOMPARE(big.TrackBar1->value(), 20);
    QCOMPARE(big.size(), 30);
    TColorSet small(255, 0, 3);
    QCOMPARE(small.TrackBar1->value(), 8);
    small.TrackBar1->setValue(9);
    QCOMPARE(small.size(), 9);
}

void TestColorSet::captionsAndLists()
{
    TColorSet dialog(255, 0, 8);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Изменение цвета и размера"));
    QCOMPARE(dialog.ComboBox1->count(), 18);
    QCOMPARE(dialog.ComboBox1->itemText(0), QStringLiteral("Голубой"));
    QCOMPARE(dialog.ComboBox1->itemData(0).toString(), QStringLiteral("Aqua"));
    // Every name has a swatch in its own colour.
    for (int i = 0; i < dialog.ComboBox1->count(); ++i) {
        const QImage swatch = dialog.ComboBox1->itemIcon(i).pixmap(16, 16).toImage();
        const int value = MarkerColors::NameToColor(dialog.ComboBox1->itemData(i).toString());
        QCOMPARE(swatch.pixelColor(8, 8), MarkerColors::toQColor(value));
    }
    QVERIFY(!dialog.ComboBox1->isEditable());
    QCOMPARE(dialog.TrackBar1->minimum(), 8);
    QCOMPARE(dialog.TrackBar1->maximum(), 20);
    QCOMPARE(dialog.OkBtn->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("Отмена"));
    for (const char *label : {"Label1", "Label3", "Label5"})
        QVERIFY2(dialog.findChild<QWidget *>(label), label);
    // Closing through the frame counts as Cancel.
    dialog.show();
    dialog.close();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

// A picture of the dialog for a person to look at, with its list open.
void TestColorSet::screenshot()
{
    const QString shots = qEnvironmentVariable("KELVARIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("KELVARIN_SHOTS names the directory for the pictures");
    TColorSet dialog(255, 16711680, 20);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(300);
    QVERIFY(dialog.grab().save(shots + QLatin1String("/colour-dialog.png")));
    dialog.ComboBox2->showPopup();
    QTest::qWait(400);
    QVERIFY(dialog.screen()->grabWindow(0).save(shots + QLatin1String("/colour-dialog-list.png")));
    dialog.ComboBox2->hidePopup();
}

QTEST_MAIN(TestColorSet)
#include "tst_colorset.moc"

// The settings dialog: its layout and captions, filling and taking over,
// the "Ошибка!" path, the directory choosers with their refusals, the archive
// check boxes, the start style's dependent controls, the zone file buttons,
// and, through the main window, the start styles it switches to.

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "IniFile.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "MainFormSetup.h"
#include "PropertysControls.h"
#include "TDateTime.h"
#include "TDirForm.h"
#include "TPropertysForm.h"
#include "TPropertysHost.h"
#include "TRedForm.h"
#include "TStartControl.h"
#include "EventLogWindow.h"
#include "WarningIndicator.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QTableWidget>
#include <QToolButton>

#include <functional>

namespace {

// The dialog's host without a main window.
struct FakeHost : TPropertysHost
{
    TParameters params;
    QStringList workDirs;
    QList<int> styles;
    int takenOver = 0;
    TParameters &settings() override { return params; }
    void applyWorkDir(const QString &dir) override
    {
        if (!QFileInfo(dir).isDir())
            throw KelvarinError(QStringLiteral("Не удается открыть директорию ") + dir);
        workDirs << dir;
    }
    void SetStartStyle(int style) override { styles << style; }
    void settingsTakenOver() override { ++takenOver; }
};

struct FixedClock : TClock
{
    QDateTime time;
    QDateTime now() const override { return time; }
};

QString tabText(const TPropertysForm &form, int index)
{
    return PageControl1(form)->tabText(index);
}

} // namespace

class TestPropertysForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    // The dialog on its own.
    void layoutAndCaptions();
    void fillArchiveBoxesExclusive();
    void archiveBoxesExcludeEachOther();
    void dependentControls_data();
    void dependentControls();
    void directoryChooser_data();
    void directoryChooser();
    void chooserStartsNowhere();
    void zoneButton();
    void zonesEditOpensTableEditor();
    void cancelTakesNothing();
    void centroidWeightingControl();
    void spotCentreGroup_data();
    void spotCentreGroup();

    // Through the main window.
    void okWithoutChanges();
    void abcInCEdit();
    void failedFieldNamed_data();
    void failedFieldNamed();
    void percentShownAgain();
    void monitoringValuesKept_data();
    void monitoringValuesKept();
    void okMovesBrowserAndRedrawsZones();
    void watchMissingBufferKeepsDialogOpen();
    void watchStartsAndStops_data();
    void watchStartsAndStops();
    void scheduledStart();
    void startUpFallback();
    void screenshot();

private:
    // Opens the dialog from the main window's menu and runs `act` while it is
    // shown; a dialog still open afterwards is cancelled (and reported).
    bool whileShown(TMainForm &form, const std::function<void(TPropertysForm &)> &act);
    QTemporaryDir m_config;
};

void TestPropertysForm::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

bool TestPropertysForm::whileShown(TMainForm &form, const std::function<void(TPropertysForm &)> &act)
{
    TPropertysForm *dialog = form.propertysForm();
    bool stillOpen = false;
    QTimer::singleShot(0, dialog, [&] {
        act(*dialog);
        stillOpen = dialog->isVisible();
        if (stillOpen)
            dialog->reject();
    });
    actionSettings(form)->trigger();
    return stillOpen;
}

void TestPropertysForm::layoutAndCaptions()
{
    FakeHost host;
    TPropertysForm form(host);
    form.fill();
    QCOMPARE(form.windowTitle(), QStringLiteral("Настройки"));
    QCOMPARE(form.size(), QSize(664, 338));
    QCOMPARE(form.minimumSize(), QSize(660, 330));
    QVERIFY(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(PageControl1(form)->count(), 4);
    QCOMPARE(tabText(form, 0), QStringLiteral("Общие"));
    QCOMPARE(tabText(form, 1), QStringLiteral("Запуск"));
    QCOMPARE(tabText(form, 2), QStringLiteral("Фильтр промахов"));
    QCOMPARE(tabText(form, 3), QStringLiteral("Мониторинг"));
    QCOMPARE(Button1(form)->text(), QStringLiteral("OK"));
    QCOMPARE(Button2(form)->text(), QStringLiteral("Отмена"));

    const QList<std::pair<QString, QString>> captions = {
        {ModeGroupBox(form)->title(), QStringLiteral("Режим работы")},
        {AllRadioButton(form)->text(), QStringLiteral("В целом")},
        {StepsRadioButton(form)->text(), QStringLiteral("По шагам")},
        {VisCheckBox(form)->text(), QStringLiteral("Визуализация при работе")},
        {AutoSaveCheckBox(form)->text(), QStringLiteral("Автосохранение")},
        {PorogGroupBox(form)->title(), QStringLiteral("Порог")},
        {FormulaLabel(form)->text(), QStringLiteral("B *J + C")},
        {WorkDirLabel(form)->text(), QStringLiteral("Рабочая директория:")},
        {Button3(form)->text(), QStringLiteral("...")},
        {ZonesLabel(form)->text(), QStringLiteral("Зоны:")},
        {ZoneButton(form)->text(), QStringLiteral("...")},
        {StartGroupBox(form)->title(), QStringLiteral("Запуск обработки")},
        {TimerRadioButton(form)->text(), QStringLiteral("По сигналу таймера")},
        {FilesRadioButton(form)->text(), QStringLiteral("По новым файлам в директории")},
        {Button6(form)->text(), QStringLiteral("...")},
        {SaveToOneZipCheckBox(form)->text(), QStringLiteral("Архивировать файлы изображений в единый архив")},
        {SaveToManyZipCheckBox(form)->text(), QStringLiteral("Архивировать файлы изображений в отдельные архивы")},
        {ManualRadioButton(form)->text(), QStringLiteral("По клавише \"Enter\" или пусковой кнопке")},
        {MinSLabel(form)->text(), QStringLiteral("Минимальная площадь:")},
        {MaxSLabel(form)->text(), QStringLiteral("Максимальная площадь:")},
        {PercentLabel(form)->text(), QStringLiteral("Средняя яркость области (в % от калибровочного):")},
        {PorogLabel(form)->text(), QStringLiteral("(в единицах яркости):")}};
    for (const auto &[shown, expected] : captions)
        QCOMPARE(shown, expected);
    QVERIFY(FormulaLabel(form)->font().bold());
    QVERIFY(FormulaLabel(form)->font().pointSizeF() > BEdit(form)->font().pointSizeF());
    QCOMPARE(TimePicker(form)->displayFormat(), QStringLiteral("HH:mm"));
    QVERIFY(DatePicker(form)->calendarPopup());
    QVERIFY(DatePicker(form)->displayFormat().contains(QLatin1String("yyyy")));

    // The defaults as shown, in the locale's notation.
    QVERIFY(AllRadioButton(form)->isChecked());
    QVERIFY(ManualRadioButton(form)->isChecked());
    QCOMPARE(BEdit(form)->text(), LocaleFormat::formatGeneral(0.75));
    QCOMPARE(AverageYPorogPercentEdit(form)->text(), QStringLiteral("75"));
    QCOMPARE(AverageYPorogEdit(form)->text(), QStringLiteral("200"));
    QCOMPARE(MinSEdit(form)->text(), QStringLiteral("1000"));
    QCOMPARE(MaxSEdit(form)->text(), QStringLiteral("3000"));
    // No date stored: today, never 30.12.1899.
    QCOMPARE(DatePicker(form)->date(), QDate::currentDate());
    QCOMPARE(TimePicker(form)->time(), QTime(0, 0));
}

void TestPropertysForm::fillArchiveBoxesExclusive()
{
    FakeHost host;
    host.params.SaveToOneZip = true;
    host.params.SaveToManyZip = true;
    TPropertysForm form(host);
    form.fill();
    QVERIFY(!SaveToOneZipCheckBox(form)->isChecked());
    QVERIFY(SaveToManyZipCheckBox(form)->isChecked());
    host.params.SaveToManyZip = false;
    form.fill();
    QVERIFY(SaveToOneZipCheckBox(form)->isChecked());
    QVERIFY(!SaveToManyZipCheckBox(form)->isChecked());
}

void TestPropertysForm::archiveBoxesExcludeEachOther()
{
    FakeHost host;
    host.params.StartStyle = 2;
    host.params.SaveToOneZip = true;
    TPropertysForm form(host);
    form.fill();
    form.show();
    QTest::mouseClick(SaveToManyZipCheckBox(form), Qt::LeftButton);
    QVERIFY(SaveToManyZipCheckBox(form)->isChecked());
    QVERIFY(!SaveToOneZipCheckBox(form)->isChecked());
    QTest::mouseClick(SaveToOneZipCheckBox(form), Qt::LeftButton);
    QVERIFY(SaveToOneZipCheckBox(form)->isChecked());
    QVERIFY(!SaveToManyZipCheckBox(form)->isChecked());
    // Clearing one leaves the other as it is.
    QTest::mouseClick(SaveToOneZipCheckBox(form), Qt::LeftButton);
    QVERIFY(!SaveToOneZipCheckBox(form)->isChecked());
    QVERIFY(!SaveToManyZipCheckBox(form)->isChecked());
}

void TestPropertysForm::dependentControls_data()
{
    QTest::addColumn<int>("storedStyle");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<bool>("timerControls");
    QTest::addColumn<bool>("bufferControls");
    QTest::newRow("stored 1") << 1 << 0 << true << false;
    QTest::newRow("stored 2") << 2 << 0 << false << true;
    QTest::newRow("stored 3") << 3 << 0 << false << false;
    QTest::newRow("timer clicked") << 3 << 1 << true << false;
    QTest::newRow("files clicked") << 1 << 2 << false << true;
    QTest::newRow("manual clicked") << 2 << 3 << false << false;
}

void TestPropertysForm::dependentControls()
{
    QFETCH(int, storedStyle);
    QFETCH(int, clicked);
    QFETCH(bool, timerControls);
    QFETCH(bool, bufferControls);
    FakeHost host;
    host.params.StartStyle = storedStyle;
    TPropertysForm form(host);
    form.fill();
    form.show();
    PageControl1(form)->setCurrentIndex(1);
    if (clicked) {
        QRadioButton *button = clicked == 1 ? TimerRadioButton(form)
                             : clicked == 2 ? FilesRadioButton(form)
                                            : ManualRadioButton(form);
        // On the indicator: a button spanning the group is wider than its text.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        QVERIFY(button->isChecked());
    }
    QCOMPARE(DatePicker(form)->isEnabled(), timerControls);
    QCOMPARE(TimePicker(form)->isEnabled(), timerControls);
    for (QWidget *control : {static_cast<QWidget *>(BufferDirEdit(form)), static_cast<QWidget *>(Button6(form)),
                             static_cast<QWidget *>(SaveToOneZipCheckBox(form)),
                             static_cast<QWidget *>(SaveToManyZipCheckBox(form))})
        QCOMPARE(control->isEnabled(), bufferControls);
    QCOMPARE(form.values().startStyle, clicked ? clicked : storedStyle);
}

void TestPropertysForm::directoryChooser_data()
{
    QTest::addColumn<bool>("buffer");
    QTest::addColumn<QString>("choice"); // "other", "same" as the other edit, "cancel"
    QTest::newRow("working: another") << false << "other";
    QTest::newRow("working: the buffer") << false << "same";
    QTest::newRow("working: cancelled") << false << "cancel";
    QTest::newRow("buffer: another") << true << "other";
    QTest::newRow("buffer: the working one") << true << "same";
    QTest::newRow("buffer: cancelled") << true << "cancel";
}

void TestPropertysForm::directoryChooser()
{
    QFETCH(bool, buffer);
    QFETCH(QString, choice);
    QTemporaryDir dir;
    const QString work = dir.filePath(QStringLiteral("work"));
    const QString buf = dir.filePath(QStringLiteral("buffer"));
    const QString other = dir.filePath(QStringLiteral("other"));
    for (const QString &d : {work, buf, other})
        QVERIFY(QDir().mkpath(d));
    ScriptedDialogs dialogs;
    FakeHost host;
    host.params.StartStyle = 2;
    host.params.WorkDir = work;
    host.params.BufferDir = buf;
    TPropertysForm form(host);
    TDirForm chooser;
    form.setDirForm(&chooser);
    form.fill();

    QString title, startedAt;
    QTimer::singleShot(0, &chooser, [&] {
        title = chooser.windowTitle();
        startedAt = chooser.directory();
        if (choice == QLatin1String("cancel")) {
            chooser.Button2->click();
            return;
        }
        // The other directory with a trailing separator is the same directory.
        chooser.setDirectory(choice == QLatin1String("other") ? other : buffer ? work : buf + QLatin1Char('/'));
        chooser.Button1->click();
    });
    if (buffer)
        QTest::mouseClick(Button6(form), Qt::LeftButton);
    else
        form.Button3Click();

    QCOMPARE(title, buffer ? QStringLiteral("Выбор буферной директории") : QStringLiteral("Выбор рабочей директории"));
    QCOMPARE(startedAt, buffer ? buf : work);
    QLineEdit *target = buffer ? BufferDirEdit(form) : WorkDirEdit(form);
    QCOMPARE(target->text(), choice == QLatin1String("other") ? other : buffer ? buf : work);
    QCOMPARE((buffer ? WorkDirEdit(form) : BufferDirEdit(form))->text(), buffer ? work : buf);
    if (choice == QLatin1String("same")) {
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages().at(0).caption, QStringLiteral("Ошибка"));
        QCOMPARE(dialogs.messages().at(0).text, buffer ? QStringLiteral("Буферная директория не может совпадать с рабочей!")
                                                       : QStringLiteral("Рабочая директория не может совпадать с буферной!"));
        QCOMPARE(dialogs.messages().at(0).buttons, DialogService::Buttons(DialogService::Ok));
    } else {
        QVERIFY(dialogs.calls.isEmpty());
    }
    // Choosing takes nothing over by itself.
    QCOMPARE(host.params.WorkDir, work);
    QCOMPARE(host.params.BufferDir, buf);
}

void TestPropertysForm::chooserStartsNowhere()
{
    ScriptedDialogs dialogs;
    FakeHost host;
    host.params.WorkDir = QStringLiteral("/nowhere/work");
    TPropertysForm form(host);
    TDirForm chooser;
    form.setDirForm(&chooser);
    form.fill();
    QSignalSpy shown(&chooser, &QDialog::finished);
    form.Button3Click();
    QCOMPARE(shown.size(), 0);
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(dialogs.messages().at(0).text, QStringLiteral("Не удается открыть директорию /nowhere/work"));
    QCOMPARE(dialogs.messages().at(0).icon, DialogService::Icon::Error);
    QCOMPARE(WorkDirEdit(form)->text(), QStringLiteral("/nowhere/work"));
}

void TestPropertysForm::zoneButton()
{
    QTemporaryDir dir;
    const QString zones = dir.filePath(QStringLiteral("z1.zon"));
    TestSupport::writeFile(zones, "1;2;3;4\r\n");
    ScriptedDialogs dialogs;
    FakeHost host;
    host.params.ZonesFileName = zones;
    TPropertysForm form(host);
    form.fill();
    dialogs.answerFile(dir.filePath(QStringLiteral("z2.zon")));
    QTest::mouseClick(ZoneButton(form), Qt::LeftButton);
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls.at(0).kind, QStringLiteral("open"));
    QCOMPARE(dialogs.calls.at(0).filter, QStringLiteral("Файлы зон|*.zon|Все файлы|*.*"));
    QCOMPARE(dialogs.calls.at(0).directory, dir.path());
    QCOMPARE(ZonesEdit(form)->text(), dir.filePath(QStringLiteral("z2.zon")));
    // Cancelled: the field stays.
    form.ZoneButtonClick();
    QCOMPARE(ZonesEdit(form)->text(), dir.filePath(QStringLiteral("z2.zon")));
    QCOMPARE(host.params.ZonesFileName, zones);
}

void TestPropertysForm::zonesEditOpensTableEditor()
{
    QTemporaryDir dir;
    const QString zones = dir.filePath(QStringLiteral("z1.zon"));
    TestSupport::writeFile(zones, "1;2;3;4\r\n");
    ScriptedDialogs dialogs;
    FakeHost host;
    host.params.ZonesFileName = zones;
    TPropertysForm form(host);
    form.fill();
    form.show();
    int mode = 0;
    QString table;
    const auto closeEditor = [&] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *editor = qobject_cast<TRedForm *>(window);
            if (editor && editor->isVisible()) {
                mode = editor->Mode();
                table = editor->TableFileName();
                editor->close();
            }
        }
    };
    // A double click in the field selects text, as in any field.
    QTest::mouseDClick(ZonesEdit(form), Qt::LeftButton, {}, QPoint(10, ZonesEdit(form)->height() / 2));
    QVERIFY(ZonesEdit(form)->hasSelectedText());
    QCOMPARE(mode, 0);
    // The button beside it opens the editor.
    QTimer::singleShot(0, this, closeEditor);
    auto *button = form.findChild<QPushButton *>(QStringLiteral("ZoneEditButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Правка..."));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(mode, 11);
    QCOMPARE(table, zones);
    QVERIFY(dialogs.calls.isEmpty());
}

void TestPropertysForm::cancelTakesNothing()
{
    FakeHost host;
    host.params.WorkDir = QDir::tempPath();
    const TParameters before = host.params;
    TPropertysForm form(host);
    form.fill();
    BEdit(form)->setText(QStringLiteral("5"));
    TimerRadioButton(form)->setChecked(true);
    form.Button2Click();
    QVERIFY(host.params == before);
    QVERIFY(host.styles.isEmpty());
    QCOMPARE(host.takenOver, 0);
    // The next opening forgets the cancelled edit.
    form.fill();
    QCOMPARE(BEdit(form)->text(), LocaleFormat::formatGeneral(0.75));
    QVERIFY(ManualRadioButton(form)->isChecked());
}

void TestPropertysForm::centroidWeightingControl()
{
    FakeHost host;
    host.params.WorkDir = QDir::tempPath();
    TPropertysForm form(host);
    form.fill();
    QCOMPARE(CentroidLabel(form)->text(), QStringLiteral("Центр пятна:"));
    QCOMPARE(CentroidComboBox(form)->count(), 2);
    QCOMPARE(CentroidComboBox(form)->itemText(0), QStringLiteral("по яркости"));
    QCOMPARE(CentroidComboBox(form)->itemText(1), QStringLiteral("по яркости над порогом"));
    QVERIFY(CentroidComboBox(form)->toolTip().contains(QStringLiteral("порог")));
    QCOMPARE(CentroidComboBox(form)->currentIndex(), 0);

    // OK takes the choice over; the next opening shows it.
    CentroidComboBox(form)->setCurrentIndex(1);
    form.Button1Click();
    QCOMPARE(host.params.CentroidWeighting, 1);
    form.fill();
    QCOMPARE(CentroidComboBox(form)->currentIndex(), 1);
    // Cancel forgets a change.
    CentroidComboBox(form)->setCurrentIndex(0);
    form.Button2Click();
    QCOMPARE(host.params.CentroidWeighting, 1);
}

// The "Центр пятна" group holds the weighting and one box per option; each
// box shows its key, OK takes it over alone, Cancel forgets it.
void TestPropertysForm::spotCentreGroup_data()
{
    QTest::addColumn<int>("option"); // 0 SpotBackground, 1 ConnectedSpot, 2 CentroidWindow
    QTest::newRow("SpotBackground") << 0;
    QTest::newRow("ConnectedSpot") << 1;
    QTest::newRow("CentroidWindow") << 2;
}

void TestPropertysForm::spotCentreGroup()
{
    QFETCH(int, option);
    FakeHost host;
    host.params.WorkDir = QDir::tempPath();
    TPropertysForm form(host);
    form.fill();
    QCOMPARE(SpotCentreGroup(form)->title(), QStringLiteral("Центр пятна"));
    QVERIFY(SpotCentreGroup(form)->isAncestorOf(CentroidComboBox(form)));
    QCheckBox *boxes[] = {SpotBackgroundCheckBox(form), ConnectedSpotCheckBox(form), CentroidWindowCheckBox(form)};
    bool TParameters::*keys[] = {&TParameters::SpotBackground, &TParameters::ConnectedSpot, &TParameters::CentroidWindow};
    for (QCheckBox *box : boxes)
        QVERIFY(!box->isChecked());
    boxes[option]->setChecked(true);
    form.Button1Click();
    for (int k = 0; k < 3; ++k)
        QCOMPARE(host.params.*keys[k], k == option);
    form.fill();
    QVERIFY(boxes[option]->isChecked());
    boxes[option]->setChecked(false);
    form.Button2Click();
    QVERIFY(host.params.*keys[option]);
}

void TestPropertysForm::okWithoutChanges()
{
    MainFormSetup s;
    // Values a text of the dialog would not give back bit for bit.
    s.params.Koeff_B = 0.333333333333333;
    s.params.GlobalAverageYPercent = 0.123456789;
    s.params.StartDate = TDateTime::fromDateAndTime(QDate(2024, 3, 1), QTime(10, 15, 37, 250));
    s.params.SaveToOneZip = true;
    s.params.Steps = true;
    s.params.BufferDir = s.root.path() + QLatin1String("/buffer");
    s.writeSettings();
    TMainForm *form = s.openForm();
    QVERIFY(form);
    const TParameters before = form->settings();
    const QByteArray bytes = s.settingsBytes();
    QFile::remove(s.settingsFile());
    QVERIFY(!whileShown(*form, [](TPropertysForm &dialog) { Button1(dialog)->click(); }));
    QVERIFY(form->settings() == before);
    QCOMPARE(s.settingsBytes(), bytes);
    QVERIFY(s.dialogs.calls.isEmpty());
    QVERIFY(form->commandsEnabled());
}

void TestPropertysForm::abcInCEdit()
{
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    const TParameters before = form->settings();
    const QByteArray bytes = s.settingsBytes();
    QWidget *focused = nullptr;
    QVERIFY(whileShown(*form, [&focused](TPropertysForm &dialog) {
        StepsRadioButton(dialog)->setChecked(true);
        BEdit(dialog)->setText(QStringLiteral("0") + LocaleFormat::decimalSeparator() + QStringLiteral("5"));
        CEdit(dialog)->setText(QStringLiteral("abc"));
        AverageYPorogEdit(dialog)->setText(QStringLiteral("150"));
        MinSEdit(dialog)->setText(QStringLiteral("5"));
        VisCheckBox(dialog)->setChecked(false);
        QTest::mouseClick(Button1(dialog), Qt::LeftButton);
        focused = dialog.focusWidget();
    }));
    QCOMPARE(s.dialogs.messages().size(), 1);
    const ScriptedDialogs::Call error = s.dialogs.messages().at(0);
    QCOMPARE(error.caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(error.text, QStringLiteral("Ошибка!\nКоэффициент C: \"abc\" не является числом"));
    QCOMPARE(error.buttons, DialogService::Buttons(DialogService::Ok));
    QCOMPARE(error.icon, DialogService::Icon::None);
    // The dialog stayed open on the field; nothing was taken over or written.
    QCOMPARE(focused, static_cast<QWidget *>(CEdit(*form->propertysForm())));
    QVERIFY(form->settings() == before);
    QCOMPARE(s.settingsBytes(), bytes);
}

void TestPropertysForm::failedFieldNamed_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("B") << "BEdit" << "x" << "Коэффициент B: \"x\" не является числом";
    QTest::newRow("threshold") << "AverageYPorogEdit" << "1a" << "Средняя яркость области (в единицах яркости): \"1a\" не является числом";
    QTest::newRow("percent") << "AverageYPorogPercentEdit" << "%" << "Средняя яркость области (в % от калибровочного): \"%\" не является числом";
    QTest::newRow("minimum area") << "MinSEdit" << "2.5" << "Минимальная площадь: \"2.5\" не является целым числом";
    QTest::newRow("maximum area") << "MaxSEdit" << "" << "Максимальная площадь: \"\" не является целым числом";
    // No spot can be larger than 5000 and smaller than 500 (the station's maximum).
    QTest::newRow("areas out of order") << "MinSEdit" << "5000"
                                        << "Минимальная площадь (5000) должна быть меньше, чем максимальная площадь (500)";
    QTest::newRow("areas equal") << "MinSEdit" << "500"
                                 << "Минимальная площадь (500) должна быть меньше, чем максимальная площадь (500)";
}

// Each field that can fail is named, and gets the keyboard.
void TestPropertysForm::failedFieldNamed()
{
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, message);
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    QWidget *focused = nullptr;
    QLineEdit *field = form->propertysForm()->findChild<QLineEdit *>(edit);
    QVERIFY(field);
    QVERIFY(whileShown(*form, [&](TPropertysForm &dialog) {
        field->setText(text);
        QTest::mouseClick(Button1(dialog), Qt::LeftButton);
        focused = dialog.focusWidget();
    }));
    QCOMPARE(s.dialogs.messageTexts(), QStringList{QStringLiteral("Ошибка!\n") + message});
    QCOMPARE(focused, static_cast<QWidget *>(field));
}

void TestPropertysForm::monitoringValuesKept_data()
{
    QTest::addColumn<QChar>("locale");
    QTest::addColumn<QByteArray>("stored"); // the monitoring keys in the file
    QTest::addColumn<QString>("shown");     // the pixel size as the dialog shows it
    QTest::addColumn<QString>("typed");     // typed over it, or nothing
    QTest::addColumn<QString>("message");   // the refusal, or nothing
    QTest::newRow("point file, comma locale") << QChar(',') << QByteArray("PixelSize=0.5\nWarningLimit=2\n") << "0,5" << ""
                                              << "";
    QTest::newRow("comma file, point locale") << QChar('.') << QByteArray("PixelSize=0,5\nWarningLimit=2\n") << "0.5" << ""
                                              << "";
    QTest::newRow("point typed, comma locale") << QChar(',') << QByteArray("WarningLimit=2\n") << "" << "0.5" << "";
    QTest::newRow("unreadable value shown, refused")
        << QChar('.') << QByteArray("PixelSize=half\nWarningLimit=2\n") << "half" << "" << "Размер пикселя: \"half\" не является числом";
}

// A stored value shows whatever separator it was written with; OK for an
// unrelated change keeps every key (a value that cannot be read is shown as it
// stands and refused, never written over empty); "0.5" typed is 0.5.
void TestPropertysForm::monitoringValuesKept()
{
    QFETCH(QChar, locale);
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    LocaleGuard guard(locale);
    MainFormSetup s;
    s.writeSettings();
    TestSupport::writeFile(s.settingsFile(), s.settingsBytes() + stored);
    TMainForm *form = s.openForm();
    QVERIFY(form);
    QString pixelSize;
    whileShown(*form, [&](TPropertysForm &dialog) {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("PixelSizeEdit"));
        pixelSize = edit->text();
        if (!typed.isEmpty())
            edit->setText(typed);
        VisCheckBox(dialog)->setChecked(!VisCheckBox(dialog)->isChecked());
        Button1(dialog)->click();
    });
    QCOMPARE(pixelSize, shown);
    const QString sep = QString(locale);
    IniFile ini(s.settingsFile());
    QVERIFY(ini.load());
    QString pixel, warning;
    QVERIFY(ini.value("Parameters", "WarningLimit", &warning));
    QCOMPARE(warning, QStringLiteral("2"));
    if (!message.isEmpty()) {
        QCOMPARE(s.dialogs.messageTexts(), QStringList{message});
        QCOMPARE(s.settingsBytes().right(stored.size()), stored);
        return;
    }
    QVERIFY(s.dialogs.calls.isEmpty());
    QVERIFY(ini.value("Parameters", "PixelSize", &pixel));
    QCOMPARE(pixel, "0" + sep + "5");
}

void TestPropertysForm::percentShownAgain()
{
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    whileShown(*form, [](TPropertysForm &dialog) {
        AverageYPorogPercentEdit(dialog)->setText(QStringLiteral("80"));
        Button1(dialog)->click();
    });
    QCOMPARE(form->settings().GlobalAverageYPercent, 0.8);
    QCOMPARE(s.storedSettings().GlobalAverageYPercent, 0.8);
    QString shownAgain;
    whileShown(*form, [&](TPropertysForm &dialog) {
        shownAgain = AverageYPorogPercentEdit(dialog)->text();
        Button2(dialog)->click();
    });
    QCOMPARE(shownAgain, QStringLiteral("80"));
    QVERIFY(s.dialogs.calls.isEmpty());
}

void TestPropertysForm::okMovesBrowserAndRedrawsZones()
{
    MainFormSetup s;
    const QString other = s.root.path() + QLatin1String("/other");
    QVERIFY(QDir().mkpath(other));
    const QString zones = s.root.path() + QLatin1String("/one.zon");
    TestSupport::writeFile(zones, "5;5;30;30\r\n");
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({0});
    form->startProcessing();
    QCOMPARE(form->finder().zones().at(0).points.size(), 1);
    whileShown(*form, [&](TPropertysForm &dialog) {
        WorkDirEdit(dialog)->setText(other);
        ZonesEdit(dialog)->setText(zones);
        Button1(dialog)->click();
    });
    QCOMPARE(listDirectories(*form)->directory(), other);
    QCOMPARE(form->saveDirectory(), other);
    QCOMPARE(QDir::currentPath(), other);
    // The zone file read again: its zone drawn, the earlier ones and the points gone.
    QCOMPARE(form->finder().zones().size(), 1);
    QVERIFY(form->finder().zones().at(0).points.isEmpty());
    QCOMPARE(s.overlayPixel(5, 20), qRgb(255, 0, 0));
    QCOMPARE(qAlpha(s.overlayPixel(20, 35)), 0);
    QCOMPARE(s.storedSettings().WorkDir, other);
    QCOMPARE(s.storedSettings().ZonesFileName, zones);
}

// Nothing is taken over when the style cannot be switched: the user may mend
// the buffer directory or cancel.
void TestPropertysForm::watchMissingBufferKeepsDialogOpen()
{
    MainFormSetup s;
    const QString other = s.root.path() + QLatin1String("/other");
    QVERIFY(QDir().mkpath(other));
    TMainForm *form = s.openForm();
    QVERIFY(form);
    form->setStatusText(QStringLiteral(" before"));
    const TParameters before = form->settings();
    const QByteArray bytes = s.settingsBytes();
    const QString missing = s.root.path() + QLatin1String("/missing");
    bool visibleAfterOk = false;
    const bool stillOpen = whileShown(*form, [&](TPropertysForm &dialog) {
        WorkDirEdit(dialog)->setText(other);
        BEdit(dialog)->setText(QStringLiteral("2"));
        FilesRadioButton(dialog)->click();
        BufferDirEdit(dialog)->setText(missing);
        Button1(dialog)->click();
        visibleAfterOk = dialog.isVisible();
    });
    QVERIFY(stillOpen);
    QVERIFY(visibleAfterOk);
    QCOMPARE(s.dialogs.messages().size(), 1);
    QCOMPARE(s.dialogs.messages().at(0).caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(s.dialogs.messages().at(0).icon, DialogService::Icon::Error);
    QCOMPARE(s.dialogs.messages().at(0).text, QStringLiteral("Буферная директория ") + missing
                                                  + QStringLiteral(" не существует."));
    QVERIFY(form->settings() == before);
    QCOMPARE(s.settingsBytes(), bytes);
    QCOMPARE(listDirectories(*form)->directory(), s.work);
    QCOMPARE(form->startControl().startStyle(), 3);
    QCOMPARE(form->statusText(0), QStringLiteral(" before"));
    QVERIFY(form->commandsEnabled());
}

void TestPropertysForm::watchStartsAndStops_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("stop button") << false;
    QTest::newRow("Esc") << true;
}

void TestPropertysForm::watchStartsAndStops()
{
    QFETCH(bool, escape);
    MainFormSetup s;
    const QString buffer = s.root.path() + QLatin1String("/buffer");
    QVERIFY(QDir().mkpath(buffer));
    TMainForm *form = s.openForm();
    QVERIFY(form);
    whileShown(*form, [&](TPropertysForm &dialog) {
        FilesRadioButton(dialog)->click();
        BufferDirEdit(dialog)->setText(buffer);
        Button1(dialog)->click();
    });
    QVERIFY(s.dialogs.calls.isEmpty());
    QCOMPARE(form->startControl().startStyle(), 2);
    QCOMPARE(form->statusText(0), QStringLiteral(" Ожидание новых файлов..."));
    QVERIFY(form->startControl().timerActive());
    QCOMPARE(listDirectories(*form)->directory(), buffer);
    QVERIFY(!listDirectories(*form)->isEnabled());
    QVERIFY(!listFiles(*form)->isEnabled());
    // The drive box stays usable, but choosing in it keeps the lists on the buffer.
    QVERIFY(comboDrive(*form)->isEnabled());
    if (comboDrive(*form)->count() > 1) {
        const int other = comboDrive(*form)->currentIndex() == 0 ? 1 : 0;
        comboDrive(*form)->setCurrentIndex(other);
        Q_EMIT comboDrive(*form)->activated(other);
        QCOMPARE(listDirectories(*form)->directory(), buffer);
    }
    QVERIFY(buttonStop(*form)->isEnabled());
    QVERIFY(!buttonProcess(*form)->isEnabled());
    QVERIFY(!actionSettings(*form)->isEnabled());
    QCOMPARE(s.storedSettings().StartStyle, 2);
    QCOMPARE(s.storedSettings().BufferDir, buffer);

    // An image dropped into the buffer is handled on the timer and moved into
    // the working directory; the file list follows the buffer.
    QSignalSpy processed(form, &TMainForm::imageProcessed);
    QVERIFY(QFile::copy(s.imagePath(0), buffer + QLatin1String("/cam_1.bmp")));
    QTRY_COMPARE_WITH_TIMEOUT(processed.size(), 1, 10000);
    QTRY_VERIFY(QFile::exists(s.work + QLatin1String("/cam_1.bmp")));
    QTRY_COMPARE(listFiles(*form)->count(), 0);
    QTRY_COMPARE(form->statusText(0), QStringLiteral(" Ожидание новых файлов..."));
    QCOMPARE(TestSupport::readFile(s.work + QLatin1String("/work_0001_1.crd")).count('\n'), 1);

    // The watch's notices reach the status line: a damaged image is set aside.
    TestSupport::writeFile(buffer + QLatin1String("/bad.bmp"), "BM not a bitmap");
    QTRY_VERIFY_WITH_TIMEOUT(form->statusText(0).startsWith(QStringLiteral(" Изображение bad.bmp отложено")), 10000);
    QVERIFY(form->statusText(0).endsWith(QStringLiteral(" Ожидание новых файлов...")));
    QVERIFY(QFile::exists(buffer + QStringLiteral("/Отложенные/bad.bmp")));
    QCOMPARE(processed.size(), 1);
    // It leaves a lasting trace: the event log, the full text as the status
    // line's tool tip, and the warning sign until the user opens the log.
    const QByteArray events = TestSupport::readFile(s.work + QLatin1String("/kelvarin2-events.log"));
    const QByteArray expectedLine = "\twarning\twatch\t" + buffer.toUtf8() + "/bad.bmp\t"
                                  + QStringLiteral("Изображение bad.bmp отложено").toUtf8();
    QVERIFY2(events.contains(expectedLine),
             events.constData());
    auto *warning = form->findChild<WarningIndicator *>(QStringLiteral("WarningIndicator"));
    QVERIFY(warning && warning->isVisible());
    QVERIFY2(warning->toolTip().contains(QStringLiteral("Изображение bad.bmp отложено")), qPrintable(warning->toolTip()));
    QVERIFY(form->findChild<QLabel *>(QStringLiteral("labelStatus"))->toolTip().contains(QStringLiteral("отложено")));
    QTest::mouseClick(warning, Qt::LeftButton);
    QVERIFY(!warning->isVisible());
    QVERIFY(warning->logWindow());
    QTableWidget *logRows = warning->logWindow()->table();
    QVERIFY(logRows->rowCount() >= 1);
    const int last = logRows->rowCount() - 1;
    QCOMPARE(logRows->item(last, 1)->text(), QStringLiteral("предупреждение"));
    QCOMPARE(logRows->item(last, 2)->text(), QStringLiteral("наблюдение"));
    QCOMPARE(logRows->item(last, 3)->text(), QDir::toNativeSeparators(buffer + QLatin1String("/bad.bmp")));
    QVERIFY(logRows->item(last, 4)->text().startsWith(QStringLiteral("Изображение bad.bmp отложено")));
    warning->logWindow()->close();

    if (escape)
        QTest::keyClick(form, Qt::Key_Escape);
    else
        QTest::mouseClick(buttonStop(*form), Qt::LeftButton);
    QTRY_COMPARE(form->startControl().startStyle(), 3);
    // The end of the watch is told like a run's: images, points found, where they went.
    const QString stopped = form->statusText(0);
    QVERIFY2(stopped.startsWith(QStringLiteral(" Работа прервана. Результаты сохранены. Изображений: 1. "
                                               "Зона 1: точек найдено 1 из 1.")), qPrintable(stopped));
    QVERIFY2(stopped.endsWith(QStringLiteral("Результаты: %1/work_0001_<зона>.crd, %1/work_0001_time.log.").arg(s.work)),
             qPrintable(stopped));
    QVERIFY(!form->startControl().timerActive());
    QVERIFY(form->commandsEnabled());
    QVERIFY(listFiles(*form)->isEnabled());
    QVERIFY(comboDrive(*form)->isEnabled());
    QVERIFY(!buttonStop(*form)->isEnabled());
    // The stop suspends the watch: the stored style stays, in memory and in
    // the file, and the status bar offers to resume.
    QCOMPARE(form->settings().StartStyle, 2);
    QCOMPARE(s.storedSettings().StartStyle, 2);
    auto *resume = form->findChild<QToolButton *>(QStringLiteral("buttonResume"));
    QVERIFY(resume && resume->isVisible() && resume->isEnabled());
    QCOMPARE(resume->text(), QStringLiteral("Возобновить наблюдение"));

    // OK in the settings for an unrelated change keeps the station's style
    // and leaves the watch suspended.
    whileShown(*form, [&](TPropertysForm &dialog) {
        QVERIFY(FilesRadioButton(dialog)->isChecked());
        VisCheckBox(dialog)->click();
        Button1(dialog)->click();
    });
    QCOMPARE(s.storedSettings().StartStyle, 2);
    QCOMPARE(form->startControl().startStyle(), 3);
    QVERIFY(resume->isVisible());

    // The offer resumes it: the next image is handled again.
    QTest::mouseClick(resume, Qt::LeftButton);
    QCOMPARE(form->startControl().startStyle(), 2);
    QVERIFY(!resume->isVisible());
    QVERIFY(QFile::copy(s.imagePath(1), buffer + QLatin1String("/cam_2.bmp")));
    QTRY_COMPARE_WITH_TIMEOUT(processed.size(), 2, 10000);
    QTest::mouseClick(buttonStop(*form), Qt::LeftButton);
    QTRY_COMPARE(form->startControl().startStyle(), 3);

    // Choosing the manual style is a change of the stored style, and ends the offer.
    whileShown(*form, [&](TPropertysForm &dialog) {
        ManualRadioButton(dialog)->click();
        Button1(dialog)->click();
    });
    QCOMPARE(s.storedSettings().StartStyle, 3);
    QVERIFY(!resume->isVisible());
}

void TestPropertysForm::scheduledStart()
{
    FixedClock clock;
    // Far from the set time while the style is switched: the timer runs for real.
    clock.time = QDateTime(QDate(2024, 3, 1), QTime(9, 59, 50));
    TClock::setInstance(&clock);
    const auto restore = qScopeGuard([] { TClock::setInstance(nullptr); });
    MainFormSetup s;
    TMainForm *form = s.openForm();
    QVERIFY(form);
    s.select({1});
    whileShown(*form, [&](TPropertysForm &dialog) {
        TimerRadioButton(dialog)->click();
        DatePicker(dialog)->setDate(QDate(2024, 3, 1));
        TimePicker(dialog)->setTime(QTime(10, 0));
        Button1(dialog)->click();
    });
    QCOMPARE(form->settings().StartDate, TDateTime::fromDateAndTime(QDate(2024, 3, 1), QTime(10, 0)));
    QCOMPARE(form->startControl().startStyle(), 1);
    QCOMPARE(form->statusText(0), QStringLiteral(" Ожидание времени запуска..."));
    // The directory to process may still be chosen; everything else waits.
    QVERIFY(listFiles(*form)->isEnabled());
    QVERIFY(listDirectories(*form)->isEnabled());
    QVERIFY(comboDrive(*form)->isEnabled());
    QVERIFY(!buttonProcess(*form)->isEnabled());
    QVERIFY(buttonStop(*form)->isEnabled());
    QVERIFY(!actionSettings(*form)->isEnabled());

    // Within two seconds of the set time: every file of the list, selected or not.
    QSignalSpy processed(form, &TMainForm::imageProcessed);
    clock.time = QDateTime(QDate(2024, 3, 1), QTime(9, 59, 59));
    form->tickStartStyles();
    QTRY_COMPARE(processed.size(), 3);
    QVERIFY(form->statusText(0).startsWith(QStringLiteral(" Результаты получены и сохранены. Изображений: 3.")));
    QVERIFY(form->commandsEnabled());
    QVERIFY(!form->startControl().timerActive());
    QCOMPARE(form->startControl().startStyle(), 1);
}

void TestPropertysForm::startUpFallback()
{
    MainFormSetup s;
    const QString missing = s.root.path() + QLatin1String("/missing");
    s.params.StartStyle = 2;
    s.params.BufferDir = missing;
    s.writeSettings();
    TMainForm *form = s.openForm();
    QVERIFY(form);
    QVERIFY(s.dialogs.calls.isEmpty());
    QCOMPARE(form->statusText(0), QStringLiteral(" Буферная директория ") + missing
                                      + QStringLiteral(" не существует. Включен запуск по клавише \"Enter\" или "
                                                       "пусковой кнопке."));
    QCOMPARE(form->startControl().startStyle(), 3);
    QCOMPARE(form->settings().StartStyle, 2);
    QVERIFY(form->commandsEnabled());
    QVERIFY(!form->startControl().timerActive());
    QCOMPARE(s.storedSettings().StartStyle, 2);
    // Once the buffer is there, the offer in the status bar starts the watch.
    auto *resume = form->findChild<QToolButton *>(QStringLiteral("buttonResume"));
    QVERIFY(resume && resume->isVisible());
    QTest::mouseClick(resume, Qt::LeftButton);
    QCOMPARE(s.dialogs.calls.size(), 1); // the buffer is still missing: said, nothing changed
    QCOMPARE(form->startControl().startStyle(), 3);
    s.dialogs.calls.clear();

    // With the buffer there, the stored watch starts with the program.
    QVERIFY(QDir().mkpath(missing));
    s.openForm();
    QCOMPARE(s.form->startControl().startStyle(), 2);
    QCOMPARE(s.form->statusText(0), QStringLiteral(" Ожидание новых файлов..."));
    QVERIFY(!listFiles(*s.form)->isEnabled());
}

// Not a check: with KELVARIN_SETTINGS_SCREENSHOTS naming a directory, saves a
// picture of every tab of the dialog there.
void TestPropertysForm::screenshot()
{
    const QString target = qEnvironmentVariable("KELVARIN_SETTINGS_SCREENSHOTS");
    if (target.isEmpty())
        QSKIP("KELVARIN_SETTINGS_SCREENSHOTS names the directory for the pictures");
    MainFormSetup s;
    s.params.StartStyle = 1;
    s.params.StartDate = TDateTime::fromDateAndTime(QDate(2024, 3, 1), QTime(10, 30));
    s.params.BufferDir = s.root.path() + QLatin1String("/buffer");
    s.params.SaveToManyZip = true;
    s.writeSettings();
    TMainForm *form = s.openForm();
    QVERIFY(form);
    // Style 1 locks the menu; the dialog is opened as the menu would.
    TPropertysForm *shown = form->propertysForm();
    QTimer::singleShot(0, shown, [&, shown] {
        TPropertysForm &dialog = *shown;
        for (int tab = 0; tab < PageControl1(dialog)->count(); ++tab) {
            PageControl1(dialog)->setCurrentIndex(tab);
            QTest::qWait(100);
            dialog.grab().save(target + QStringLiteral("/settings-%1.png").arg(tab + 1));
        }
        Button2(dialog)->click();
    });
    form->editSettings();
    QVERIFY(QFile::exists(target + QLatin1String("/settings-3.png")));
}

QTEST_MAIN(TestPropertysForm)
#include "tst_propertysform.moc"

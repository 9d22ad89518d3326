#include "TPropertysForm.h"

#include "DialogService.h"
#include "KelvarinApplication.h"
#include "IniFile.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "SpotCentreGroup.h"
#include "TDirForm.h"
#include "TMonitoringPage.h"
#include "TParameters.h"
#include "TPropertysHost.h"
#include "TRedForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

static const QString zoneFilter = QStringLiteral("Файлы зон|*.zon|Все файлы|*.*");

// Every control carries the name the rest of the program knows it by.
template<typename Widget>
static Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The interface's short date, always with a four-digit year: a two-digit year
// could not tell 1899, the start of the day count, from 1999.
static QString dateFormat()
{
    QString format = KelvarinApplication::interfaceLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

TPropertysForm::TPropertysForm(TPropertysHost &host, QWidget *parent)
    : QDialog(parent), m_host(host)
{
    setObjectName(QStringLiteral("TPropertysForm"));
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    resize(664, 338);
    setMinimumSize(660, 330);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->addTab(createGeneralTab(), QStringLiteral("Общие"));
    PageControl1->addTab(createStartTab(), QStringLiteral("Запуск"));
    PageControl1->addTab(createFilterTab(), QStringLiteral("Фильтр промахов"));
    MonitoringPage = new TMonitoringPage;
    PageControl1->addTab(MonitoringPage, QStringLiteral("Мониторинг"));
    connect(ZonesEdit, &QLineEdit::textChanged, MonitoringPage, &TMonitoringPage::setZoneFile);

    Button1 = named(new QPushButton(QStringLiteral("OK")), "Button1");
    Button1->setDefault(true);
    Button2 = named(new QPushButton(QStringLiteral("Отмена")), "Button2");
    connect(Button1, &QPushButton::clicked, this, &TPropertysForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TPropertysForm::Button2Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);
}

// "Режим работы", the two check boxes and "Порог" side by side.
QLayout *TPropertysForm::createModeRow()
{
    ModeGroupBox = named(new QGroupBox(QStringLiteral("Режим работы")), "ModeGroupBox");
    AllRadioButton = named(new QRadioButton(QStringLiteral("В целом")), "AllRadioButton");
    StepsRadioButton = named(new QRadioButton(QStringLiteral("По шагам")), "StepsRadioButton");
    auto *mode = new QVBoxLayout(ModeGroupBox);
    mode->addWidget(AllRadioButton);
    mode->addWidget(StepsRadioButton);
    mode->addStretch();

    VisCheckBox = named(new QCheckBox(QStringLiteral("Визуализация при работе")), "VisCheckBox");
    AutoSaveCheckBox = named(new QCheckBox(QStringLiteral("Автосохранение")), "AutoSaveCheckBox");
    auto *checks = new QVBoxLayout;
    checks->addWidget(VisCheckBox);
    checks->addWidget(AutoSaveCheckBox);
    checks->addStretch();

    PorogGroupBox = named(new QGroupBox(QStringLiteral("Порог")), "PorogGroupBox");
    FormulaLabel = named(new QLabel(QStringLiteral("B *J + C")), "FormulaLabel");
    QFont formulaFont = FormulaLabel->font();
    formulaFont.setBold(true);
    formulaFont.setPointSizeF(formulaFont.pointSizeF() * 1.5);
    FormulaLabel->setFont(formulaFont);
    FormulaLabel->setAlignment(Qt::AlignCenter);
    BEdit = named(new QLineEdit, "BEdit");
    CEdit = named(new QLineEdit, "CEdit");
    for (QLineEdit *edit : {BEdit, CEdit})
        edit->setMaximumWidth(80);
    // The two edits side by side under the formula, B under B and C under C.
    auto *porog = new QGridLayout(PorogGroupBox);
    porog->addWidget(FormulaLabel, 0, 1, 1, 2);
    porog->addWidget(BEdit, 1, 1);
    porog->addWidget(CEdit, 1, 2);
    porog->setColumnStretch(0, 1);
    porog->setColumnStretch(3, 1);

    auto *row = new QHBoxLayout;
    row->addWidget(ModeGroupBox);
    row->addLayout(checks);
    row->addWidget(PorogGroupBox);
    return row;
}

// The working directory and the zone file, each with its "..." button, in rows 1 and 2.
void TPropertysForm::addPathRows(QGridLayout *layout)
{
    WorkDirLabel = named(new QLabel(QStringLiteral("Рабочая директория:")), "WorkDirLabel");
    WorkDirEdit = named(new QLineEdit, "WorkDirEdit");
    Button3 = named(new QPushButton(QStringLiteral("...")), "Button3");
    ZonesLabel = named(new QLabel(QStringLiteral("Зоны:")), "ZonesLabel");
    // A double click in the field selects text, as in any field; the table
    // editor opens from its own button.
    ZonesEdit = named(new QLineEdit, "ZonesEdit");
    ZoneButton = named(new QPushButton(QStringLiteral("...")), "ZoneButton");
    ZoneEditButton = named(new QPushButton(QStringLiteral("Правка...")), "ZoneEditButton");
    ZoneEditButton->setToolTip(QStringLiteral("Открыть файл зон в редакторе таблиц"));
    for (QPushButton *button : {Button3, ZoneButton})
        button->setFixedWidth(32);
    connect(Button3, &QPushButton::clicked, this, &TPropertysForm::Button3Click);
    connect(ZoneButton, &QPushButton::clicked, this, &TPropertysForm::ZoneButtonClick);
    connect(ZoneEditButton, &QPushButton::clicked, this, &TPropertysForm::ZoneEditButtonClick);
    layout->addWidget(WorkDirLabel, 1, 0);
    layout->addWidget(WorkDirEdit, 1, 1);
    layout->addWidget(Button3, 1, 2);
    layout->addWidget(ZonesLabel, 2, 0);
    layout->addWidget(ZonesEdit, 2, 1);
    layout->addWidget(ZoneButton, 2, 2);
    layout->addWidget(ZoneEditButton, 2, 3);
}

QWidget *TPropertysForm::createGeneralTab()
{
    auto *page = named(new QWidget, "TabSheet1");
    auto *layout = new QGridLayout(page);
    layout->addLayout(createModeRow(), 0, 0, 1, 4);
    addPathRows(layout);
    JournalFileLabel = named(new QLabel(QStringLiteral("Журнал измерений:")), "JournalFileLabel");
    JournalFileEdit = named(new QLineEdit, "JournalFileEdit");
    JournalFileEdit->setPlaceholderText(QStringLiteral("kelvarin2-journal.sqlite в рабочей директории"));
    JournalUrlLabel = named(new QLabel(QStringLiteral("Сервер журнала:")), "JournalUrlLabel");
    JournalUrlEdit = named(new QLineEdit, "JournalUrlEdit");
    JournalUrlEdit->setPlaceholderText(QStringLiteral("postgresql://пользователь@сервер:порт/база"));
    JournalUrlEdit->setToolTip(QStringLiteral("Общая база PostgreSQL станций; если задана, файл журнала не ведется"));
    layout->addWidget(JournalFileLabel, 3, 0);
    layout->addWidget(JournalFileEdit, 3, 1, 1, 2);
    layout->addWidget(JournalUrlLabel, 4, 0);
    layout->addWidget(JournalUrlEdit, 4, 1, 1, 2);
    layout->setRowStretch(5, 1);
    return page;
}

QWidget *TPropertysForm::createStartTab()
{
    auto *page = named(new QWidget, "TabSheet2");
    StartGroupBox = named(new QGroupBox(QStringLiteral("Запуск обработки")), "StartGroupBox");

    TimerRadioButton = named(new QRadioButton(QStringLiteral("По сигналу таймера")), "TimerRadioButton");
    DatePicker = named(new QDateEdit, "DatePicker");
    DatePicker->setCalendarPopup(true);
    TimePicker = named(new QTimeEdit, "TimePicker");
    TimePicker->setDisplayFormat(QStringLiteral("HH:mm"));
    FilesRadioButton = named(new QRadioButton(QStringLiteral("По новым файлам в директории")), "FilesRadioButton");
    BufferDirEdit = named(new QLineEdit, "BufferDirEdit");
    Button6 = named(new QPushButton(QStringLiteral("...")), "Button6");
    Button6->setFixedWidth(32);
    SaveToOneZipCheckBox = named(new QCheckBox(QStringLiteral("Архивировать файлы изображений в единый архив")),
                                 "SaveToOneZipCheckBox");
    SaveToManyZipCheckBox = named(
        new QCheckBox(QStringLiteral("Архивировать файлы изображений в отдельные архивы")), "SaveToManyZipCheckBox");
    ManualRadioButton = named(new QRadioButton(QStringLiteral("По клавише \"Enter\" или пусковой кнопке")),
                              "ManualRadioButton");

    for (QRadioButton *style : {TimerRadioButton, FilesRadioButton, ManualRadioButton})
        connect(style, &QRadioButton::toggled, this, &TPropertysForm::TimerRadioButtonClick);
    connect(Button6, &QPushButton::clicked, this, &TPropertysForm::Button6Click);
    // toggled, not clicked: filling the dialog obeys the exclusion too.
    connect(SaveToOneZipCheckBox, &QCheckBox::toggled, this, &TPropertysForm::SaveToOneZipCheckBoxClick);
    connect(SaveToManyZipCheckBox, &QCheckBox::toggled, this, &TPropertysForm::SaveToManyZipCheckBoxClick);

    auto *timer = new QHBoxLayout;
    timer->addWidget(DatePicker);
    timer->addWidget(TimePicker);
    timer->addStretch();
    auto *grid = new QGridLayout(StartGroupBox);
    grid->setColumnMinimumWidth(0, 20);
    grid->addWidget(TimerRadioButton, 0, 0, 1, 2);
    grid->addLayout(timer, 0, 2, 1, 2);
    grid->addWidget(FilesRadioButton, 1, 0, 1, 2);
    grid->addWidget(BufferDirEdit, 1, 2);
    grid->addWidget(Button6, 1, 3);
    grid->addWidget(SaveToOneZipCheckBox, 2, 1, 1, 3);
    grid->addWidget(SaveToManyZipCheckBox, 3, 1, 1, 3);
    grid->addWidget(ManualRadioButton, 4, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(StartGroupBox);
    return page;
}

QWidget *TPropertysForm::createFilterTab()
{
    auto *page = named(new QWidget, "TabSheet3");
    MinSLabel = named(new QLabel(QStringLiteral("Минимальная площадь:")), "MinSLabel");
    MinSEdit = named(new QLineEdit, "MinSEdit");
    MaxSLabel = named(new QLabel(QStringLiteral("Максимальная площадь:")), "MaxSLabel");
    MaxSEdit = named(new QLineEdit, "MaxSEdit");
    PercentLabel = named(new QLabel(QStringLiteral("Средняя яркость области (в % от калибровочного):")),
                         "PercentLabel");
    AverageYPorogPercentEdit = named(new QLineEdit, "AverageYPorogPercentEdit");
    PorogLabel = named(new QLabel(QStringLiteral("(в единицах яркости):")), "PorogLabel");
    PorogLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AverageYPorogEdit = named(new QLineEdit, "AverageYPorogEdit");
    for (QLineEdit *edit : {MinSEdit, MaxSEdit, AverageYPorogPercentEdit, AverageYPorogEdit})
        edit->setFixedWidth(100);
    CentroidLabel = named(new QLabel(QStringLiteral("Центр пятна:")), "CentroidLabel");
    CentroidComboBox = named(new QComboBox, "CentroidComboBox");
    CentroidComboBox->addItems({QStringLiteral("по яркости"), QStringLiteral("по яркости над порогом")});
    CentroidComboBox->setToolTip(QStringLiteral(
        "Веса точек пятна при вычислении его центра тяжести.\n"
        "«по яркости»: вес точки равен ее яркости (как прежде).\n"
        "«по яркости над порогом»: вес равен яркости минус порог бинаризации; пятно и фильтры\n"
        "те же, но краевые точки у порога почти не влияют на центр, и он меньше дрожит."));
    CentroidLabel->setBuddy(CentroidComboBox);
    CentroidLabel->setToolTip(CentroidComboBox->toolTip());

    auto *grid = new QGridLayout(page);
    grid->addWidget(MinSLabel, 0, 0);
    grid->addWidget(MinSEdit, 0, 1);
    grid->addWidget(MaxSLabel, 1, 0);
    grid->addWidget(MaxSEdit, 1, 1);
    grid->addWidget(PercentLabel, 2, 0);
    grid->addWidget(AverageYPorogPercentEdit, 2, 1);
    grid->addWidget(PorogLabel, 3, 0);
    grid->addWidget(AverageYPorogEdit, 3, 1);
    SpotCentre = named(new SpotCentreGroup(CentroidLabel, CentroidComboBox), "SpotCentreGroup");
    grid->addWidget(SpotCentre, 4, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    return page;
}

void TPropertysForm::fill()
{
    const PropertysValues v = PropertysValues::fromSettings(m_host.settings());
    // The style first: its dependent controls are set by the radio buttons.
    (v.startStyle == 1 ? TimerRadioButton : v.startStyle == 2 ? FilesRadioButton : ManualRadioButton)
        ->setChecked(true);
    TimerRadioButtonClick();
    (v.steps ? StepsRadioButton : AllRadioButton)->setChecked(true);
    VisCheckBox->setChecked(v.visualization);
    AutoSaveCheckBox->setChecked(v.autoSave);
    BEdit->setText(v.koeffB);
    CEdit->setText(v.koeffC);
    WorkDirEdit->setText(v.workDir);
    ZonesEdit->setText(v.zonesFile);
    DatePicker->setLocale(KelvarinApplication::interfaceLocale());
    DatePicker->setDisplayFormat(dateFormat());
    DatePicker->setDate(v.date);
    TimePicker->setTime(v.time);
    BufferDirEdit->setText(v.bufferDir);
    // Both on (an edited settings file) ends with the separate archives only.
    SaveToOneZipCheckBox->setChecked(v.oneZip);
    SaveToManyZipCheckBox->setChecked(v.manyZip);
    MinSEdit->setText(v.minS);
    MaxSEdit->setText(v.maxS);
    AverageYPorogPercentEdit->setText(v.percent);
    AverageYPorogEdit->setText(v.porog);
    JournalFileEdit->setText(v.journalFile);
    JournalUrlEdit->setText(v.journalUrl);
    fillMonitoringPage(v.zonesFile);
    CentroidComboBox->setCurrentIndex(v.centroidWeighting == 1 ? 1 : 0);
    SpotCentre->setOptions(v.spotCentre);
    // As the controls hold them: a date out of the picker's range is what it shows.
    m_shown = values();
}

int TPropertysForm::showSettings()
{
    fill();
    PageControl1->setCurrentIndex(0);
    return exec();
}

PropertysValues TPropertysForm::values() const
{
    PropertysValues v;
    v.steps = StepsRadioButton->isChecked();
    v.visualization = VisCheckBox->isChecked();
    v.autoSave = AutoSaveCheckBox->isChecked();
    v.koeffB = BEdit->text();
    v.koeffC = CEdit->text();
    v.workDir = WorkDirEdit->text();
    v.zonesFile = ZonesEdit->text();
    v.startStyle = checkedStartStyle();
    v.date = DatePicker->date();
    v.time = TimePicker->time();
    v.bufferDir = BufferDirEdit->text();
    v.oneZip = SaveToOneZipCheckBox->isChecked();
    v.manyZip = SaveToManyZipCheckBox->isChecked();
    v.minS = MinSEdit->text();
    v.maxS = MaxSEdit->text();
    v.percent = AverageYPorogPercentEdit->text();
    v.porog = AverageYPorogEdit->text();
    v.journalFile = JournalFileEdit->text();
    v.journalUrl = JournalUrlEdit->text();
    v.centroidWeighting = CentroidComboBox->currentIndex() == 1 ? 1 : 0;
    v.spotCentre = SpotCentre->options();
    return v;
}

int TPropertysForm::checkedStartStyle() const
{
    return TimerRadioButton->isChecked() ? 1 : FilesRadioButton->isChecked() ? 2 : 3;
}

// OK. A value that cannot be converted, or a start style that cannot be
// switched, keeps the dialog open with nothing taken over and nothing
// written, so that the user can mend the field named or cancel.
void TPropertysForm::takeOverSettings()
{
    // The monitoring values are checked first: one that cannot be taken
    // over keeps the dialog open on its page, nothing changed.
    MonitoringSettings monitoring;
    QString monitoringError;
    if (!MonitoringPage->settings(&monitoring, &monitoringError)) {
        PageControl1->setCurrentWidget(MonitoringPage);
        DialogService::instance().error(this, monitoringError);
        return;
    }
    TParameters &params = m_host.settings();
    const TParameters before = params;
    const PropertysValues edited = values();
    const PropertysValues::Group failed =
        edited.takeOver(m_shown, params, [this](const QString &dir) { m_host.applyWorkDir(dir); });
    if (failed != PropertysValues::AllTakenOver) {
        restoreSettings(before, edited);
        reportFailedField(failed, edited);
        return;
    }
    try {
        m_host.SetStartStyle(edited.startStyle);
    } catch (const KelvarinError &error) {
        restoreSettings(before, edited);
        DialogService::instance().error(this, error.message());
        return;
    }
    m_host.settingsTakenOver();
    IniFile ini(m_host.settingsFileName());
    if (!monitoring.write(ini))
        DialogService::instance().error(this, QStringLiteral("Ошибка записи ini-файла!"));
    accept();
}

// Puts the settings back as they were before OK, the browser included.
void TPropertysForm::restoreSettings(const TParameters &before, const PropertysValues &edited)
{
    m_host.settings() = before;
    if (edited.workDir == before.WorkDir)
        return;
    try {
        m_host.applyWorkDir(before.WorkDir);
    } catch (const KelvarinError &) {
        // The former working directory could not be entered at start either.
    }
}

// "Ошибка!" with the field that holds the value that failed and why; the
// field gets the keyboard with its text selected.
void TPropertysForm::reportFailedField(PropertysValues::Group failed, const PropertysValues &edited)
{
    double real = 0;
    int whole = 0;
    QLineEdit *field = nullptr;
    QString reason;
    switch (failed) {
    case PropertysValues::Paths:
        field = WorkDirEdit;
        reason = QStringLiteral("Рабочая директория: не удается открыть \"") + edited.workDir + QLatin1Char('"');
        break;
    case PropertysValues::KoeffB:
        field = BEdit;
        reason = QStringLiteral("Коэффициент B: \"") + edited.koeffB + QStringLiteral("\" не является числом");
        break;
    case PropertysValues::KoeffC:
        field = CEdit;
        reason = QStringLiteral("Коэффициент C: \"") + edited.koeffC + QStringLiteral("\" не является числом");
        break;
    case PropertysValues::Brightness:
        if (edited.porog != m_shown.porog && !LocaleFormat::parseReal(edited.porog, &real)) {
            field = AverageYPorogEdit;
            reason = QStringLiteral("Средняя яркость области (в единицах яркости): \"") + edited.porog
                   + QStringLiteral("\" не является числом");
        } else {
            field = AverageYPorogPercentEdit;
            reason = QStringLiteral("Средняя яркость области (в % от калибровочного): \"") + edited.percent
                   + QStringLiteral("\" не является числом");
        }
        break;
    case PropertysValues::AreaOrder:
        field = MinSEdit;
        reason = QStringLiteral("Минимальная площадь (%1) должна быть меньше, чем максимальная площадь (%2)")
                     .arg(edited.minS.trimmed(), edited.maxS.trimmed());
        break;
    default:
        if (!LocaleFormat::parseInteger(edited.minS, &whole)) {
            field = MinSEdit;
            reason = QStringLiteral("Минимальная площадь: \"") + edited.minS
                   + QStringLiteral("\" не является целым числом");
        } else {
            field = MaxSEdit;
            reason = QStringLiteral("Максимальная площадь: \"") + edited.maxS
                   + QStringLiteral("\" не является целым числом");
        }
        break;
    }
    DialogService::instance().notice(this, QStringLiteral("Ошибка!\n") + reason);
    field->setFocus();
    field->selectAll();
}

// The monitoring page from the settings file. A value there that is no number
// is shown as it stands, so that OK names it instead of writing an empty value
// over it.
void TPropertysForm::fillMonitoringPage(const QString &zonesFile)
{
    IniFile ini(m_host.settingsFileName());
    ini.load();
    QStringList problems;
    MonitoringPage->fill(MonitoringSettings::read(ini, &problems), zonesFile);
    const QString section = QString::fromLatin1(ParametersSection);
    const std::pair<const char *, const char *> fields[] = {{"ReferenceZones", "ReferenceZonesEdit"},
                                                            {"PixelSize", "PixelSizeEdit"},
                                                            {"WarningLimit", "WarningLimitEdit"},
                                                            {"AlarmLimit", "AlarmLimitEdit"}};
    for (const auto &[key, name] : fields) {
        auto *edit = MonitoringPage->findChild<QLineEdit *>(QString::fromLatin1(name));
        QString text;
        if (edit && edit->text().isEmpty() && ini.value(section, QString::fromLatin1(key), &text))
            edit->setText(text.trimmed());
    }
}

void TPropertysForm::chooseWorkDirectory()
{
    chooseDirectory(QStringLiteral("Выбор рабочей директории"), WorkDirEdit, BufferDirEdit,
                    QStringLiteral("Рабочая директория не может совпадать с буферной!"));
}

void TPropertysForm::chooseBufferDirectory()
{
    chooseDirectory(QStringLiteral("Выбор буферной директории"), BufferDirEdit, WorkDirEdit,
                    QStringLiteral("Буферная директория не может совпадать с рабочей!"));
}

// The watch copies images from the buffer into the working directory and
// deletes them from the buffer: the chooser never lets the two be one.
void TPropertysForm::chooseDirectory(const QString &caption, QLineEdit *target, const QLineEdit *other,
                                     const QString &refusal)
{
    TDirForm *chooser = dirForm();
    chooser->setWindowTitle(caption);
    try {
        chooser->setDirectory(target->text());
    } catch (const KelvarinError &error) {
        DialogService::instance().error(this, error.message());
        return;
    }
    chooser->exec();
    const QString chosen = chooser->DirectoryResult;
    if (chosen.isEmpty())
        return;
    if (PropertysValues::sameDirectory(chosen, other->text())) {
        DialogService::instance().message(this, QStringLiteral("Ошибка"), refusal);
        return;
    }
    target->setText(chosen);
}

TDirForm *TPropertysForm::dirForm()
{
    if (m_dirForm)
        return m_dirForm;
    if (!m_ownDirForm)
        m_ownDirForm = new TDirForm(this);
    return m_ownDirForm;
}

void TPropertysForm::chooseZoneFile()
{
    const QFileInfo current(ZonesEdit->text());
    const QString start = !ZonesEdit->text().isEmpty() && current.absoluteDir().exists() ? current.absolutePath()
                                                                                         : WorkDirEdit->text();
    const QString chosen = DialogService::instance().openFileName(this, QStringLiteral("Открыть"), start, zoneFilter);
    if (!chosen.isEmpty())
        ZonesEdit->setText(QFileInfo(chosen).absoluteFilePath());
}

void TPropertysForm::editZoneFile()
{
    // The editor deletes itself when it closes, also when opening fails.
    auto *editor = new TRedForm(this);
    if (editor->OpenTable(ZonesEdit->text(), 11))
        editor->showModal();
}

void TPropertysForm::enableStartControls()
{
    const bool files = FilesRadioButton->isChecked();
    const bool timer = TimerRadioButton->isChecked();
    for (QWidget *control : {static_cast<QWidget *>(BufferDirEdit), static_cast<QWidget *>(SaveToOneZipCheckBox),
                             static_cast<QWidget *>(SaveToManyZipCheckBox), static_cast<QWidget *>(Button6)})
        control->setEnabled(files);
    DatePicker->setEnabled(timer);
    TimePicker->setEnabled(timer);
}

void TPropertysForm::chooseOneArchive()
{
    if (SaveToOneZipCheckBox->isChecked())
        SaveToManyZipCheckBox->setChecked(false);
}

void TPropertysForm::chooseManyArchives()
{
    if (SaveToManyZipCheckBox->isChecked())
        SaveToOneZipCheckBox->setChecked(false);
}



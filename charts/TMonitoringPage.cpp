#include "TMonitoringPage.h"

#include "ZoneFile.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

TMonitoringPage::TMonitoringPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MonitoringPage"));
    auto edit = [](const char *name, const QString &hint) {
        auto *e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(hint);
        return e;
    };
    ReferenceZonesEdit = edit("ReferenceZonesEdit",
                              QStringLiteral("Номера зон с мишенями на неподвижном основании, через запятую (например 5,9).\n"
                                             "Их среднее смещение на каждом снимке вычитается из смещений всех зон."));
    PixelSizeEdit = edit("PixelSizeEdit", QStringLiteral("Миллиметров на пиксель; пусто - смещения в пикселях"));
    WarningLimitEdit = edit("WarningLimitEdit", QStringLiteral("Пусто - без предупредительного предела"));
    AlarmLimitEdit = edit("AlarmLimitEdit", QStringLiteral("Пусто - без аварийного предела"));
    AlarmCommandEdit = edit("AlarmCommandEdit",
                            QStringLiteral("Программа и аргументы (без оболочки); подстановки: {zone} {level} {dx} {dy} "
                                           "{magnitude} {image} {time}"));
    for (QLineEdit *e : {PixelSizeEdit, WarningLimitEdit, AlarmLimitEdit})
        e->setMaximumWidth(120);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Опорные зоны:"), ReferenceZonesEdit);
    form->addRow(QStringLiteral("Размер пикселя, мм:"), PixelSizeEdit);
    form->addRow(QStringLiteral("Предупредительный предел:"), WarningLimitEdit);
    form->addRow(QStringLiteral("Аварийный предел:"), AlarmLimitEdit);
    form->addRow(QStringLiteral("Команда оповещения:"), AlarmCommandEdit);

    ZoneFileLabel = new QLabel;
    ZoneFileLabel->setObjectName(QStringLiteral("ZoneFileLabel"));
    ZoneTable = new QTableWidget(0, 3);
    ZoneTable->setObjectName(QStringLiteral("ZoneTable"));
    ZoneTable->setHorizontalHeaderLabels({QStringLiteral("Размер пикселя, мм"), QStringLiteral("Предупр. предел"),
                                          QStringLiteral("Аварийный предел")});
    ZoneTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ZoneTable->setToolTip(QStringLiteral("Значения отдельной зоны; пусто - общее значение"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Пределы - в миллиметрах, если задан размер пикселя, иначе в пикселях; "
                                                "по модулю смещения.")));
    layout->addWidget(ZoneFileLabel);
    layout->addWidget(ZoneTable, 1);
}

int TMonitoringPage::zoneCountOf(const QString &zoneFile)
{
    if (zoneFile.isEmpty())
        return -1;
    QString error;
    const ZoneFile::ParseResult parsed = ZoneFile::read(zoneFile, &error);
    return parsed.ok ? int(parsed.zones.size()) : -1;
}

void TMonitoringPage::fill(const MonitoringSettings &settings, const QString &zoneFile)
{
    const MonitoringTexts t = MonitoringTexts::fromSettings(settings);
    ReferenceZonesEdit->setText(t.referenceZones);
    PixelSizeEdit->setText(t.pixelSize);
    WarningLimitEdit->setText(t.warningLimit);
    AlarmLimitEdit->setText(t.alarmLimit);
    AlarmCommandEdit->setText(t.alarmCommand);
    m_zoneCount = zoneCountOf(zoneFile);
    fillTable(t.zones);
    setZoneFile(zoneFile);
}

void TMonitoringPage::setZoneFile(const QString &zoneFile)
{
    const QMap<int, MonitoringTexts::ZoneTexts> kept = tableTexts();
    m_zoneCount = zoneCountOf(zoneFile);
    ZoneFileLabel->setText(m_zoneCount < 0
                               ? QStringLiteral("Файл зон не прочитан: номера зон не проверяются.")
                               : QStringLiteral("Зон в файле зон: %1").arg(m_zoneCount));
    fillTable(kept);
}

// A row per zone of the zone file, and one for every other zone that has values.
void TMonitoringPage::fillTable(const QMap<int, MonitoringTexts::ZoneTexts> &zones)
{
    QList<int> numbers;
    for (int zone = 1; zone <= m_zoneCount; ++zone)
        numbers << zone;
    for (auto it = zones.begin(); it != zones.end(); ++it) {
        if (!numbers.contains(it.key()) && !(it.value() == MonitoringTexts::ZoneTexts()))
            numbers << it.key();
    }
    std::sort(numbers.begin(), numbers.end());
    ZoneTable->setRowCount(int(numbers.size()));
    QStringList labels;
    for (int row = 0; row < int(numbers.size()); ++row) {
        const int zone = numbers.at(row);
        labels << QStringLiteral("Зона %1").arg(zone);
        const MonitoringTexts::ZoneTexts t = zones.value(zone);
        const QString texts[] = {t.pixelSize, t.warningLimit, t.alarmLimit};
        for (int column = 0; column < 3; ++column) {
            auto *item = new QTableWidgetItem(texts[column]);
            item->setData(Qt::UserRole, zone);
            ZoneTable->setItem(row, column, item);
        }
    }
    ZoneTable->setVerticalHeaderLabels(labels);
}

QMap<int, MonitoringTexts::ZoneTexts> TMonitoringPage::tableTexts() const
{
    QMap<int, MonitoringTexts::ZoneTexts> zones;
    for (int row = 0; row < ZoneTable->rowCount(); ++row) {
        const QTableWidgetItem *first = ZoneTable->item(row, 0);
        if (!first)
            continue;
        auto text = [&](int column) {
            const QTableWidgetItem *item = ZoneTable->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        const MonitoringTexts::ZoneTexts t{text(0), text(1), text(2)};
        if (!(t == MonitoringTexts::ZoneTexts()))
            zones.insert(first->data(Qt::UserRole).toInt(), t);
    }
    return zones;
}

MonitoringTexts TMonitoringPage::texts() const
{
    MonitoringTexts t;
    t.referenceZones = ReferenceZonesEdit->text();
    t.pixelSize = PixelSizeEdit->text();
    t.warningLimit = WarningLimitEdit->text();
    t.alarmLimit = AlarmLimitEdit->text();
    t.alarmCommand = AlarmCommandEdit->text();
    t.zones = tableTexts();
    return t;
}

bool TMonitoringPage::settings(MonitoringSettings *settings, QString *error) const
{
    return texts().toSettings(m_zoneCount, settings, error);
}

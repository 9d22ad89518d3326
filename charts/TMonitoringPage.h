#pragma once

#include "MonitoringTexts.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTableWidget;

// The page "Мониторинг" of the settings dialog: reference zones, pixel size,
// warning and alarm limits, the alarm command, and a table with a row per
// zone of the zone file for a zone's own pixel size and limits. Numbers are
// shown and read in the user's locale; zone numbers are checked against the
// zone file named on the dialog's first page.
class TMonitoringPage : public QWidget
{
    Q_OBJECT

public:
    explicit TMonitoringPage(QWidget *parent = nullptr);

    void fill(const MonitoringSettings &settings, const QString &zoneFile);
    // The zone file changed on the first page: the table follows it.
    void setZoneFile(const QString &zoneFile);
    MonitoringTexts texts() const;
    // False with `error` filled when a value cannot be taken over.
    bool settings(MonitoringSettings *settings, QString *error) const;
    int zoneCount() const { return m_zoneCount; }

    // The number of zones of a zone file, -1 when it cannot be read.
    static int zoneCountOf(const QString &zoneFile);

    QLineEdit *ReferenceZonesEdit = nullptr;
    QLineEdit *PixelSizeEdit = nullptr;
    QLineEdit *WarningLimitEdit = nullptr;
    QLineEdit *AlarmLimitEdit = nullptr;
    QLineEdit *AlarmCommandEdit = nullptr;
    QTableWidget *ZoneTable = nullptr;
    QLabel *ZoneFileLabel = nullptr;

private:
    void fillTable(const QMap<int, MonitoringTexts::ZoneTexts> &zones);
    QMap<int, MonitoringTexts::ZoneTexts> tableTexts() const;

    int m_zoneCount = -1;
};

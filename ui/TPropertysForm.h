#pragma once

#include "PropertysValues.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;
class TDirForm;
class TMonitoringPage;
class SpotCentreGroup;
class TPropertysHost;

// The settings dialog ("Настройки"): three tabs that edit the settings of the
// main program. Created once at start and reused; every opening fills it anew
// from the settings in force, so a cancelled edit is forgotten. OK takes the
// values over in a fixed order, switches the start style, writes the settings
// file and reads the zone file again; it also leads to the directory chooser
// and to the table editor on the zone file.
class TPropertysForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPropertysForm(TPropertysHost &host, QWidget *parent = nullptr);

    // The directory chooser shared with the rest of the program; without it
    // the dialog makes its own.
    void setDirForm(TDirForm *dirForm) { m_dirForm = dirForm; }

    // Fills every control from the settings in force (opening without showing).
    void fill();
    // The opening: fills the dialog and shows it modally.
    int showSettings();
    // The controls' values as they stand.
    PropertysValues values() const;

public Q_SLOTS:
    // The handlers of the buttons and fields; each only calls the command
    // named for what it does.
    void Button1Click() { takeOverSettings(); }             // "OK"
    void Button2Click() { reject(); }                       // "Отмена"
    void Button3Click() { chooseWorkDirectory(); }          // "..." of the working directory
    void Button6Click() { chooseBufferDirectory(); }        // "..." of the buffer directory
    void ZoneButtonClick() { chooseZoneFile(); }            // "..." of the zone file
    void ZoneEditButtonClick() { editZoneFile(); }          // "Правка..." beside the zone file
    void TimerRadioButtonClick() { enableStartControls(); } // a start style chosen
    void SaveToOneZipCheckBoxClick() { chooseOneArchive(); }    // "one archive" ticked or not
    void SaveToManyZipCheckBoxClick() { chooseManyArchives(); } // "an archive per image" ticked or not

private:
    // Checks the values, takes them over and writes the settings; the dialog
    // stays open on the first value that cannot be taken over.
    void takeOverSettings();
    // Lets the user choose the working directory (never the buffer directory).
    void chooseWorkDirectory();
    // Lets the user choose the buffer directory (never the working directory).
    void chooseBufferDirectory();
    // Lets the user choose the zone file.
    void chooseZoneFile();
    // Opens the zone file in the table editor.
    void editZoneFile();
    // Enables the controls of the start style chosen.
    void enableStartControls();
    // One archive for all images excludes an archive per image, and back.
    void chooseOneArchive();
    void chooseManyArchives();

    QWidget *createGeneralTab();
    QLayout *createModeRow();
    void addPathRows(QGridLayout *layout);
    QWidget *createStartTab();
    QWidget *createFilterTab();
    int checkedStartStyle() const;
    void restoreSettings(const TParameters &before, const PropertysValues &edited);
    void reportFailedField(PropertysValues::Group failed, const PropertysValues &edited);
    void fillMonitoringPage(const QString &zonesFile);
    void chooseDirectory(const QString &caption, QLineEdit *target, const QLineEdit *other,
                         const QString &refusal);
    TDirForm *dirForm();

    QTabWidget *PageControl1 = nullptr;
    QPushButton *Button1 = nullptr; // "OK"
    QPushButton *Button2 = nullptr; // "Отмена"

    // "Общие"
    QGroupBox *ModeGroupBox = nullptr;
    QRadioButton *AllRadioButton = nullptr;
    QRadioButton *StepsRadioButton = nullptr;
    QCheckBox *VisCheckBox = nullptr;
    QCheckBox *AutoSaveCheckBox = nullptr;
    QGroupBox *PorogGroupBox = nullptr;
    QLabel *FormulaLabel = nullptr;
    QLineEdit *BEdit = nullptr;
    QLineEdit *CEdit = nullptr;
    QLabel *WorkDirLabel = nullptr;
    QLineEdit *WorkDirEdit = nullptr;
    QPushButton *Button3 = nullptr;
    QLabel *ZonesLabel = nullptr;
    QLineEdit *ZonesEdit = nullptr;
    QLabel *JournalFileLabel = nullptr;
    QLineEdit *JournalFileEdit = nullptr;
    QLabel *JournalUrlLabel = nullptr;
    QLineEdit *JournalUrlEdit = nullptr;
    QPushButton *ZoneButton = nullptr;
    QPushButton *ZoneEditButton = nullptr;

    // "Запуск"
    QGroupBox *StartGroupBox = nullptr;
    QRadioButton *TimerRadioButton = nullptr;
    QDateEdit *DatePicker = nullptr;
    QTimeEdit *TimePicker = nullptr;
    QRadioButton *FilesRadioButton = nullptr;
    QLineEdit *BufferDirEdit = nullptr;
    QPushButton *Button6 = nullptr;
    QCheckBox *SaveToOneZipCheckBox = nullptr;
    QCheckBox *SaveToManyZipCheckBox = nullptr;
    QRadioButton *ManualRadioButton = nullptr;

    // "Фильтр промахов"
    QLabel *MinSLabel = nullptr;
    QLineEdit *MinSEdit = nullptr;
    QLabel *MaxSLabel = nullptr;
    QLineEdit *MaxSEdit = nullptr;
    QLabel *PercentLabel = nullptr;
    QLineEdit *AverageYPorogPercentEdit = nullptr;
    QLabel *PorogLabel = nullptr;
    QLineEdit *AverageYPorogEdit = nullptr;
    QLabel *CentroidLabel = nullptr;
    QComboBox *CentroidComboBox = nullptr; // index = TParameters::CentroidWeighting
    SpotCentreGroup *SpotCentre = nullptr;  // holds the two above

    // "Мониторинг"
    TMonitoringPage *MonitoringPage = nullptr;

    TPropertysHost &m_host;
    TDirForm *m_dirForm = nullptr;
    TDirForm *m_ownDirForm = nullptr;
    // The values the dialog was filled with, as its controls hold them.
    PropertysValues m_shown;
};

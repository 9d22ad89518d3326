#include "MainFormCommands.h"

#include "MainFormPictures.h"
#include "TMainForm.h"

#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

MainFormCommands::MainFormCommands(TMainForm &form)
    : m_form(form)
{
    createFileMenu();
    createMenus();
    createToolBars();
}

QAction *MainFormCommands::addItem(QMenu *menu, const char *name, const QString &caption, int picture)
{
    QAction *action = menu->addAction(picture < 0 ? QIcon() : QIcon(MainFormPictures::picture(picture)), caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MainFormCommands::createFileMenu()
{
    menuFile = m_form.menuBar()->addMenu(QStringLiteral("&Файл"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    actionSaveCoordinates = addItem(menuFile, "actionSaveCoordinates", QStringLiteral("Сохранить координаты"), MainFormPictures::SaveCoordinates);
    actionRefineZones = addItem(menuFile, "actionRefineZones", QStringLiteral("Уточнить и сохранить зоны"), MainFormPictures::RefineZones);
    actionExportMeasurements = addItem(menuFile, "actionExportMeasurements", QStringLiteral("Экспорт измерений..."), -1);
    QObject::connect(actionExportMeasurements, &QAction::triggered, &m_form, &TMainForm::exportMeasurements);
    menuFile->addSeparator();
    actionExit = addItem(menuFile, "actionExit", QStringLiteral("&Выход"), MainFormPictures::Exit);
    QObject::connect(actionSaveCoordinates, &QAction::triggered, &m_form, &TMainForm::saveResultsAs);
    QObject::connect(actionRefineZones, &QAction::triggered, &m_form, &TMainForm::refineZones);
    QObject::connect(actionExit, &QAction::triggered, &m_form, &TMainForm::closeWindow);
}

void MainFormCommands::createMenus()
{
    // The menu title itself is the command.
    actionSettings = m_form.menuBar()->addAction(QStringLiteral("Настройка"));
    actionSettings->setObjectName(QStringLiteral("actionSettings"));
    QObject::connect(actionSettings, &QAction::triggered, &m_form, &TMainForm::editSettings);

    menuActions = m_form.menuBar()->addMenu(QStringLiteral("Действия"));
    menuActions->setObjectName(QStringLiteral("menuActions"));
    actionProcess = addItem(menuActions, "actionProcess", QStringLiteral("Найти координаты"), MainFormPictures::FindCoordinates);
    actionCalibrate = addItem(menuActions, "actionCalibrate", QStringLiteral("Калибровать"), MainFormPictures::Calibrate);
    QObject::connect(actionProcess, &QAction::triggered, &m_form, &TMainForm::startProcessing);
    QObject::connect(actionCalibrate, &QAction::triggered, &m_form, &TMainForm::toggleCalibrationMode);

    menuHelp = m_form.menuBar()->addMenu(QStringLiteral("Помощь"));
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    actionHelp = addItem(menuHelp, "actionHelp", QStringLiteral("Справка"), MainFormPictures::Help);
    actionAbout = addItem(menuHelp, "actionAbout", QStringLiteral("О программе"), MainFormPictures::About);
    QObject::connect(actionHelp, &QAction::triggered, &m_form, &TMainForm::showHelp);
    QObject::connect(actionAbout, &QAction::triggered, &m_form, &TMainForm::showAboutBox);
}

// The four groups stay in their row: they cannot be dragged away, and no menu
// of the window hides them.
QToolBar *MainFormCommands::addGroup(const char *name)
{
    QToolBar *bar = m_form.addToolBar(QString::fromLatin1(name));
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(QSize(MainFormPictures::PictureSize, MainFormPictures::PictureSize));
    bar->setMovable(false);
    return bar;
}

QToolButton *MainFormCommands::addButton(QToolBar *bar, const char *name, int picture, const QString &hint,
                                         void (TMainForm::*handler)())
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(MainFormPictures::picture(picture));
    button->setIconSize(QSize(MainFormPictures::PictureSize, MainFormPictures::PictureSize));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    bar->addWidget(button);
    QObject::connect(button, &QToolButton::clicked, &m_form, handler);
    return button;
}

void MainFormCommands::createToolBars()
{
    m_form.setContextMenuPolicy(Qt::NoContextMenu);
    QToolBar *files = addGroup("toolBarFile");
    buttonExit = addButton(files, "buttonExit", MainFormPictures::Exit, QStringLiteral("Выход"),
                             &TMainForm::closeWindow);
    buttonSaveCoordinates = addButton(files, "buttonSaveCoordinates", MainFormPictures::SaveCoordinates,
                            QStringLiteral("Сохранить координаты"), &TMainForm::saveResultsAs);
    QToolBar *manual = addGroup("toolBarManual");
    buttonManualMeasurement = addButton(manual, "buttonManualMeasurement", MainFormPictures::ManualMeasurement,
                            QStringLiteral("Ручное определение координат точек"), &TMainForm::openMeasurementWindow);
    QToolBar *run = addGroup("toolBarRun");
    buttonProcess = addButton(run, "buttonProcess", MainFormPictures::FindCoordinates,
                            QStringLiteral("Определить координаты индикаторной точки"), &TMainForm::startProcessing);
    buttonStop = addButton(run, "buttonStop", MainFormPictures::Stop, QStringLiteral("Остановить"),
                            &TMainForm::stopProcessing);
    buttonStop->setEnabled(false);
    QToolBar *zones = addGroup("toolBarZones");
    buttonCalibrate = addButton(zones, "buttonCalibrate", MainFormPictures::Calibrate, QStringLiteral("Калибровать"),
                            &TMainForm::toggleCalibrationMode);
    // Shown pressed while the calibration mode is on.
    buttonCalibrate->setCheckable(true);
    buttonRefineZones = addButton(zones, "buttonRefineZones", MainFormPictures::RefineZones,
                            QStringLiteral("Уточнить и сохранить зоны"), &TMainForm::refineZones);
    buttonCalibrateThreshold = addButton(zones, "buttonCalibrateThreshold", MainFormPictures::CalibrateThreshold,
                            QStringLiteral("Калибровать порог яркости"), &TMainForm::calibrateThreshold);
}

void MainFormCommands::setEnabled(bool on)
{
    for (QToolButton *command : {buttonExit, buttonSaveCoordinates, buttonManualMeasurement, buttonProcess, buttonCalibrate, buttonRefineZones,
                                 buttonCalibrateThreshold})
        command->setEnabled(on);
    // The stop button is the one command usable while the others are locked.
    buttonStop->setEnabled(!on);
    menuActions->menuAction()->setEnabled(on);
    menuHelp->menuAction()->setEnabled(on);
    actionSettings->setEnabled(on);
    menuFile->menuAction()->setEnabled(on);
}

void MainFormCommands::enableCalibrationCommands()
{
    buttonStop->setEnabled(false);
    for (QToolButton *button : {buttonCalibrate, buttonRefineZones, buttonCalibrateThreshold})
        button->setEnabled(true);
}

void MainFormCommands::showCalibrationMode(bool on)
{
    buttonCalibrate->setChecked(on);
}

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
    File1 = m_form.menuBar()->addMenu(QStringLiteral("&Файл"));
    File1->setObjectName(QStringLiteral("File1"));
    N26 = addItem(File1, "N26", QStringLiteral("Сохранить координаты"), MainFormPictures::SaveCoordinates);
    N5 = addItem(File1, "N5", QStringLiteral("Уточнить и сохранить зоны"), MainFormPictures::RefineZones);
    ExportMeasurements = addItem(File1, "ExportMeasurements", QStringLiteral("Экспорт измерений..."), -1);
    QObject::connect(ExportMeasurements, &QAction::triggered, &m_form, &TMainForm::ExportMeasurementsClick);
    File1->addSeparator();
    Exit1 = addItem(File1, "Exit1", QStringLiteral("&Выход"), MainFormPictures::Exit);
    QObject::connect(N26, &QAction::triggered, &m_form, &TMainForm::N26Click);
    QObject::connect(N5, &QAction::triggered, &m_form, &TMainForm::N5Click);
    QObject::connect(Exit1, &QAction::triggered, &m_form, &TMainForm::Exit1Click);
}

void MainFormCommands::createMenus()
{
    // The menu title itself is the command.
    N6 = m_form.menuBar()->addAction(QStringLiteral("Настройка"));
    N6->setObjectName(QStringLiteral("N6"));
    QObject::connect(N6, &QAction::triggered, &m_form, &TMainForm::N6Click);

    N1 = m_form.menuBar()->addMenu(QStringLiteral("Действия"));
    N1->setObjectName(QStringLiteral("N1"));
    N4 = addItem(N1, "N4", QStringLiteral("Найти координаты"), MainFormPictures::FindCoordinates);
    N3 = addItem(N1, "N3", QStringLiteral("Калибровать"), MainFormPictures::Calibrate);
    QObject::connect(N4, &QAction::triggered, &m_form, &TMainForm::N4Click);
    QObject::connect(N3, &QAction::triggered, &m_form, &TMainForm::N3Click);

    N2 = m_form.menuBar()->addMenu(QStringLiteral("Помощь"));
    N2->setObjectName(QStringLiteral("N2"));
    N20 = addItem(N2, "N20", QStringLiteral("Справка"), MainFormPictures::Help);
    N21 = addItem(N2, "N21", QStringLiteral("О программе"), MainFormPictures::About);
    QObject::connect(N20, &QAction::triggered, &m_form, &TMainForm::N20Click);
    QObject::connect(N21, &QAction::triggered, &m_form, &TMainForm::N21Click);
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
    QToolBar *files = addGroup("ToolBar1");
    ToolButton10 = addButton(files, "ToolButton10", MainFormPictures::Exit, QStringLiteral("Выход"),
                             &TMainForm::ToolButton10Click);
    ToolButton9 = addButton(files, "ToolButton9", MainFormPictures::SaveCoordinates,
                            QStringLiteral("Сохранить координаты"), &TMainForm::ToolButton9Click);
    QToolBar *manual = addGroup("ToolBar2");
    ToolButton2 = addButton(manual, "ToolButton2", MainFormPictures::ManualMeasurement,
                            QStringLiteral("Ручное определение координат точек"), &TMainForm::ToolButton2Click);
    QToolBar *run = addGroup("ToolBar3");
    ToolButton4 = addButton(run, "ToolButton4", MainFormPictures::FindCoordinates,
                            QStringLiteral("Определить координаты индикаторной точки"), &TMainForm::ToolButton4Click);
    ToolButton5 = addButton(run, "ToolButton5", MainFormPictures::Stop, QStringLiteral("Остановить"),
                            &TMainForm::ToolButton5Click);
    ToolButton5->setEnabled(false);
    QToolBar *zones = addGroup("ToolBar4");
    ToolButton1 = addButton(zones, "ToolButton1", MainFormPictures::Calibrate, QStringLiteral("Калибровать"),
                            &TMainForm::ToolButton1Click);
    // Shown pressed while the calibration mode is on.
    ToolButton1->setCheckable(true);
    ToolButton3 = addButton(zones, "ToolButton3", MainFormPictures::RefineZones,
                            QStringLiteral("Уточнить и сохранить зоны"), &TMainForm::ToolButton3Click);
    ToolButton6 = addButton(zones, "ToolButton6", MainFormPictures::CalibrateThreshold,
                            QStringLiteral("Калибровать порог яркости"), &TMainForm::ToolButton6Click);
}

void MainFormCommands::setEnabled(bool on)
{
    for (QToolButton *command : {ToolButton10, ToolButton9, ToolButton2, ToolButton4, ToolButton1, ToolButton3,
                                 ToolButton6})
        command->setEnabled(on);
    // The stop button is the one command usable while the others are locked.
    ToolButton5->setEnabled(!on);
    N1->menuAction()->setEnabled(on);
    N2->menuAction()->setEnabled(on);
    N6->setEnabled(on);
    File1->menuAction()->setEnabled(on);
}

void MainFormCommands::enableCalibrationCommands()
{
    ToolButton5->setEnabled(false);
    for (QToolButton *button : {ToolButton1, ToolButton3, ToolButton6})
        button->setEnabled(true);
}

void MainFormCommands::showCalibrationMode(bool on)
{
    ToolButton1->setChecked(on);
}

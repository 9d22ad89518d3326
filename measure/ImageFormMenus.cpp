#include "ImageFormMenus.h"

#include "TImageForm.h"

#include <QMenuBar>

static const int zoomFactors[] = {2, 3, 4, 5, 6, 7, 8};
static const int areaHalfSides[] = {15, 20, 25, 30, 35, 40};

ImageFormMenus::ImageFormMenus(TImageForm &form)
    : m_form(form)
{
    m_form.menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    buildFileMenu();
    buildMagnifierMenu();
    buildSettingsMenus();
}

QAction *ImageFormMenus::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void ImageFormMenus::buildFileMenu()
{
    QMenu *file = m_form.menuBar()->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("N1"));
    N2 = addItem(file, QStringLiteral("N2"), QStringLiteral("Открыть изображение"));
    N3 = addItem(file, QStringLiteral("N3"), QStringLiteral("Загрузить точки"));
    N4 = addItem(file, QStringLiteral("N4"), QStringLiteral("Сохранить точки"));
    file->addSeparator()->setObjectName(QStringLiteral("N5"));
    N7 = addItem(file, QStringLiteral("N7"), QStringLiteral("Выход"));
    N4->setEnabled(false);
    QObject::connect(N2, &QAction::triggered, &m_form, &TImageForm::N2Click);
    QObject::connect(N3, &QAction::triggered, &m_form, &TImageForm::N3Click);
    QObject::connect(N4, &QAction::triggered, &m_form, &TImageForm::N4Click);
    QObject::connect(N7, &QAction::triggered, &m_form, &TImageForm::N7Click);
}

void ImageFormMenus::buildMagnifierMenu()
{
    QMenu *lupa = m_form.menuBar()->addMenu(QStringLiteral("Лупа"));
    lupa->setObjectName(QStringLiteral("N8"));
    N12 = addItem(lupa, QStringLiteral("N12"), QStringLiteral("Включена"));
    N12->setCheckable(true);
    QObject::connect(N12, &QAction::triggered, &m_form, &TImageForm::N12Click);
    QMenu *zoom = lupa->addMenu(QStringLiteral("Увеличение"));
    zoom->setObjectName(QStringLiteral("N13"));
    for (int factor : zoomFactors) {
        QAction *item = addItem(zoom, QStringLiteral("N%1x1").arg(factor), QStringLiteral("%1x").arg(factor));
        item->setCheckable(true);
        QObject::connect(item, &QAction::triggered, &m_form, [this, factor] { m_form.zoomClick(factor); });
        m_zoomItems << item;
    }
    QMenu *area = lupa->addMenu(QStringLiteral("Размер области"));
    area->setObjectName(QStringLiteral("N14"));
    for (int half : areaHalfSides) {
        const int side = 2 * half;
        QAction *item = addItem(area, QStringLiteral("N%1x%1").arg(side) + QLatin1Char('1'),
                                QStringLiteral("%1x%1").arg(side));
        item->setCheckable(true);
        QObject::connect(item, &QAction::triggered, &m_form, [this, half] { m_form.areaClick(half); });
        m_areaItems << item;
    }
}

void ImageFormMenus::buildSettingsMenus()
{
    QMenu *settings = m_form.menuBar()->addMenu(QStringLiteral("Настройки"));
    settings->setObjectName(QStringLiteral("N9"));
    N10 = addItem(settings, QStringLiteral("N10"), QStringLiteral("Шрифт индексов"));
    N11 = addItem(settings, QStringLiteral("N11"), QStringLiteral("Цвет и размер маркеров"));
    N6 = addItem(settings, QStringLiteral("N6"), QStringLiteral("Рабочая директория"));
    QObject::connect(N10, &QAction::triggered, &m_form, &TImageForm::N10Click);
    QObject::connect(N11, &QAction::triggered, &m_form, &TImageForm::N11Click);
    QObject::connect(N6, &QAction::triggered, &m_form, &TImageForm::N6Click);

    QMenu *help = m_form.menuBar()->addMenu(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("N15"));
    N17 = addItem(help, QStringLiteral("N17"), QStringLiteral("Справка"));
    N16 = addItem(help, QStringLiteral("N16"), QStringLiteral("О программе"));
    QObject::connect(N17, &QAction::triggered, &m_form, &TImageForm::N17Click);
    QObject::connect(N16, &QAction::triggered, &m_form, &TImageForm::N16Click);
}

void ImageFormMenus::enableSave(bool on)
{
    N4->setEnabled(on);
}

bool ImageFormMenus::saveEnabled() const
{
    return N4->isEnabled();
}

void ImageFormMenus::enableLoad(bool on)
{
    N3->setEnabled(on);
}

bool ImageFormMenus::loadEnabled() const
{
    return N3->isEnabled();
}

void ImageFormMenus::showMagnifier(bool on)
{
    N12->setChecked(on);
}

void ImageFormMenus::showZoom(int zoom)
{
    for (int i = 0; i < m_zoomItems.size(); ++i)
        m_zoomItems[i]->setChecked(zoomFactors[i] == zoom);
}

void ImageFormMenus::showArea(int halfSide)
{
    for (int i = 0; i < m_areaItems.size(); ++i)
        m_areaItems[i]->setChecked(areaHalfSides[i] == halfSide);
}

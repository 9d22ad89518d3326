#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenu;
class TImageForm;

// The measurement window's menus: "Файл", "Лупа" with its zoom and area
// steps, "Настройки" and "Помощь", built once with the object names the
// window's handlers are known by, connected to them; and what the menus show
// of the window's state (points to save, magnifier on, its zoom and area).
class ImageFormMenus
{
public:
    // Builds the menu bar of `form`.
    explicit ImageFormMenus(TImageForm &form);

    // "Сохранить точки" usable: there are points not saved yet.
    void enableSave(bool on);
    bool saveEnabled() const;
    // "Загрузить точки" usable: an image is open.
    void enableLoad(bool on);
    bool loadEnabled() const;
    // "Включена" ticked while the magnifier is on.
    void showMagnifier(bool on);
    // The zoom step and the area step ticked (the others not).
    void showZoom(int zoom);
    void showArea(int halfSide);

private:
    void buildFileMenu();
    void buildMagnifierMenu();
    void buildSettingsMenus();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);

    TImageForm &m_form;
    QAction *N2 = nullptr;
    QAction *N3 = nullptr;
    QAction *N4 = nullptr;
    QAction *N7 = nullptr;
    QAction *N12 = nullptr;
    QAction *N10 = nullptr;
    QAction *N11 = nullptr;
    QAction *N6 = nullptr;
    QAction *N17 = nullptr;
    QAction *N16 = nullptr;
    QList<QAction *> m_zoomItems;
    QList<QAction *> m_areaItems;
};

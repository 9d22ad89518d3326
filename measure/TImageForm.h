#pragma once

#include "PlacementHost.h"
#include "PointMarkers.h"
#include "PointPlacement.h"

#include <QFont>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class ImageFormMenus;
class ImageFormStatus;
class ImageView;
class MarkerOverlay;
class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class TDirForm;
class TLupa;
class TZymAboutBox;

// The manual measurement window: one bitmap at its natural size with numbered
// point markers on a transparent overlay, a magnifier of its own, menus,
// Ctrl shortcuts and a four-panel status bar. It keeps its settings in
// "ZymKelvarin.ini", section "ZymParameters", read at construction and written
// at closing. Several windows may be open at once; each deletes itself when
// closed.
//
// The main window hands its image and last found points over like this:
//
//     auto *form = new TImageForm(environment);
//     if (!form->OpenImage(imagePath)) {   // failures are already reported
//         delete form;                      // never shown
//         return;
//     }
//     const QString file = HandOffFile::write(zones, imagePath); // throws KelvarinError
//     form->LoadPoints(file);
//     form->show();
//     QFile::remove(file);
//
// (When the hand-off file cannot be written, report the error and delete the
// window, which has not been shown.)
class TImageForm : public QMainWindow, private PlacementHost
{
    Q_OBJECT

public:
    struct Environment
    {
        QString startDirectory;            // the program's start directory
        QString workDirectory;             // the main program's working directory
        TDirForm *dirForm = nullptr;       // shared chooser; one of its own when null
        TZymAboutBox *aboutBox = nullptr;  // shared about box; one of its own when null
        QString settingsPath;              // empty: the per-user "ZymKelvarin.ini"
    };

    explicit TImageForm(const Environment &environment, QWidget *parent = nullptr);
    ~TImageForm() override;

    // Opens a bitmap; an empty or missing path asks for one. False (nothing
    // changed, the reason already shown) when no image was opened.
    bool OpenImage(const QString &path);
    // Replaces the points by those of a points file; a bad line keeps the
    // points before it. Reports its own errors.
    void LoadPoints(const QString &path);

    PointMarkers &markers() { return m_markers; }
    TLupa *lupa() const { return m_lupa; }
    MarkerOverlay *crossImage() const { return m_crossImage; }
    ImageView *image() const { return m_image; }
    QString statusText(int panel) const;
    bool lupaShown() const { return m_lupaOn; }
    bool unsavedPoints() const;
    QString workDirectory() const { return m_workDirectory; }
    QString lastImagePath() const { return m_lastImagePath; }
    bool imageOpened() const { return m_imageOpened; }
    QString settingsPath() const { return m_settingsPath; }

public Q_SLOTS:
    // Handlers of the menu items and shortcuts; each only calls the command
    // named for what it does.
    void N2Click() { openAnotherImage(); }      // "Открыть изображение"
    void N3Click() { loadPointsFromFile(); }    // "Загрузить точки"
    bool N4Click() { return savePoints(); }     // "Сохранить точки"; true when the points were saved
    void N6Click() { chooseWorkDirectory(); }   // "Рабочая директория"
    void N7Click() { close(); }                 // "Выход"
    void N10Click() { chooseIndexFont(); }      // "Шрифт индексов"
    void N11Click() { chooseMarkerStyle(); }    // "Цвет и размер маркеров"
    void N12Click() { toggleMagnifier(); }      // "Включена": magnifier on and off
    void N16Click() { showAboutBox(); }         // "О программе"
    void N17Click() {}                          // "Справка": the window has no help of its own
    void zoomClick(int zoom);
    void areaClick(int halfSide);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    // PlacementHost
    void setStatus(int panel, const QString &text) override;
    void enableSave() override;
    bool magnifierShown() const override { return m_lupaOn; }
    void grabArea(int x, int y) override;
    bool runMagnifierModal() override;
    QPointF fineOffset() const override;
    bool askNewNumber(int currentNumber, QString *answer) override;
    void refuseNumber() override;

    // Turns the magnifier on and off.
    void toggleMagnifier();
    // Saves the points; true when they were saved.
    bool savePoints();
    // Replaces the points by those of a points file the user picks.
    void loadPointsFromFile();
    // Opens another image, asking about unsaved points first.
    void openAnotherImage();
    // Lets the user choose the working directory.
    void chooseWorkDirectory();
    // Lets the user choose the font of the point numbers.
    void chooseIndexFont();
    // Lets the user choose the marker colours and size.
    void chooseMarkerStyle();
    // Shows the about box.
    void showAboutBox();
    void buildView();
    void readMeasureSettings();
    void writeMeasureSettings();
    void setLupaOn(bool on);
    void showImage(const QImage &image, const QString &path);
    bool askToSavePoints();
    void handleMouse(QEvent *event);
    TDirForm *dirForm();

    Environment m_environment;
    QString m_settingsPath;
    QString m_startDirectory;
    QString m_workDirectory;
    QString m_lastImagePath;
    QString m_pointsFileName = QStringLiteral("Res.crd");
    bool m_imageOpened = false;
    bool m_lupaOn = false;
    int m_fontColor = 0;

    PointMarkers m_markers;
    PointPlacement m_placement{m_markers, *this};
    TLupa *m_lupa = nullptr;
    QPointer<TDirForm> m_ownDirForm;
    QPointer<TZymAboutBox> m_ownAboutBox;

    QWidget *m_imagePanel = nullptr;
    QScrollArea *m_imageBox = nullptr;
    QWidget *m_canvas = nullptr;
    ImageView *m_image = nullptr;
    MarkerOverlay *m_crossImage = nullptr;
    QLabel *m_splash = nullptr;
    ImageFormStatus *m_status = nullptr;

    std::unique_ptr<ImageFormMenus> m_menus;
};

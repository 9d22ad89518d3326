#include "TImageForm.h"

#include "RegularFile.h"

#include "AboutBox.h"
#include "AtomicFile.h"
#include "BitmapPicture.h"
#include "DialogService.h"
#include "ImageView.h"
#include "IniFile.h"
#include "KelvarinError.h"
#include "MarkerOverlay.h"
#include "MeasureSettings.h"
#include "PointsFile.h"
#include "SettingsLocation.h"
#include "TColorSet.h"
#include "TDirForm.h"
#include "TLupa.h"
#include "TWaitCursor.h"
#include "TZymAboutBox.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

static const int zoomFactors[] = {2, 3, 4, 5, 6, 7, 8};
static const int areaHalfSides[] = {15, 20, 25, 30, 35, 40};

TImageForm::TImageForm(const Environment &environment, QWidget *parent)
    : QMainWindow(parent), m_environment(environment)
{
    setObjectName(QStringLiteral("TImageForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Изображение не загружено"));
    setWindowIcon(AboutBox::programPicture());
    setFocusPolicy(Qt::StrongFocus);

    m_settingsPath = environment.settingsPath.isEmpty()
        ? SettingsLocation::filePath(MeasureSettings::fileName())
        : environment.settingsPath;
    m_lupa = new TLupa(this);
    buildView();
    buildStatusBar();
    buildMenus();
    m_markers.setCanvas(m_crossImage);

    ReadMeasureSettings();
    m_startDirectory = environment.startDirectory;
    m_workDirectory = environment.workDirectory;

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m_lupa->move(screen.left() + screen.width() - m_lupa->side(), screen.top() + 50);

    N3->setEnabled(false);
    resize(783, 532);
    move(QGuiApplication::primaryScreen()->availableGeometry().center() - rect().center());
}

TImageForm::~TImageForm()
{
    m_markers.setCanvas(nullptr);
    delete m_ownDirForm;
    delete m_ownAboutBox;
}

void TImageForm::buildView()
{
    m_imagePanel = new QWidget(this);
    m_imagePanel->setObjectName(QStringLiteral("ImagePanel"));
    m_imageBox = new QScrollArea(m_imagePanel);
    m_imageBox->setObjectName(QStringLiteral("ImageBox"));
    m_imageBox->setFocusPolicy(Qt::NoFocus);
    m_imageBox->setBackgroundRole(QPalette::Button);
    m_imageBox->setWidgetResizable(true);
    m_imageBox->verticalScrollBar()->setSingleStep(1);
    auto *layout = new QVBoxLayout(m_imagePanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageBox);

    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("ImageCanvas"));
    m_canvas->installEventFilter(this);
    m_image = new ImageView(m_canvas);
    m_image->setObjectName(QStringLiteral("Image"));
    m_image->setCursor(Qt::CrossCursor);
    m_image->resize(0, 0);
    m_crossImage = new MarkerOverlay(m_markers, m_canvas);
    m_crossImage->resize(0, 0);
    m_crossImage->installEventFilter(this);
    m_splash = new QLabel(m_canvas);
    m_splash->setObjectName(QStringLiteral("Image1"));
    m_splash->setAlignment(Qt::AlignCenter);
    m_splash->setPixmap(AboutBox::programPicture());
    m_imageBox->setWidget(m_canvas);
    setCentralWidget(m_imagePanel);
}

void TImageForm::buildStatusBar()
{
    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("ImageStatus"));
    m_status->setSizeGripEnabled(false);
    const int widths[] = {80, 80, 100, 0};
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    const QString texts[] = {QStringLiteral("X="), QStringLiteral("Y="), QStringLiteral("None"), QString()};
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(texts[i], m_status);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(alignments[i] | Qt::AlignVCenter);
        if (widths[i] > 0)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(1);
        m_status->addWidget(panel, widths[i] > 0 ? 0 : 1);
        m_panels[i] = panel;
    }
    setStatusBar(m_status);
}

QAction *TImageForm::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void TImageForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("N1"));
    N2 = addItem(file, QStringLiteral("N2"), QStringLiteral("Открыть изображение"));
    N3 = addItem(file, QStringLiteral("N3"), QStringLiteral("Загрузить точки"));
    N4 = addItem(file, QStringLiteral("N4"), QStringLiteral("Сохранить точки"));
    file->addSeparator()->setObjectName(QStringLiteral("N5"));
    N7 = addItem(file, QStringLiteral("N7"), QStringLiteral("Выход"));
    N4->setEnabled(false);
    connect(N2, &QAction::triggered, this, &TImageForm::N2Click);
    connect(N3, &QAction::triggered, this, &TImageForm::N3Click);
    connect(N4, &QAction::triggered, this, &TImageForm::N4Click);
    connect(N7, &QAction::triggered, this, &TImageForm::N7Click);

    QMenu *lupa = bar->addMenu(QStringLiteral("Лупа"));
    lupa->setObjectName(QStringLiteral("N8"));
    N12 = addItem(lupa, QStringLiteral("N12"), QStringLiteral("Включена"));
    N12->setCheckable(true);
    connect(N12, &QAction::triggered, this, &TImageForm::N12Click);
    QMenu *zoom = lupa->addMenu(QStringLiteral("Увеличение"));
    zoom->setObjectName(QStringLiteral("N13"));
    for (int factor : zoomFactors) {
        QAction *item = addItem(zoom, QStringLiteral("N%1x1").arg(factor), QStringLiteral("%1x").arg(factor));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, factor] { zoomClick(factor); });
        m_zoomItems << item;
    }
    QMenu *area = lupa->addMenu(QStringLiteral("Размер области"));
    area->setObjectName(QStringLiteral("N14"));
    for (int half : areaHalfSides) {
        const int side = 2 * half;
        QAction *item = addItem(area, QStringLiteral("N%1x%1").arg(side) + QLatin1Char('1'), QStringLiteral("%1x%1").arg(side));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, half] { areaClick(half); });
        m_areaItems << item;
    }

    QMenu *settings = bar->addMenu(QStringLiteral("Настройки"));
    settings->setObjectName(QStringLiteral("N9"));
    N10 = addItem(settings, QStringLiteral("N10"), QStringLiteral("Шрифт индексов"));
    N11 = addItem(settings, QStringLiteral("N11"), QStringLiteral("Цвет и размер маркеров"));
    N6 = addItem(settings, QStringLiteral("N6"), QStringLiteral("Рабочая директория"));
    connect(N10, &QAction::triggered, this, &TImageForm::N10Click);
    connect(N11, &QAction::triggered, this, &TImageForm::N11Click);
    connect(N6, &QAction::triggered, this, &TImageForm::N6Click);

    QMenu *help = bar->addMenu(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("N15"));
    N17 = addItem(help, QStringLiteral("N17"), QStringLiteral("Справка"));
    N16 = addItem(help, QStringLiteral("N16"), QStringLiteral("О программе"));
    connect(N17, &QAction::triggered, this, &TImageForm::N17Click);
    connect(N16, &QAction::triggered, this, &TImageForm::N16Click);
}

QString TImageForm::statusText(int panel) const
{
    return m_panels[panel]->text();
}

bool TImageForm::unsavedPoints() const
{
    return N4->isEnabled();
}

// ---- settings

void TImageForm::ReadMeasureSettings()
{
    MeasureSettings settings;
    IniFile ini(m_settingsPath);
    if (!settings.read(ini)) {
        DialogService::instance().message(this, QStringLiteral("Ошибка"),
                                          QStringLiteral("Ошибка чтения ini-файла!"));
        // Nothing was read, so the magnifier stays as it was built: its own
        // area and zoom, and on. The keys' defaults apply only to a file
        // that was read.
        settings.lupaSize = m_lupa->area();
        settings.lupaScale = m_lupa->zoom();
        settings.lupaVisible = true;
    }
    m_lupa->SetArea(settings.lupaSize);
    checkAreaItem();
    m_lupa->SetZoom(settings.lupaScale);
    checkZoomItem();
    setLupaOn(settings.lupaVisible);
    if (!settings.lupaVisible)
        m_lupa->ResetCrosshair();
    m_markers.SetStyle(settings.activeColor, settings.passiveColor, settings.crossSize);

    QFont font(settings.fontName);
    font.setPointSize(settings.fontSize > 0 ? settings.fontSize : MeasureSettings().fontSize);
    font.setBold(settings.fontBold);
    font.setItalic(settings.fontItalic);
    font.setUnderline(settings.fontUnderline);
    font.setStrikeOut(settings.fontStrikeOut);
    m_crossImage->setIndexFont(font);
    m_fontColor = settings.fontColor;
}

void TImageForm::WriteMeasureSettings()
{
    MeasureSettings settings;
    settings.lupaSize = m_lupa->area();
    settings.lupaScale = m_lupa->zoom();
    settings.lupaVisible = m_lupaOn;
    settings.crossSize = m_markers.crossSize();
    settings.activeColor = m_markers.activeColor();
    settings.passiveColor = m_markers.passiveColor();
    const QFont &font = m_crossImage->indexFont();
    settings.fontName = font.family();
    settings.fontSize = font.pointSize();
    settings.fontColor = m_fontColor;
    settings.fontBold = font.bold();
    settings.fontItalic = font.italic();
    settings.fontUnderline = font.underline();
    settings.fontStrikeOut = font.strikeOut();
    settings.workDir = m_workDirectory;
    IniFile ini(m_settingsPath);
    if (!settings.write(ini)) {
        DialogService::instance().message(this, QStringLiteral("Ошибка"),
                                          QStringLiteral("Ошибка записи ini-файла!"));
    }
}

void TImageForm::checkZoomItem()
{
    for (int i = 0; i < m_zoomItems.size(); ++i)
        m_zoomItems[i]->setChecked(zoomFactors[i] == m_lupa->zoom());
}

void TImageForm::checkAreaItem()
{
    for (int i = 0; i < m_areaItems.size(); ++i)
        m_areaItems[i]->setChecked(areaHalfSides[i] == m_lupa->area());
}

// ---- magnifier

// The magnifier is shown only while this window is: a window whose image
// never opened must not leave a magnifier on the screen.
void TImageForm::setLupaOn(bool on)
{
    m_lupaOn = on;
    N12->setChecked(on);
    m_lupa->setVisible(on && isVisible());
}

void TImageForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_lupaOn)
        m_lupa->show();
    setFocus();
}

void TImageForm::hideEvent(QHideEvent *event)
{
    m_lupa->hide();
    QMainWindow::hideEvent(event);
}

void TImageForm::N12Click()
{
    if (m_lupaOn) {
        setLupaOn(false);
        m_lupa->ResetCrosshair();
        return;
    }
    if (m_placement.lastMouse().x() != -1)
        m_lupa->GrabArea(m_placement.lastMouse().x(), m_placement.lastMouse().y());
    setLupaOn(true);
}

void TImageForm::zoomClick(int zoom)
{
    m_lupa->SetZoom(zoom);
    for (int i = 0; i < m_zoomItems.size(); ++i)
        m_zoomItems[i]->setChecked(zoomFactors[i] == zoom);
}

void TImageForm::areaClick(int halfSide)
{
    m_lupa->SetArea(halfSide);
    if (m_lupaOn && m_placement.lastMouse().x() != -1)
        m_lupa->GrabArea(m_placement.lastMouse().x(), m_placement.lastMouse().y());
    for (int i = 0; i < m_areaItems.size(); ++i)
        m_areaItems[i]->setChecked(areaHalfSides[i] == halfSide);
}

void TImageForm::grabArea(int x, int y)
{
    m_lupa->GrabArea(x, y);
}

void TImageForm::runMagnifierModal()
{
    m_lupa->runModal();
    activateWindow();
    setFocus();
}

QPointF TImageForm::fineOffset() const
{
    return m_lupaOn ? m_lupa->shift() : QPointF(0, 0);
}

// ---- point placement

void TImageForm::setStatus(int panel, const QString &text)
{
    m_panels[panel]->setText(text);
}

void TImageForm::enableSave()
{
    N4->setEnabled(true);
}

bool TImageForm::askNewNumber(int currentNumber, QString *answer)
{
    *answer = QString::number(currentNumber);
    return DialogService::instance().inputText(this, QStringLiteral("Изменение номера точки"),
                                               QStringLiteral("Введите новый номер"), answer);
}

void TImageForm::refuseNumber()
{
    DialogService::instance().message(this, QStringLiteral("Отказ"), QStringLiteral("Неверный номер"));
}

static PointPlacement::Shift shiftOf(const QMouseEvent *event)
{
    PointPlacement::Shift shift;
    if (event->buttons() & Qt::LeftButton)
        shift.buttons |= PointPlacement::LeftButton;
    if (event->buttons() & Qt::RightButton)
        shift.buttons |= PointPlacement::RightButton;
    if (event->buttons() & Qt::MiddleButton)
        shift.buttons |= PointPlacement::MiddleButton;
    shift.ctrl = event->modifiers() & Qt::ControlModifier;
    return shift;
}

static PointPlacement::Button buttonOf(const QMouseEvent *event)
{
    switch (event->button()) {
    case Qt::LeftButton: return PointPlacement::LeftButton;
    case Qt::RightButton: return PointPlacement::RightButton;
    case Qt::MiddleButton: return PointPlacement::MiddleButton;
    default: return PointPlacement::NoButton;
    }
}

// Mouse positions are whole image pixels: the overlay lies at the image's
// origin at one screen pixel per image pixel, whatever the scroll position.
void TImageForm::handleMouse(QEvent *event)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    const int x = int(std::floor(mouse->position().x()));
    const int y = int(std::floor(mouse->position().y()));
    try {
        switch (event->type()) {
        case QEvent::MouseMove:
            m_placement.mouseMove(shiftOf(mouse), x, y);
            break;
        // A double click stands for its second press.
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_placement.mouseDown(buttonOf(mouse), shiftOf(mouse), x, y);
            break;
        case QEvent::MouseButtonRelease:
            m_placement.mouseUp(buttonOf(mouse), shiftOf(mouse), x, y);
            break;
        default:
            break;
        }
    } catch (const KelvarinError &e) {
        DialogService::instance().error(this, e.message());
    }
}

bool TImageForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_crossImage) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
            handleMouse(event);
            return true;
        default:
            break;
        }
    } else if (watched == m_canvas && event->type() == QEvent::Resize && m_splash->isVisible()) {
        m_splash->setGeometry(m_canvas->rect());
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- image

bool TImageForm::OpenImage(const QString &path)
{
    QString file = path;
    DialogService &dialogs = DialogService::instance();
    if (!QFileInfo(file).isFile()) {
        const QString start = m_imageOpened ? m_lastImagePath : m_workDirectory;
        file = dialogs.openFileName(this, QStringLiteral("Открыть изображение"), start,
                                    QStringLiteral("Bitmap Files (*.bmp)|*.bmp"));
        if (file.isEmpty())
            return false;
    }
    if (!QFileInfo(file).isFile()) {
        dialogs.message(this, QStringLiteral("Отказ"), QStringLiteral("Изображение не найдено"),
                        DialogService::Ok, DialogService::Icon::Warning);
        return false;
    }
    QImage picture;
    try {
        TWaitCursor wait;
        picture = BitmapPicture::load(file);
    } catch (const KelvarinError &e) {
        dialogs.error(this, e.message());
        return false;
    }
    if (picture.isNull()) {
        dialogs.error(this, QStringLiteral("Недостаточно памяти для изображения %1")
                                .arg(QDir::toNativeSeparators(file)));
        return false;
    }
    showImage(picture, file);
    return true;
}

void TImageForm::showImage(const QImage &picture, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    m_pointsFileName = name.left(qMax<qsizetype>(0, name.size() - 3)) + QStringLiteral("crd");

    m_splash->hide();
    m_splash->resize(0, 0);
    m_imageBox->setWidgetResizable(false);
    m_image->setImage(picture);
    m_crossImage->setGeometry(QRect(QPoint(0, 0), picture.size()));
    m_crossImage->raise();
    m_canvas->resize(picture.size());
    m_lupa->setPhotograph(picture);
    setWindowTitle(QStringLiteral("Изображение: ") + name);

    m_placement.reset();
    m_markers.Clear();
    m_crossImage->update();

    m_imageOpened = true;
    m_lastImagePath = path;
    N3->setEnabled(true);
}

// ---- points files

void TImageForm::LoadPoints(const QString &path)
{
    if (path.isEmpty())
        return;
    m_markers.EraseAll();
    QByteArray bytes;
    // Only a regular file of bounded size: a pipe would block, a device never end.
    if (RegularFile::read(path, &bytes) != RegularFile::Status::Ok) {
        DialogService::instance().notice(this, QStringLiteral("Ошибка чтения файла!"));
        m_markers.DrawAll();
        return;
    }
    m_markers.Clear();
    m_placement.reset();
    const PointsFile::ParseResult result = PointsFile::parse(bytes);
    for (const QPointF &p : result.points)
        m_markers.AddPoint(p.x(), p.y());
    if (!result.ok)
        DialogService::instance().notice(this, QStringLiteral("Ошибка чтения файла!"));
    m_markers.DrawAll();
}

bool TImageForm::N4Click()
{
    DialogService &dialogs = DialogService::instance();
    const QString file = dialogs.saveFileName(this, QStringLiteral("Сохранить как"), m_workDirectory,
                                              m_pointsFileName,
                                              QStringLiteral("Coordinate Files|*.crd|All Files|*.*"),
                                              QString());
    if (file.isEmpty())
        return false;
    QList<QPointF> points;
    for (int i = 0; i < m_markers.Count(); ++i)
        points << QPointF(m_markers.point(i).x, m_markers.point(i).y);
    const QByteArray bytes = PointsFile::format(points);
    if (QFileInfo::exists(file)) {
        const QString question = QStringLiteral("Файл ") + QFileInfo(file).fileName()
            + QStringLiteral(" уже существует. Перезаписать?");
        if (dialogs.message(this, QStringLiteral("Предупреждение"), question,
                            DialogService::Yes | DialogService::No, DialogService::Icon::Warning)
            != DialogService::Yes)
            return false;
    }
    try {
        AtomicFile::writeOrThrow(file, bytes);
    } catch (const KelvarinError &e) {
        dialogs.error(this, e.message());
        return false;
    }
    N4->setEnabled(false);
    return true;
}

void TImageForm::N3Click()
{
    if (!N3->isEnabled())
        return;
    const QString file = DialogService::instance().openFileName(
        this, QStringLiteral("Загрузить точки"), QDir(m_workDirectory).filePath(m_pointsFileName),
        QStringLiteral("Coordinate Files (*.crd)|*.crd"));
    if (!file.isEmpty())
        LoadPoints(file);
}

// Asks about unsaved points before they go. Answering Yes means the points
// must not be lost: false when the save then does not happen (dialog
// cancelled, overwrite refused, write failed), and the caller keeps them.
bool TImageForm::askToSavePoints()
{
    if (!N4->isEnabled())
        return true;
    const DialogService::Button answer = DialogService::instance().message(
        this, QStringLiteral("Сохранение"), QStringLiteral("Сохранить отмеченные точки?"),
        DialogService::Yes | DialogService::No, DialogService::Icon::Question);
    return answer != DialogService::Yes || N4Click();
}

void TImageForm::N2Click()
{
    if (askToSavePoints())
        OpenImage(QString());
}

void TImageForm::N6Click()
{
    TDirForm *chooser = dirForm();
    chooser->setWindowTitle(QStringLiteral("Выбор рабочей директории"));
    const bool useWork = !m_workDirectory.isEmpty() && QFileInfo(m_workDirectory).isDir();
    try {
        chooser->setDirectory(useWork ? m_workDirectory : m_startDirectory);
    } catch (const KelvarinError &e) {
        DialogService::instance().error(this, e.message());
        return;
    }
    chooser->exec();
    if (!chooser->DirectoryResult.isEmpty())
        m_workDirectory = chooser->DirectoryResult;
}

TDirForm *TImageForm::dirForm()
{
    if (m_environment.dirForm)
        return m_environment.dirForm;
    if (!m_ownDirForm)
        m_ownDirForm = new TDirForm(this);
    return m_ownDirForm;
}

// ---- other commands

void TImageForm::N7Click()
{
    close();
}

void TImageForm::N10Click()
{
    QFont font = m_crossImage->indexFont();
    if (!DialogService::instance().chooseFont(this, &font))
        return;
    // The dialog offers name, size, bold and italic; underline and strike-out
    // stay as they were.
    font.setUnderline(m_crossImage->indexFont().underline());
    font.setStrikeOut(m_crossImage->indexFont().strikeOut());
    m_markers.EraseLabels();
    m_crossImage->setIndexFont(font);
    m_markers.DrawLabels();
}

void TImageForm::N11Click()
{
    TColorSet dialog(m_markers.activeColor(), m_markers.passiveColor(), m_markers.crossSize(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_markers.SetStyle(dialog.activeColor(), dialog.passiveColor(), dialog.size());
}

void TImageForm::N16Click()
{
    if (m_environment.aboutBox) {
        m_environment.aboutBox->exec();
        return;
    }
    if (!m_ownAboutBox)
        m_ownAboutBox = new TZymAboutBox(this);
    m_ownAboutBox->exec();
}

void TImageForm::N17Click()
{
}

void TImageForm::keyPressEvent(QKeyEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_L: N12Click(); break;
    case Qt::Key_S: if (N4->isEnabled()) N4Click(); break;
    case Qt::Key_O: N2Click(); break;
    case Qt::Key_Q: N7Click(); break;
    case Qt::Key_F: N10Click(); break;
    case Qt::Key_R: N6Click(); break;
    case Qt::Key_P: if (N3->isEnabled()) N3Click(); break;
    case Qt::Key_K: N11Click(); break;
    default: break;
    }
    event->accept();
}

// ---- closing

void TImageForm::closeEvent(QCloseEvent *event)
{
    WriteMeasureSettings();
    if (!askToSavePoints()) {
        event->ignore();
        return;
    }
    event->accept();
}

#include "TImageForm.h"

#include "RegularFile.h"

#include "AboutBox.h"
#include "AtomicFile.h"
#include "BitmapPicture.h"
#include "DialogService.h"
#include "ImageFormMenus.h"
#include "ImageFormStatus.h"
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
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

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
    m_status = new ImageFormStatus(this);
    setStatusBar(m_status);
    m_menus = std::make_unique<ImageFormMenus>(*this);
    m_markers.setCanvas(m_crossImage);

    readMeasureSettings();
    m_startDirectory = environment.startDirectory;
    m_workDirectory = environment.workDirectory;

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m_lupa->move(screen.left() + screen.width() - m_lupa->side(), screen.top() + 50);

    m_menus->enableLoad(false);
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

QString TImageForm::statusText(int panel) const
{
    return m_status->text(panel);
}

bool TImageForm::unsavedPoints() const
{
    return m_menus->saveEnabled();
}

// ---- settings

void TImageForm::readMeasureSettings()
{
    MeasureSettings settings;
    IniFile ini(m_settingsPath);
    QStringList problems; // colours that are no numbers, with file, line and key
    const bool read = settings.read(ini, &problems);
    if (!read || !problems.isEmpty())
        DialogService::instance().message(this, QStringLiteral("Ошибка"),
                                          (QStringList{QStringLiteral("Ошибка чтения ini-файла!")} + problems).join(u'\n'));
    if (!read) {
        // Nothing was read, so the magnifier stays as it was built: its own
        // area and zoom, and on; the keys' defaults apply only to a file read.
        settings.lupaSize = m_lupa->area();
        settings.lupaScale = m_lupa->zoom();
        settings.lupaVisible = true;
    }
    m_lupa->SetArea(settings.lupaSize);
    m_menus->showArea(m_lupa->area());
    m_lupa->SetZoom(settings.lupaScale);
    m_menus->showZoom(m_lupa->zoom());
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

void TImageForm::writeMeasureSettings()
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

// ---- magnifier

// The magnifier is shown only while this window is: a window whose image
// never opened must not leave a magnifier on the screen.
void TImageForm::setLupaOn(bool on)
{
    m_lupaOn = on;
    m_menus->showMagnifier(on);
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

void TImageForm::toggleMagnifier()
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
    m_menus->showZoom(zoom);
}

void TImageForm::areaClick(int halfSide)
{
    m_lupa->SetArea(halfSide);
    if (m_lupaOn && m_placement.lastMouse().x() != -1)
        m_lupa->GrabArea(m_placement.lastMouse().x(), m_placement.lastMouse().y());
    m_menus->showArea(halfSide);
}

// The magnifier never hides the area it shows: it moves out of its way.
void TImageForm::grabArea(int x, int y)
{
    m_lupa->GrabArea(x, y);
    const int a = m_lupa->area();
    const QRect area(m_crossImage->mapToGlobal(QPoint(x - a, y - a)), QSize(2 * a, 2 * a));
    m_lupa->keepClearOf(area, frameGeometry());
}

// The magnifier keeps its place beside the window when that moves.
void TImageForm::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (isVisible())
        m_lupa->followOwner(event->pos() - event->oldPos());
}

// The status line says what the magnifier waits for while it has the keyboard.
bool TImageForm::runMagnifierModal()
{
    setStatus(3, TLupa::modalHint());
    const bool placed = m_lupa->runModal();
    setStatus(3, QString());
    activateWindow();
    setFocus();
    return placed;
}

QPointF TImageForm::fineOffset() const
{
    return m_lupaOn ? m_lupa->shift() : QPointF(0, 0);
}

// ---- point placement

void TImageForm::setStatus(int panel, const QString &text)
{
    m_status->setText(panel, text);
}

void TImageForm::enableSave()
{
    m_menus->enableSave(true);
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
                                    QStringLiteral("Изображения|*.bmp;*.png;*.tif;*.tiff;*.jpg;*.jpeg|"
                                                   "Изображения BMP (*.bmp)|*.bmp"));
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
    m_menus->enableLoad(true);
}

// The points shown are replaced only by a file read whole; otherwise they
// stay, and the message names the file and what is wrong with it.
void TImageForm::LoadPoints(const QString &path)
{
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString error;
    PointsFile::ParseResult result;
    const RegularFile::Status status = RegularFile::read(path, &bytes, &error);
    if (status != RegularFile::Status::Ok) {
        if (error.isEmpty())
            error = RegularFile::describe(status, path);
    } else if (result = PointsFile::parse(bytes); !result.ok) {
        error = QStringLiteral("%1, строка %2: нужны два числа через \";\"").arg(path).arg(result.badLine);
    }
    if (!error.isEmpty()) {
        DialogService::instance().notice(this, QStringLiteral("Ошибка чтения файла!\n") + error);
        return;
    }
    m_markers.EraseAll();
    m_markers.Clear();
    m_placement.reset();
    for (const QPointF &p : result.points)
        m_markers.AddPoint(p.x(), p.y());
    m_markers.DrawAll();
}

bool TImageForm::savePoints()
{
    DialogService &dialogs = DialogService::instance();
    const QString file = dialogs.saveFileName(this, QStringLiteral("Сохранить как"), m_workDirectory,
                                              m_pointsFileName,
                                              QStringLiteral("Файлы координат|*.crd|Все файлы|*.*"),
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
    m_menus->enableSave(false);
    return true;
}

// "Загрузить точки" replaces the points: unsaved ones are asked about first,
// as before opening another image.
void TImageForm::loadPointsFromFile()
{
    if (!m_menus->loadEnabled() || !askToSavePoints())
        return;
    const QString file = DialogService::instance().openFileName(
        this, QStringLiteral("Загрузить точки"), QDir(m_workDirectory).filePath(m_pointsFileName),
        QStringLiteral("Файлы координат (*.crd)|*.crd"));
    if (!file.isEmpty())
        LoadPoints(file);
}

// Asks about unsaved points before they go. Answering Yes means the points
// must not be lost: false when the save then does not happen (dialog
// cancelled, overwrite refused, write failed), and the caller keeps them.
bool TImageForm::askToSavePoints()
{
    if (!m_menus->saveEnabled())
        return true;
    const DialogService::Button answer = DialogService::instance().message(
        this, QStringLiteral("Сохранение"), QStringLiteral("Сохранить отмеченные точки?"),
        DialogService::Yes | DialogService::No, DialogService::Icon::Question);
    return answer != DialogService::Yes || savePoints();
}

void TImageForm::openAnotherImage()
{
    if (askToSavePoints())
        OpenImage(QString());
}

void TImageForm::chooseWorkDirectory()
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

void TImageForm::chooseIndexFont()
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

void TImageForm::chooseMarkerStyle()
{
    TColorSet dialog(m_markers.activeColor(), m_markers.passiveColor(), m_markers.crossSize(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_markers.SetStyle(dialog.activeColor(), dialog.passiveColor(), dialog.size());
}

void TImageForm::showAboutBox()
{
    if (m_environment.aboutBox) {
        m_environment.aboutBox->exec();
        return;
    }
    if (!m_ownAboutBox)
        m_ownAboutBox = new TZymAboutBox(this);
    m_ownAboutBox->exec();
}

void TImageForm::keyPressEvent(QKeyEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_L: N12Click(); break;
    case Qt::Key_S: if (m_menus->saveEnabled()) N4Click(); break;
    case Qt::Key_O: N2Click(); break;
    case Qt::Key_Q: N7Click(); break;
    case Qt::Key_F: N10Click(); break;
    case Qt::Key_R: N6Click(); break;
    case Qt::Key_P: if (m_menus->loadEnabled()) N3Click(); break;
    case Qt::Key_K: N11Click(); break;
    default: break;
    }
    event->accept();
}

// ---- closing

void TImageForm::closeEvent(QCloseEvent *event)
{
    writeMeasureSettings();
    if (!askToSavePoints()) {
        event->ignore();
        return;
    }
    event->accept();
}

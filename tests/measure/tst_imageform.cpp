#include "HandOffFile.h"
#include "IniFile.h"
#include "MarkerOverlay.h"
#include "ScriptedDialogs.h"
#include "TDirForm.h"
#include "TImageForm.h"
#include "TLupa.h"
#include "TColorSet.h"
#include "FontChoiceDialog.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QSpinBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Collects the regions the overlay is asked to repaint.
struct PaintSpy : QObject
{
    QRegion painted;
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
            ++paints;
        }
        return false;
    }
};

// Every pixel a different colour, so a copy can be told from a shifted one.
QImage sampleImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 40 + 30));
    return image;
}

} // namespace

// The measurement window driven by real mouse and key events under the
// offscreen platform, its dialogs answered by ScriptedDialogs.
class TestImageForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startsEmptyWithDefaults();
    void openImageAsksAndReportsExactly();
    void undecodableImageKeepsPreviousOne();
    void placeActivateAndStatusTexts();
    void renumberThreeToOne();
    void ctrlClickDeletes();
    void modalMagnifierPlacesPointFourTenthsRight();
    void magnifierFollowsWindowAndClearsArea();
    void saveWithOverwriteQuestionAndLoad();
    void loadStopsAtBadLine();
    void closingWithUnsavedPoints();
    void closingWritesSettings();
    void storedSettingsApplied();
    void shortcutsOnlyWhileEnabled();
    void workingDirectoryChosen();
    void indexFontAndMarkerColours();
    void editsRepaintOnlyChangedRegions();
    void magnifierCopiesPhotographOnly();
    void twoWindowsAreIndependent();
    void openingAnotherImage();
    void handOffSequence();
    void magnifierKeysAndDragging();
    void settingsAndPointsFilesThatFail();
    void fontDialogKeepsTheFont();
    void magnifierStaysOnScreen();
    void magnifierModalPhaseSaysWhatItWaitsFor_data();
    void magnifierModalPhaseSaysWhatItWaitsFor();
    void magnifierCrosshairOnDarkAndBright_data();
    void magnifierCrosshairOnDarkAndBright();
    void draggedMagnifierGivesKeysBack();
    void pointNotFoundIsNotDrawn();
    void screenshot();

private:
    std::unique_ptr<TImageForm> newForm();
    TImageForm *openForm(); // shown, with the sample image open; owned by m_form
    void move(const QPoint &at);
    void click(const QPoint &at, Qt::KeyboardModifiers modifiers = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QString m_imagePath;
    QPointer<TImageForm> m_form;
};

void TestImageForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_imagePath = m_dir->filePath(QStringLiteral("shot.bmp"));
    QVERIFY(sampleImage(320, 240).save(m_imagePath, "BMP"));
}

void TestImageForm::cleanup()
{
    delete m_form;
    m_dialogs.reset();
    m_dir.reset();
}

std::unique_ptr<TImageForm> TestImageForm::newForm()
{
    TImageForm::Environment environment;
    environment.startDirectory = m_dir->path();
    environment.workDirectory = m_dir->path();
    environment.settingsPath = m_dir->filePath(QStringLiteral("ZymKelvarin.ini"));
    return std::make_unique<TImageForm>(environment);
}

TImageForm *TestImageForm::openForm()
{
    m_form = newForm().release();
    if (!m_form->OpenImage(m_imagePath))
        return nullptr;
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form))
        return nullptr;
    return m_form;
}

void TestImageForm::move(const QPoint &at)
{
    QTest::mouseMove(m_form->crossImage(), at);
}

void TestImageForm::click(const QPoint &at, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(m_form->crossImage(), Qt::LeftButton, modifiers, at);
}

void TestImageForm::startsEmptyWithDefaults()
{
    auto form = newForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Изображение не загружено"));
    QCOMPARE(form->statusText(0), QStringLiteral("X="));
    QCOMPARE(form->statusText(1), QStringLiteral("Y="));
    QCOMPARE(form->statusText(2), QStringLiteral("Нет точки"));
    QCOMPARE(form->statusText(3), QString());
    QVERIFY(!form->findChild<QAction *>("N3")->isEnabled());
    QVERIFY(!form->findChild<QAction *>("N4")->isEnabled());
    // No settings file: magnifier hidden, 40x40, 5x, S = 8, red and blue, Tahoma 12 bold.
    QVERIFY(!form->lupaShown());
    QVERIFY(!form->findChild<QAction *>("N12")->isChecked());
    QVERIFY(form->findChild<QAction *>("N40x401")->isChecked());
    QVERIFY(!form->findChild<QAction *>("N60x601")->isChecked());
    QVERIFY(form->findChild<QAction *>("N5x1")->isChecked());
    QCOMPARE(form->lupa()->area(), 20);
    QCOMPARE(form->markers().crossSize(), 8);
    QCOMPARE(form->markers().activeColor(), 255);
    QCOMPARE(form->markers().passiveColor(), 16711680);
    QCOMPARE(form->crossImage()->indexFont().family(), QStringLiteral("Tahoma"));
    QCOMPARE(form->crossImage()->indexFont().pointSize(), 12);
    QVERIFY(form->crossImage()->indexFont().bold());
    QVERIFY(m_dialogs->calls.isEmpty());
}

void TestImageForm::openImageAsksAndReportsExactly()
{
    auto form = newForm();
    // Nothing to open: the dialog starts in the working directory; cancelled.
    QVERIFY(!form->OpenImage(QString()));
    QCOMPARE(m_dialogs->calls.size(), 1);
    const ScriptedDialogs::Call open = m_dialogs->calls.first();
    QCOMPARE(open.kind, QStringLiteral("open"));
    QCOMPARE(open.caption, QStringLiteral("Открыть изображение"));
    QCOMPARE(open.directory, m_dir->path());
    QCOMPARE(open.filter, QStringLiteral("Изображения|*.bmp;*.png;*.tif;*.tiff;*.jpg;*.jpeg|Изображения BMP (*.bmp)|*.bmp"));

    // A typed name that does not exist.
    m_dialogs->clear();
    m_dialogs->answerFile(m_dir->filePath(QStringLiteral("typo.bmp")));
    QVERIFY(!form->OpenImage(m_dir->filePath(QStringLiteral("gone.bmp"))));
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Отказ"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Изображение не найдено"));
    QCOMPARE(m_dialogs->messages().first().icon, DialogService::Icon::Warning);
    QVERIFY(!form->imageOpened());

    m_dialogs->clear();
    QVERIFY(form->OpenImage(m_imagePath));
    QVERIFY(m_dialogs->calls.isEmpty());
    QCOMPARE(form->windowTitle(), QStringLiteral("Изображение: shot.bmp"));
    QVERIFY(form->findChild<QAction *>("N3")->isEnabled());
    QCOMPARE(form->crossImage()->size(), QSize(320, 240));
    // The next open dialog proposes the image opened before.
    QVERIFY(!form->OpenImage(QString()));
    QCOMPARE(m_dialogs->calls.last().directory, m_imagePath);
}

void TestImageForm::undecodableImageKeepsPreviousOne()
{
    auto form = newForm();
    QVERIFY(form->OpenImage(m_imagePath));
    form->markers().AddPoint(5, 5);
    const QString bad = m_dir->filePath(QStringLiteral("bad.bmp"));
    TestSupport::writeFile(bad, "not a bitmap at all");
    QVERIFY(!form->OpenImage(bad));
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(m_dialogs->messages().first().icon, DialogService::Icon::Error);
    QCOMPARE(form->windowTitle(), QStringLiteral("Изображение: shot.bmp"));
    QCOMPARE(form->markers().Count(), 1);
}

void TestImageForm::placeActivateAndStatusTexts()
{
    LocaleGuard locale(QChar('.'));
    QVERIFY(openForm());
    move(QPoint(40, 50));
    QCOMPARE(m_form->statusText(0), QStringLiteral("X=40.000"));
    QCOMPARE(m_form->statusText(3), QStringLiteral("Поставить точку: 40.000 - 50.000    "));
    click(QPoint(40, 50));
    move(QPoint(100, 60));
    click(QPoint(100, 60));
    QCOMPARE(m_form->markers().Count(), 2);
    QCOMPARE(m_form->markers().ActiveIndex(), 1);
    QCOMPARE(m_form->statusText(2), QStringLiteral("100 ; 60"));
    QVERIFY(m_form->unsavedPoints());
    // Pressed on empty space, released on the first point: it becomes active.
    move(QPoint(70, 90));
    QTest::mousePress(m_form->crossImage(), Qt::LeftButton, {}, QPoint(70, 90));
    move(QPoint(41, 49));
    QTest::mouseRelease(m_form->crossImage(), Qt::LeftButton, {}, QPoint(41, 49));
    QCOMPARE(m_form->markers().ActiveIndex(), 0);
    QCOMPARE(m_form->statusText(2), QStringLiteral("40 ; 50"));

    // What the operator sees: active cross red, passive blue, photograph elsewhere.
    QCoreApplication::processEvents();
    const QImage shown = m_form->crossImage()->parentWidget()->grab().toImage();
    QCOMPARE(shown.pixelColor(35, 50), QColor(255, 0, 0));
    QCOMPARE(shown.pixelColor(100, 55), QColor(0, 0, 255));
    QCOMPARE(shown.pixel(200, 200), sampleImage(320, 240).pixel(200, 200));
}

void TestImageForm::renumberThreeToOne()
{
    QVERIFY(openForm());
    for (int i = 1; i <= 5; ++i) {
        move(QPoint(50 * i, 100));
        click(QPoint(50 * i, 100));
    }
    m_dialogs->clear();
    m_dialogs->answerInput(true, QStringLiteral("1"));
    move(QPoint(150, 100));
    click(QPoint(150, 100));
    QCOMPARE(m_dialogs->calls.size(), 1);
    QCOMPARE(m_dialogs->calls.first().kind, QStringLiteral("input"));
    QCOMPARE(m_dialogs->calls.first().caption, QStringLiteral("Изменение номера точки"));
    QCOMPARE(m_dialogs->calls.first().text, QStringLiteral("Введите новый номер"));
    QList<double> xs;
    for (int i = 0; i < 5; ++i)
        xs << m_form->markers().point(i).x;
    QCOMPARE(xs, (QList<double>{150, 50, 100, 200, 250}));
    QCOMPARE(m_form->markers().ActiveIndex(), 4); // point 5 stays active

    m_dialogs->answerInput(true, QStringLiteral("9"));
    click(QPoint(150, 100));
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Отказ"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Неверный номер"));

    m_dialogs->answerInput(true, QStringLiteral("x1"));
    click(QPoint(150, 100));
    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(m_dialogs->messages().last().caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(m_dialogs->messages().last().text, QStringLiteral("'x1' не является целым числом"));
    QCOMPARE(m_form->markers().point(0).x, 150.0);
}

void TestImageForm::ctrlClickDeletes()
{
    QVERIFY(openForm());
    for (int x : {60, 120, 180}) {
        move(QPoint(x, 80));
        click(QPoint(x, 80));
    }
    move(QPoint(120, 80));
    click(QPoint(120, 80), Qt::ControlModifier);
    QCOMPARE(m_form->markers().Count(), 2);
    QCOMPARE(m_form->markers().point(1).x, 180.0);
    QCOMPARE(m_form->markers().ActiveIndex(), 1); // point 3 became 2, still active
    QCOMPARE(m_form->statusText(3), QString());
    // Again at the same spot without moving: a new point there.
    click(QPoint(120, 80), Qt::ControlModifier);
    QCOMPARE(m_form->markers().Count(), 3);
    QCOMPARE(m_form->markers().point(2).x, 120.0);
}

void TestImageForm::modalMagnifierPlacesPointFourTenthsRight()
{
    QVERIFY(openForm());
    move(QPoint(70, 90));
    QTest::keyClick(m_form, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(m_form->lupaShown());
    QVERIFY(m_form->lupa()->isVisible());
    QVERIFY(m_form->findChild<QAction *>("N12")->isChecked());
    QCOMPARE(m_form->lupa()->zoom(), 5);

    int phases = 0;
    connect(m_form->lupa(), &TLupa::modalPhaseStarted, this, [this, &phases] {
        ++phases;
        QTimer::singleShot(0, this, [this] {
            QVERIFY(m_form->lupa()->inModalPhase());
            QTest::keyClick(m_form->lupa(), Qt::Key_Right);
            QTest::keyClick(m_form->lupa(), Qt::Key_Right);
            QTest::keyClick(m_form->lupa(), Qt::Key_Return);
        });
    });
    move(QPoint(70, 90));
    click(QPoint(70, 90));
    QCOMPARE(phases, 1);
    QVERIFY(!m_form->lupa()->inModalPhase());
    QVERIFY(m_form->lupa()->isVisible());
    QCOMPARE(m_form->markers().Count(), 1);
    QCOMPARE(m_form->markers().point(0).x, 70.4);
    QCOMPARE(m_form->markers().point(0).y, 90.0);

    // Turning the magnifier off and on again brings the crosshair back.
    QTest::keyClick(m_form, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!m_form->lupa()->isVisible());
    QTest::keyClick(m_form, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(m_form->lupa()->shift(), QPointF(0, 0));
}

// The magnifier never hides the area it magnifies, and it keeps its place
// beside the measurement window when the window is moved.
void TestImageForm::magnifierFollowsWindowAndClearsArea()
{
    QVERIFY(openForm());
    move(QPoint(70, 90));
    QTest::keyClick(m_form, Qt::Key_L, Qt::ControlModifier);
    TLupa *lupa = m_form->lupa();
    QVERIFY(lupa->isVisible());
    const int a = lupa->area();
    const QRect area(m_form->crossImage()->mapToGlobal(QPoint(70 - a, 90 - a)), QSize(2 * a, 2 * a));
    lupa->move(area.center() - QPoint(lupa->width() / 2, lupa->height() / 2));
    QTRY_VERIFY(lupa->frameGeometry().intersects(area));
    move(QPoint(71, 90));
    move(QPoint(70, 90));
    QVERIFY(!lupa->frameGeometry().intersects(area));

    lupa->move(QPoint(100, 100));
    QTRY_COMPARE(lupa->pos(), QPoint(100, 100));
    m_form->move(m_form->pos() + QPoint(12, 7));
    QTRY_COMPARE(lupa->pos(), QPoint(112, 107));
}

void TestImageForm::saveWithOverwriteQuestionAndLoad()
{
    LocaleGuard locale(QChar(','));
    QVERIFY(openForm());
    m_form->markers().AddPoint(10, 20);
    m_form->markers().AddPoint(10.5, 20.25);
    m_form->markers().AddPoint(-1, -1);
    move(QPoint(300, 200));
    QTest::mouseClick(m_form->crossImage(), Qt::RightButton, {}, QPoint(300, 200));
    QVERIFY(m_form->unsavedPoints());

    const QString target = m_dir->filePath(QStringLiteral("points.crd"));
    m_dialogs->answerFile(target);
    QTest::keyClick(m_form, Qt::Key_S, Qt::ControlModifier);
    const ScriptedDialogs::Call save = m_dialogs->calls.first();
    QCOMPARE(save.kind, QStringLiteral("save"));
    QCOMPARE(save.proposedName, QStringLiteral("shot.crd"));
    QCOMPARE(save.directory, m_dir->path());
    QCOMPARE(save.filter, QStringLiteral("Файлы координат|*.crd|Все файлы|*.*"));
    QCOMPARE(TestSupport::readFile(target), QByteArray("10 ; 20\r\n10,5 ; 20,25\r\n-1 ; -1\r\n"));
    QVERIFY(!m_form->unsavedPoints());

    // Onto the existing file, answered No: nothing written, still unsaved.
    m_form->markers().AddPoint(1, 1);
    QTest::mouseClick(m_form->crossImage(), Qt::RightButton, {}, QPoint(300, 200));
    m_dialogs->clear();
    m_dialogs->answerFile(target);
    m_dialogs->answerMessage(DialogService::No);
    QTest::keyClick(m_form, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Предупреждение"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Файл points.crd уже существует. Перезаписать?"));
    QCOMPARE(m_dialogs->messages().first().buttons, DialogService::Yes | DialogService::No);
    QCOMPARE(TestSupport::readFile(target).count('\n'), 3);
    QVERIFY(m_form->unsavedPoints());

    // Loading over unsaved points asks first, as opening another image does;
    // Yes with the save dialog cancelled keeps the points and loads nothing.
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::Yes);
    m_dialogs->answerFile(QString());
    QTest::keyClick(m_form, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{QStringLiteral("Сохранить отмеченные точки?")});
    QCOMPARE(m_dialogs->calls.size(), 2);
    QCOMPARE(m_dialogs->calls.last().kind, QStringLiteral("save"));
    QCOMPARE(m_form->markers().Count(), 4);

    // Loading brings the three points back, none active; "Сохранить точки" untouched.
    m_form->markers().SetActive(0);
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::No);
    m_dialogs->answerFile(target);
    QTest::keyClick(m_form, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{QStringLiteral("Сохранить отмеченные точки?")});
    QCOMPARE(m_dialogs->calls.at(1).kind, QStringLiteral("open"));
    QCOMPARE(m_dialogs->calls.at(1).filter, QStringLiteral("Файлы координат (*.crd)|*.crd"));
    QCOMPARE(m_form->markers().Count(), 3);
    QCOMPARE(m_form->markers().point(1).x, 10.5);
    QCOMPARE(m_form->markers().point(1).y, 20.25);
    QCOMPARE(m_form->markers().ActiveIndex(), -1);
    QVERIFY(m_form->unsavedPoints());
}

void TestImageForm::loadStopsAtBadLine()
{
    LocaleGuard locale(QChar('.'));
    QVERIFY(openForm());
    m_form->markers().AddPoint(1, 1);
    const QString file = m_dir->filePath(QStringLiteral("bad.crd"));
    TestSupport::writeFile(file, "5 ; 6\r\n7.5 ; 8\r\n\r\n9 ; 10\r\n");
    // A file not read whole keeps the points as they were; the message names
    // the file and what is wrong.
    m_form->LoadPoints(file);
    QCOMPARE(m_dialogs->messageTexts(),
             QStringList{"Ошибка чтения файла!\n" + file + ", строка 3: нужны два числа через \";\""});
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(m_form->markers().Count(), 1);
    QCOMPARE(m_form->markers().point(0).x, 1.0);

    m_dialogs->clear();
    const QString missing = m_dir->filePath(QStringLiteral("missing.crd"));
    m_form->LoadPoints(missing);
    QCOMPARE(m_dialogs->messageTexts(), QStringList{"Ошибка чтения файла!\nФайл " + missing + " не найден."});
    QCOMPARE(m_form->markers().Count(), 1);

    // A file written under the other locale is read whole.
    m_dialogs->clear();
    TestSupport::writeFile(file, "5,5 ; 6\r\n7.5 ; 8\r\n");
    m_form->LoadPoints(file);
    QVERIFY(m_dialogs->calls.isEmpty());
    QCOMPARE(m_form->markers().Count(), 2);
    QCOMPARE(m_form->markers().point(0).x, 5.5);
    m_dialogs->clear();
    m_form->LoadPoints(QString());
    QVERIFY(m_dialogs->calls.isEmpty());
}

void TestImageForm::closingWithUnsavedPoints()
{
    QVERIFY(openForm());
    move(QPoint(30, 30));
    click(QPoint(30, 30));

    // Yes, then the save dialog cancelled: the window stays open with its points.
    m_dialogs->answerMessage(DialogService::Yes);
    QTest::keyClick(m_form, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(m_form);
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Сохранение"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Сохранить отмеченные точки?"));
    QCOMPARE(m_form->markers().Count(), 1);

    // Yes, a file that exists, overwrite refused: still open.
    const QString existing = m_dir->filePath(QStringLiteral("old.crd"));
    TestSupport::writeFile(existing, "1 ; 1\r\n");
    m_dialogs->answerMessage(DialogService::Yes);
    m_dialogs->answerFile(existing);
    m_dialogs->answerMessage(DialogService::No);
    QVERIFY(!m_form->close());
    QVERIFY(m_form);
    QCOMPARE(TestSupport::readFile(existing), QByteArray("1 ; 1\r\n"));

    // Yes and a saved file: the window closes and goes.
    const QString saved = m_dir->filePath(QStringLiteral("new.crd"));
    m_dialogs->answerMessage(DialogService::Yes);
    m_dialogs->answerFile(saved);
    QVERIFY(m_form->close());
    QTRY_VERIFY(!m_form);
    QCOMPARE(TestSupport::readFile(saved), QByteArray("30 ; 30\r\n"));
}

void TestImageForm::closingWritesSettings()
{
    QVERIFY(openForm());
    move(QPoint(30, 30));
    click(QPoint(30, 30));
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::No);
    QVERIFY(m_form->close());
    QTRY_VERIFY(!m_form);
    QCOMPARE(m_dialogs->messages().size(), 1);
    IniFile ini(m_dir->filePath(QStringLiteral("ZymKelvarin.ini")));
    QVERIFY(ini.load());
    QCOMPARE(ini.readInteger("ZymParameters", "LupaSize", 0), 20);
    QCOMPARE(ini.readInteger("ZymParameters", "LupaScale", 0), 5);
    QCOMPARE(ini.readString("ZymParameters", "FontName", {}), QStringLiteral("Tahoma"));
    QCOMPARE(ini.readString("ZymParameters", "WorkDir", {}), m_dir->path());
}

void TestImageForm::storedSettingsApplied()
{
    TestSupport::writeFile(m_dir->filePath(QStringLiteral("ZymKelvarin.ini")),
                           "[ZymParameters]\nLupaSize=17\nLupaScale=3\nCross_size=12\nActive_color=65280\n"
                           "FontName=DejaVu Sans\nFontSize=9\nFontStyleBold=0\nFontStyleItalic=1\n");
    auto form = newForm();
    QCOMPARE(form->lupa()->area(), 17);
    for (const char *item : {"N30x301", "N40x401", "N50x501", "N60x601", "N70x701", "N80x801"})
        QVERIFY2(!form->findChild<QAction *>(item)->isChecked(), item);
    QVERIFY(form->findChild<QAction *>("N3x1")->isChecked());
    QCOMPARE(form->markers().crossSize(), 12);
    QCOMPARE(form->markers().activeColor(), 65280);
    QFont font = form->crossImage()->indexFont();
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(font.pointSize(), 9);
    QVERIFY(!font.bold());
    QVERIFY(font.italic());

    TestSupport::writeFile(m_dir->filePath(QStringLiteral("ZymKelvarin.ini")),
                           "[ZymParameters]\nLupaSize=50\nLupaScale=9\nLupaVisible=1\n");
    auto second = newForm();
    QCOMPARE(second->lupa()->area(), 30);
    QVERIFY(second->findChild<QAction *>("N60x601")->isChecked());
    QVERIFY(second->findChild<QAction *>("N5x1")->isChecked());
    // Wanted, but not on the screen until the window is.
    QVERIFY(second->lupaShown());
    QVERIFY(!second->lupa()->isVisible());
}

void TestImageForm::shortcutsOnlyWhileEnabled()
{
    m_form = newForm().release();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QTest::keyClick(m_form, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(m_form, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m_form, Qt::Key_X);
    QVERIFY(m_dialogs->calls.isEmpty());
    m_form->N17Click();
    QVERIFY(m_dialogs->calls.isEmpty());
    QTest::keyClick(m_form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->calls.size(), 1);
    QCOMPARE(m_dialogs->calls.first().caption, QStringLiteral("Открыть изображение"));
}

void TestImageForm::workingDirectoryChosen()
{
    const QString chosen = m_dir->filePath(QStringLiteral("results"));
    QVERIFY(QDir().mkpath(chosen));
    TDirForm chooser;
    TImageForm::Environment environment;
    environment.startDirectory = m_dir->path();
    environment.workDirectory = m_dir->filePath(QStringLiteral("no-such-dir"));
    environment.settingsPath = m_dir->filePath(QStringLiteral("ZymKelvarin.ini"));
    environment.dirForm = &chooser;
    TImageForm form(environment);
    form.setAttribute(Qt::WA_DeleteOnClose, false);

    QString startedIn, caption;
    QTimer::singleShot(0, &chooser, [&] {
        startedIn = chooser.directory();
        caption = chooser.windowTitle();
        chooser.setDirectory(chosen);
        chooser.Button1Click();
    });
    form.N6Click();
    QCOMPARE(caption, QStringLiteral("Выбор рабочей директории"));
    QCOMPARE(startedIn, m_dir->path()); // the working directory is missing: the start directory
    QCOMPARE(form.workDirectory(), chosen);

    QTimer::singleShot(0, &chooser, [&] { chooser.Button2Click(); });
    form.N6Click();
    QCOMPARE(form.workDirectory(), chosen);

    QVERIFY(form.OpenImage(m_imagePath));
    form.markers().AddPoint(1, 2);
    form.N4Click();
    QCOMPARE(m_dialogs->calls.last().directory, chosen);
}

void TestImageForm::indexFontAndMarkerColours()
{
    QVERIFY(openForm());
    move(QPoint(50, 50));
    click(QPoint(50, 50));
    QFont chosen(QStringLiteral("DejaVu Serif"), 16);
    chosen.setItalic(true);
    m_dialogs->answerFont(true, chosen);
    QTest::keyClick(m_form, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_form->crossImage()->indexFont().family(), QStringLiteral("DejaVu Serif"));
    QVERIFY(m_form->crossImage()->indexFont().italic());
    m_dialogs->answerFont(false);
    QTest::keyClick(m_form, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_form->crossImage()->indexFont().pointSize(), 16);

    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<TColorSet *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->ComboBox2->currentData().toString(), QStringLiteral("Red"));
        QCOMPARE(dialog->ComboBox1->currentData().toString(), QStringLiteral("Blue"));
        const int lime = dialog->ComboBox2->findData(QStringLiteral("Lime green"));
        dialog->ComboBox2->setCurrentIndex(lime);
        dialog->ComboBox2Change(lime);
        dialog->TrackBar1->setValue(20);
        dialog->OkBtn->click();
    });
    QTest::keyClick(m_form, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(m_form->markers().activeColor(), 65280);
    QCOMPARE(m_form->markers().passiveColor(), 16711680);
    QCOMPARE(m_form->markers().crossSize(), 20);
    QCoreApplication::processEvents();
    const QImage shown = m_form->crossImage()->parentWidget()->grab().toImage();
    QCOMPARE(shown.pixelColor(30, 50), QColor(0, 255, 0)); // the left arm is 20 pixels now

    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<TColorSet *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->TrackBar1->setValue(8);
        dialog->CancelBtn->click();
    });
    QTest::keyClick(m_form, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(m_form->markers().crossSize(), 20);
}

void TestImageForm::editsRepaintOnlyChangedRegions()
{
    QVERIFY(openForm());
    for (int i = 0; i < 40; ++i)
        m_form->markers().AddPoint(10 + (i % 8) * 38, 15 + (i / 8) * 45);
    m_form->markers().DrawAll();
    // Let the full drawing of the 40 markers reach the screen first.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
    PaintSpy spy;
    m_form->crossImage()->installEventFilter(&spy);

    move(QPoint(300, 230));
    click(QPoint(300, 230));
    const QRect newCross = m_form->crossImage()->crossRect(40);
    QTRY_VERIFY(spy.painted.contains(newCross));
    QVERIFY(spy.painted.contains(m_form->crossImage()->labelRect(40) & m_form->crossImage()->rect()));
    // Far less than the overlay: only the new marker.
    QVERIFY(!spy.painted.contains(QRect(10, 15, 20, 20)));

    spy.painted = QRegion();
    spy.paints = 0;
    const QRect lastLabel = m_form->crossImage()->labelRect(39);
    move(QPoint(10 + 7 * 38, 15 + 4 * 45));
    click(QPoint(10 + 7 * 38, 15 + 4 * 45), Qt::ControlModifier); // point 40
    QTRY_VERIFY(spy.painted.contains(lastLabel));
    QVERIFY(!spy.painted.contains(m_form->crossImage()->crossRect(0)));
    QCOMPARE(m_form->markers().Count(), 40);
}

void TestImageForm::magnifierCopiesPhotographOnly()
{
    QVERIFY(openForm());
    m_form->markers().AddPoint(5, 5);
    m_form->markers().DrawAll();
    TLupa *lupa = m_form->lupa();
    lupa->GrabArea(0, 0);
    const QImage picture = lupa->picture();
    QCOMPARE(picture.size(), QSize(40, 40));
    const QImage photo = sampleImage(320, 240);
    // Outside the image: white; inside: the photograph, never a marker.
    QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(picture.pixel(19, 39), qRgb(255, 255, 255));
    QCOMPARE(picture.pixel(39, 19), qRgb(255, 255, 255));
    for (int y = 20; y < 40; ++y)
        for (int x = 20; x < 40; ++x)
            QCOMPARE(picture.pixel(x, y), photo.pixel(x - 20, y - 20));

    m_form->areaClick(15);
    QVERIFY(m_form->findChild<QAction *>("N30x301")->isChecked());
    QVERIFY(!m_form->findChild<QAction *>("N40x401")->isChecked());
    QCOMPARE(lupa->size(), QSize(150, 150));
    m_form->zoomClick(8);
    QVERIFY(m_form->findChild<QAction *>("N8x1")->isChecked());
    QCOMPARE(lupa->size(), QSize(240, 240));
}

void TestImageForm::twoWindowsAreIndependent()
{
    auto first = newForm();
    auto second = newForm();
    QVERIFY(first->lupa() != second->lupa());
    QVERIFY(first->OpenImage(m_imagePath));
    QVERIFY(second->OpenImage(m_imagePath));
    first->markers().AddPoint(1, 1);
    QCOMPARE(second->markers().Count(), 0);
    first->zoomClick(2);
    QCOMPARE(second->lupa()->zoom(), 5);
}

void TestImageForm::openingAnotherImage()
{
    QVERIFY(openForm());
    move(QPoint(30, 30));
    click(QPoint(30, 30));
    const QString second = m_dir->filePath(QStringLiteral("second.bmp"));
    QVERIFY(sampleImage(200, 100).save(second, "BMP"));

    // Yes, then the save dialog cancelled: the points stay and no image is asked for.
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::Yes);
    QTest::keyClick(m_form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->calls.size(), 2);
    QCOMPARE(m_dialogs->calls.at(0).text, QStringLiteral("Сохранить отмеченные точки?"));
    QCOMPARE(m_dialogs->calls.at(1).kind, QStringLiteral("save"));
    QCOMPARE(m_form->markers().Count(), 1);

    // No: the new image replaces the points; "Сохранить точки" stays enabled.
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::No);
    m_dialogs->answerFile(second);
    QTest::keyClick(m_form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->calls.at(1).kind, QStringLiteral("open"));
    QCOMPARE(m_dialogs->calls.at(1).directory, m_imagePath);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Изображение: second.bmp"));
    QCOMPARE(m_form->markers().Count(), 0);
    QCOMPARE(m_form->markers().ActiveIndex(), -1);
    QVERIFY(m_form->unsavedPoints());
    m_dialogs->clear();
    m_form->N4Click();
    QCOMPARE(m_dialogs->calls.first().proposedName, QStringLiteral("second.crd"));

    // Nothing unsaved: no question at all.
    const QString saved = m_dir->filePath(QStringLiteral("s.crd"));
    m_dialogs->answerFile(saved);
    m_form->N4Click();
    QVERIFY(!m_form->unsavedPoints());
    m_dialogs->clear();
    QTest::keyClick(m_form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_dialogs->calls.size(), 1);
    QCOMPARE(m_dialogs->calls.first().kind, QStringLiteral("open"));
}

void TestImageForm::handOffSequence()
{
    LocaleGuard locale(QChar(','));
    TZoneInfo first(0, 0, 50, 50);
    first.points = {VT_Point(10, 11), VT_Point(12.5, 13.75)};
    TZoneInfo lost(60, 60, 90, 90);
    lost.points = {VT_Point(70, 71), VT_Point(-1, -1)};
    TZoneInfo none(100, 100, 120, 120);

    // The main window's sequence.
    m_form = newForm().release();
    QVERIFY(m_form->OpenImage(m_imagePath));
    const QString file = HandOffFile::write({first, none, lost}, m_imagePath);
    QCOMPARE(file, m_dir->filePath(QStringLiteral("shot$tmp.crd")));
    m_form->LoadPoints(file);
    m_form->show();
    QVERIFY(QFile::remove(file));

    QVERIFY(m_dialogs->calls.isEmpty());
    QCOMPARE(m_form->markers().Count(), 2);
    QCOMPARE(m_form->markers().point(0).x, 12.5);
    QCOMPARE(m_form->markers().point(0).y, 13.75);
    QCOMPARE(m_form->markers().point(1).x, -1.0);
    QCOMPARE(m_form->markers().ActiveIndex(), -1);
    QVERIFY(!m_form->unsavedPoints());

    // No image to show: the open dialog is cancelled and the window is never shown.
    auto hidden = newForm();
    m_dialogs->clear();
    QVERIFY(!hidden->OpenImage(QString()));
    QVERIFY(!hidden->isVisible());
    QVERIFY(!hidden->lupa()->isVisible());
}

void TestImageForm::magnifierKeysAndDragging()
{
    QVERIFY(openForm());
    TLupa *lupa = m_form->lupa();
    m_form->N12Click();
    QVERIFY(QTest::qWaitForWindowExposed(lupa));
    // The right edge at the screen's right edge, the top 50 pixels down.
    const QRect screen = lupa->screen()->geometry();
    QCOMPARE(lupa->x() + lupa->width(), screen.right() + 1);
    QCOMPARE(lupa->y(), screen.top() + 50);

    QTest::keyClick(lupa, Qt::Key_Left);
    QTest::keyClick(lupa, Qt::Key_Up);
    QTest::keyClick(lupa, Qt::Key_Up);
    QCOMPARE(lupa->shift(), QPointF(-0.2, -0.4));
    QTest::keyClick(lupa, Qt::Key_Down);
    QCOMPARE(lupa->shift(), QPointF(-0.2, -0.2));
    QTest::keyClick(lupa, Qt::Key_Return); // not modal: nothing
    QTest::keyClick(lupa, Qt::Key_Clear);
    QCOMPARE(lupa->shift(), QPointF(0, 0));

    // Dragged by its frame: the window follows the mouse.
    const QPoint before = lupa->pos();
    QTest::mousePress(lupa, Qt::LeftButton, {}, QPoint(25, 5));
    QMouseEvent drag(QEvent::MouseMove, QPointF(5, 15), lupa->mapToGlobal(QPointF(5, 15)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(lupa, &drag);
    QTest::mouseRelease(lupa, Qt::LeftButton, {}, QPoint(5, 15));
    QCOMPARE(lupa->pos(), before + QPoint(-20, 10));
    QCOMPARE(lupa->size(), QSize(200, 200));
}

void TestImageForm::settingsAndPointsFilesThatFail()
{
    // A settings "file" that is a directory can be neither read nor written.
    const QString settings = m_dir->filePath(QStringLiteral("settings-dir"));
    QVERIFY(QDir().mkpath(settings));
    TImageForm::Environment environment;
    environment.startDirectory = m_dir->path();
    environment.workDirectory = m_dir->path();
    environment.settingsPath = settings;
    m_form = new TImageForm(environment);
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Ошибка"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Ошибка чтения ini-файла!"));
    // Nothing read: the magnifier as it was built, 60x60, 5x and on.
    QCOMPARE(m_form->lupa()->area(), 30);
    QVERIFY(m_form->findChild<QAction *>("N60x601")->isChecked());
    QVERIFY(m_form->findChild<QAction *>("N5x1")->isChecked());
    QVERIFY(m_form->lupaShown());
    QVERIFY(m_form->findChild<QAction *>("N12")->isChecked());
    QCOMPARE(m_form->markers().crossSize(), 8);
    QVERIFY(m_form->OpenImage(m_imagePath));
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->N12Click(); // off, so that a click places a point at once

    // A points file that cannot be written: the error with the program's
    // title, the points stay unsaved.
    move(QPoint(30, 30));
    click(QPoint(30, 30));
    m_dialogs->clear();
    m_dialogs->answerFile(m_dir->filePath(QStringLiteral("missing/points.crd")));
    QTest::keyClick(m_form, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Kelvarin2"));
    QVERIFY(m_dialogs->messages().first().text.contains(QStringLiteral("points.crd")));
    QVERIFY(m_form->unsavedPoints());

    // Closing: the settings cannot be written, then the question, answered No.
    m_dialogs->clear();
    m_dialogs->answerMessage(DialogService::Ok);
    m_dialogs->answerMessage(DialogService::No);
    QVERIFY(m_form->close());
    QCOMPARE(m_dialogs->messageTexts(),
             (QStringList{QStringLiteral("Ошибка записи ini-файла!"), QStringLiteral("Сохранить отмеченные точки?")}));
    QCOMPARE(m_dialogs->messages().first().caption, QStringLiteral("Ошибка"));
    QTRY_VERIFY(!m_form);
}

// With no settings file the index font is Tahoma 12 bold. The real font
// dialog opens on it (on the nearest installed family when Tahoma is not
// installed), offers only name, size, bold and italic, and OK without a
// change leaves the font exactly as it was; a change by keys is taken.
void TestImageForm::fontDialogKeepsTheFont()
{
    QVERIFY(openForm());
    m_dialogs.reset(); // the program's own dialogs from here on
    const QFont before = m_form->crossImage()->indexFont();
    QCOMPARE(before.family(), QStringLiteral("Tahoma"));
    bool seen = false;
    QTimer::singleShot(0, this, [&seen] {
        auto *dialog = qobject_cast<FontChoiceDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->findChildren<QCheckBox *>().size(), 2);
        QVERIFY(dialog->findChild<QCheckBox *>(QStringLiteral("fontBold"))->isChecked());
        QVERIFY(!dialog->findChild<QCheckBox *>(QStringLiteral("fontItalic"))->isChecked());
        QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("fontSize"))->value(), 12);
        const QString shown = dialog->findChild<QFontComboBox *>(QStringLiteral("fontFamily"))->currentFont().family();
        QCOMPARE(shown, QFontInfo(QFont(QStringLiteral("Tahoma"))).family());
        seen = true;
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(m_form, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(seen);
    QCOMPARE(m_form->crossImage()->indexFont(), before);

    // Bold unticked with the space bar, then OK: a regular font of the same size.
    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<FontChoiceDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *bold = dialog->findChild<QCheckBox *>(QStringLiteral("fontBold"));
        bold->setFocus();
        QTest::keyClick(bold, Qt::Key_Space);
        QVERIFY(!bold->isChecked());
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(m_form, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!m_form->crossImage()->indexFont().bold());
    QCOMPARE(m_form->crossImage()->indexFont().pointSize(), 12);

    // Esc cancels: nothing changes.
    const QFont regular = m_form->crossImage()->indexFont();
    QTimer::singleShot(0, this, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::keyClick(m_form, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_form->crossImage()->indexFont(), regular);
}

// At 8x with the largest area the magnifier is 640 pixels wide; grown at its
// place near the right edge, or dragged past an edge, it stays on its screen.
void TestImageForm::magnifierStaysOnScreen()
{
    QVERIFY(openForm());
    TLupa *lupa = m_form->lupa();
    m_form->N12Click();
    QVERIFY(QTest::qWaitForWindowExposed(lupa));
    const QRect screen = lupa->screen()->geometry();
    m_form->findChild<QAction *>(QStringLiteral("N8x1"))->trigger();
    m_form->findChild<QAction *>(QStringLiteral("N80x801"))->trigger();
    QCOMPARE(lupa->size(), QSize(640, 640));
    QVERIFY2(screen.contains(lupa->geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(lupa->x()).arg(lupa->y()).arg(lupa->width()).arg(lupa->height())));
    QCOMPARE(lupa->x() + lupa->width(), screen.right() + 1);

    // Dragged 300 pixels further right: it stops at the edge.
    QTest::mousePress(lupa, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent drag(QEvent::MouseMove, QPointF(305, 5), lupa->mapToGlobal(QPointF(305, 5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(lupa, &drag);
    QTest::mouseRelease(lupa, Qt::LeftButton, {}, QPoint(305, 5));
    QVERIFY(screen.contains(lupa->geometry()));
}

void TestImageForm::magnifierModalPhaseSaysWhatItWaitsFor_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("points");
    QTest::newRow("Enter places the point") << int(Qt::Key_Return) << 2;
    QTest::newRow("Esc cancels") << int(Qt::Key_Escape) << 1;
}

// While the magnifier waits, it and the status line say which keys end the
// wait; Esc places nothing and leaves the active point as it was.
void TestImageForm::magnifierModalPhaseSaysWhatItWaitsFor()
{
    QFETCH(int, key);
    QFETCH(int, points);
    QVERIFY(openForm());
    move(QPoint(30, 30));
    click(QPoint(30, 30));
    QTest::keyClick(m_form, Qt::Key_L, Qt::ControlModifier);
    const QString hint = QStringLiteral("Enter — поставить точку, Esc — отменить");
    QString statusInPhase;
    QImage lupaInPhase;
    connect(m_form->lupa(), &TLupa::modalPhaseStarted, this, [&, key] {
        QTimer::singleShot(0, this, [&, key] {
            statusInPhase = m_form->statusText(3);
            lupaInPhase = m_form->lupa()->grab().toImage();
            QTest::keyClick(m_form->lupa(), Qt::Key(key));
        });
    });
    move(QPoint(200, 150));
    click(QPoint(200, 150));
    QCOMPARE(statusInPhase, hint);
    QCOMPARE(m_form->markers().Count(), points);
    QCOMPARE(m_form->markers().ActiveIndex(), points - 1);
    QVERIFY(m_form->statusText(3) != hint);
    QVERIFY(!m_form->lupa()->inModalPhase());
    // The hint is drawn in black near the bottom of the magnifier.
    QVERIFY(!lupaInPhase.isNull());
    const int s = lupaInPhase.height();
    bool black = false;
    for (int y = s * 3 / 4; y < s && !black; ++y)
        for (int x = 0; x < lupaInPhase.width() && !black; ++x)
            black = lupaInPhase.pixelColor(x, y) == QColor(Qt::black);
    QVERIFY(black);
}

void TestImageForm::magnifierCrosshairOnDarkAndBright_data()
{
    QTest::addColumn<QColor>("background");
    QTest::newRow("black image") << QColor(Qt::black);
    QTest::newRow("white image") << QColor(Qt::white);
    QTest::newRow("blue image") << QColor(0, 0, 255);
}

// The crosshair is a blue line inside a white band: on every image one of
// the two differs from the photograph around it.
void TestImageForm::magnifierCrosshairOnDarkAndBright()
{
    QFETCH(QColor, background);
    QImage plain(200, 200, QImage::Format_RGB32);
    plain.fill(background);
    QVERIFY(plain.save(m_imagePath, "BMP"));
    QVERIFY(openForm());
    TLupa *lupa = m_form->lupa();
    m_form->N12Click();
    move(QPoint(100, 100));
    const QImage shown = lupa->grab().toImage();
    const int column = lupa->lupaGeometry().crosshairColumn();
    const int y = shown.height() * 3 / 4;
    const QColor line = shown.pixelColor(column, y);
    const QColor band = shown.pixelColor(column + 1, y);
    QCOMPARE(line, QColor(0, 0, 255));
    QCOMPARE(band, QColor(Qt::white));
    QVERIFY(line != background || band != background);
    // The zoom label has a white outline too.
    const QRect label(lupa->lupaGeometry().labelPosition(), QSize(40, 24));
    bool white = false, blue = false;
    for (int ly = label.top(); ly <= label.bottom(); ++ly)
        for (int lx = label.left(); lx <= label.right(); ++lx) {
            white |= shown.pixelColor(lx, ly) == QColor(Qt::white);
            blue |= shown.pixelColor(lx, ly) == QColor(0, 0, 255);
        }
    QVERIFY(white && blue);
}

// After dragging the magnifier the measurement window has the keyboard
// again, so its shortcuts work.
void TestImageForm::draggedMagnifierGivesKeysBack()
{
    QVERIFY(openForm());
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    TLupa *lupa = m_form->lupa();
    m_form->N12Click();
    QVERIFY(QTest::qWaitForWindowExposed(lupa));
    lupa->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(lupa));
    QTest::mousePress(lupa, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent drag(QEvent::MouseMove, QPointF(-15, 5), lupa->mapToGlobal(QPointF(-15, 5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(lupa, &drag);
    QTest::mouseRelease(lupa, Qt::LeftButton, {}, QPoint(-15, 5));
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activeWindow(), m_form.data());
    // Ctrl+L now reaches the window: the magnifier goes off.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!m_form->lupaShown());
}

// A point the detection did not find (-1, -1) keeps its number but shows
// neither a cross nor a label in the image's corner.
void TestImageForm::pointNotFoundIsNotDrawn()
{
    QVERIFY(openForm());
    m_form->markers().AddPoint(-1, -1);
    m_form->markers().AddPoint(60, 60);
    m_form->markers().SetActive(0);
    m_form->markers().DrawAll();
    QCoreApplication::processEvents();
    const QImage shown = m_form->crossImage()->parentWidget()->grab().toImage();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const QColor c = shown.pixelColor(x, y);
            QVERIFY2(c != QColor(255, 0, 0) && c != QColor(0, 0, 255), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    QCOMPARE(shown.pixelColor(55, 60), QColor(0, 0, 255)); // the found point is drawn
}

// A picture of the whole screen for a person to look at: the measurement
// window on a bright image and the magnifier at 8x near the right edge, in its
// modal phase.
void TestImageForm::screenshot()
{
    const QString shots = qEnvironmentVariable("KELVARIN_SHOTS");
    if (shots.isEmpty())
        QSKIP("KELVARIN_SHOTS names the directory for the pictures");
    QImage bright(900, 600, QImage::Format_RGB32);
    bright.fill(QColor(245, 245, 240));
    {
        QPainter painter(&bright);
        painter.setPen(QPen(QColor(40, 40, 40), 3));
        for (int x = 50; x < 900; x += 120)
            painter.drawEllipse(QPoint(x, 300), 12, 12);
    }
    QVERIFY(bright.save(m_imagePath, "BMP"));
    QVERIFY(openForm());
    m_form->move(40, 40);
    m_form->resize(1000, 700);
    move(QPoint(290, 300));
    click(QPoint(290, 300));
    m_form->N12Click();
    m_form->findChild<QAction *>(QStringLiteral("N80x801"))->trigger();
    m_form->findChild<QAction *>(QStringLiteral("N8x1"))->trigger();
    QTest::qWait(300);
    connect(m_form->lupa(), &TLupa::modalPhaseStarted, this, [this, shots] {
        QTimer::singleShot(400, this, [this, shots] {
            m_form->screen()->grabWindow(0).save(shots + QLatin1String("/magnifier-8x.png"));
            QTest::keyClick(m_form->lupa(), Qt::Key_Escape);
        });
    });
    // The modal phase as a click starts it, over the second target.
    m_form->lupa()->GrabArea(410, 300);
    m_form->lupa()->runModal();
    QVERIFY(QFile::exists(shots + QLatin1String("/magnifier-8x.png")));
}

QTEST_MAIN(TestImageForm)
#include "tst_imageform.moc"

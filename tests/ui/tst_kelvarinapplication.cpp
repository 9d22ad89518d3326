// The application object: an error escaping an event handler is shown with
// the application title and a stop icon, and the program goes on; Qt's own
// buttons speak Russian.

#include "KelvarinApplication.h"
#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "ScriptedDialogs.h"

#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTest>

#include <stdexcept>

namespace {

// Throws from its event handler whatever it was told to.
class Thrower : public QObject
{
public:
    enum Kind { Kelvarin, Standard };
    Kind kind = Kelvarin;
    int handled = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        ++handled;
        if (kind == Kelvarin)
            throw KelvarinError(QStringLiteral("Файл поврежден."));
        throw std::runtime_error("plain failure");
    }
};

} // namespace

class TestKelvarinApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escapedErrorIsShown_data();
    void escapedErrorIsShown();
    void standardButtonsInRussian();
    void applicationTitle();
    void russianInterfaceUnderCLocale();
};

void TestKelvarinApplication::escapedErrorIsShown_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("program error") << int(Thrower::Kelvarin) << QStringLiteral("Файл поврежден.");
    QTest::newRow("standard exception") << int(Thrower::Standard) << QStringLiteral("plain failure");
}

void TestKelvarinApplication::escapedErrorIsShown()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    ScriptedDialogs dialogs;
    Thrower thrower;
    thrower.kind = Thrower::Kind(kind);
    // Through the event loop, as a handler of the running program would be reached.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(thrower.handled, 2);
    QCOMPARE(dialogs.messages().size(), 2);
    const ScriptedDialogs::Call message = dialogs.messages().at(0);
    QCOMPARE(message.caption, QStringLiteral("Kelvarin2"));
    QCOMPARE(message.text, text);
    QCOMPARE(message.icon, DialogService::Icon::Error);
    QCOMPARE(message.buttons, DialogService::Buttons(DialogService::Ok));
}

void TestKelvarinApplication::standardButtonsInRussian()
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1String("/qtbase_ru.qm")))
        QSKIP("Qt's Russian translation (qt6-translations-l10n) is not installed");
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
    // Access-key marks aside.
    auto text = [&](QDialogButtonBox::StandardButton button) { return box.button(button)->text().remove(QLatin1Char('&')); };
    QCOMPARE(text(QDialogButtonBox::Cancel), QStringLiteral("Отмена"));
    QCOMPARE(text(QDialogButtonBox::Yes), QStringLiteral("Да"));
    QCOMPARE(text(QDialogButtonBox::No), QStringLiteral("Нет"));
}

void TestKelvarinApplication::applicationTitle()
{
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Kelvarin2"));
}

// The test runs under LC_ALL=C: the interface still shows Russian dates and
// file type names, while the files keep the system locale's numbers.
void TestKelvarinApplication::russianInterfaceUnderCLocale()
{
    QCOMPARE(QLocale().language(), QLocale::Russian);
    QVERIFY(QLocale().toString(QDate(2026, 12, 9), QLocale::LongFormat).contains(QStringLiteral("декабря")));
    QCOMPARE(QLocale().toString(QDate(2026, 12, 9), QLocale::ShortFormat), QStringLiteral("09.12.2026"));
    if (QLocale::system().language() == QLocale::C)
        QCOMPARE(LocaleFormat::decimalSeparator(), QLatin1Char('.'));
    const QString folder = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
    if (folder == QLatin1String("Folder"))
        QSKIP("the shared MIME database has no Russian names here");
    QCOMPARE(folder, QStringLiteral("Папка"));
}

// The test runs under the program's own application object.
int main(int argc, char *argv[])
{
    KelvarinApplication app(argc, argv);
    TestKelvarinApplication test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kelvarinapplication.moc"

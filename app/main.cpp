// The desktop program: the application object, the main window and the
// dialogs created once at start; or, given a file, the table editor on it.

#include "EditorFileArguments.h"
#include "KelvarinApplication.h"
#include "KelvarinError.h"
#include "TDirForm.h"
#include "TKelvarinAboutBox.h"
#include "TMainForm.h"
#include "TPropertysForm.h"
#include "TRedForm.h"
#include "TZymAboutBox.h"

#include <QTextStream>

#include <memory>

// --help, --version and the manual page: answered before the application
// object exists, so they need no display. False when none was asked for.
static bool showRequested(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    const auto request = EditorFileArguments::parse(arguments, &error);
    if (!request || request->shown == EditorFileArguments::Shown::None)
        return false;
    QTextStream out(stdout);
    if (request->shown == EditorFileArguments::Shown::Help)
        out << EditorFileArguments::usage();
    else if (request->shown == EditorFileArguments::Shown::Manual)
        out << EditorFileArguments::manPage();
    else
        out << "kelvarin2 " << KELVARIN_VERSION << '\n';
    return true;
}

// `kelvarin2 FILE`: the table editor alone, without the splash and the main
// window. 0 once it has closed; 1 when the file could not be read (the
// editor has said why); 2 for a command line it does not understand.
static int runEditor(const EditorFileArguments::Request &request, const QString &error)
{
    if (request.mode == 0) {
        QTextStream(stderr) << "kelvarin2: " << error << "\n\n" << EditorFileArguments::usage();
        return 2;
    }
    auto *editor = new TRedForm;
    if (!editor->OpenTable(request.file, request.mode))
        return 1;
    editor->showModal();
    return 0;
}

int main(int argc, char *argv[])
{
    if (showRequested(argc, argv))
        return 0;
    // Qt's own options (-platform, -style) are taken out by the application object.
    KelvarinApplication app(argc, argv);
    QString error;
    const std::optional<EditorFileArguments::Request> request =
        EditorFileArguments::parse(QCoreApplication::arguments().mid(1), &error);
    if (request)
        return runEditor(*request, error);
    // An error while the windows are created is shown like any other; the
    // program cannot go on without them.
    try {
        TMainForm mainForm;
        // Created hidden once and reused: the settings dialog, the directory
        // chooser and the about boxes.
        const auto propertysForm = std::make_unique<TPropertysForm>(mainForm);
        const auto dirForm = std::make_unique<TDirForm>();
        const auto kelvarinAboutBox = std::make_unique<TKelvarinAboutBox>(&mainForm);
        const auto zymAboutBox = std::make_unique<TZymAboutBox>();
        mainForm.setDialogs(kelvarinAboutBox.get(), dirForm.get(), zymAboutBox.get(), propertysForm.get());
        // Closing the main window ends the program, also while measurement
        // windows are open (they were closed first).
        QObject::connect(&mainForm, &TMainForm::windowClosed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        mainForm.show();
        return app.exec();
    } catch (const KelvarinError &error) {
        KelvarinApplication::showError(error.message());
    } catch (const std::exception &error) {
        KelvarinApplication::showError(QString::fromLocal8Bit(error.what()));
    }
    return 1;
}

// The desktop program: the application object, the main window and the
// dialogs created once at start.

#include "KelvarinApplication.h"
#include "KelvarinError.h"
#include "TDirForm.h"
#include "TKelvarinAboutBox.h"
#include "TMainForm.h"
#include "TPropertysForm.h"
#include "TZymAboutBox.h"

#include <memory>

int main(int argc, char *argv[])
{
    KelvarinApplication app(argc, argv);
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

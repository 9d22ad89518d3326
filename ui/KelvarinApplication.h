#pragma once

#include <QApplication>
#include <QLocale>

// The application object of the desktop program. An error that escapes an
// event handler is caught here and shown with the application title as caption
// and a stop icon; the program goes on. Qt's own dialogs and standard buttons
// are translated into Russian, the language of the rest of the interface, and
// the dates and times the widgets show are Russian under any system locale.
class KelvarinApplication : public QApplication
{
    Q_OBJECT

public:
    KelvarinApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Loads Qt's Russian translation; false when it is not installed (the
    // standard buttons then stay in English).
    static bool installRussianTranslation(QCoreApplication *app);

    // The locale of the interface's texts: Russian dates, times and names
    // whatever the system locale, which the files keep following (through
    // LocaleFormat). Made the default locale by the application object.
    static QLocale interfaceLocale();

    // Shows an error that ended an operation: application title, stop icon.
    static void showError(const QString &text);
};

#pragma once

#include <QString>

class QWidget;
class QFont;

// Every message box, input box and file dialog of the program goes through this
// interface, so that tests can answer them and check their exact captions and
// texts. The windows call DialogService::instance(); tests install their own.
//
// File dialog filters are given as the program states them, description and
// pattern separated by bars: "Zone Files|*.zon|All Files|*.*".
class DialogService
{
public:
    enum Button { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };
    Q_DECLARE_FLAGS(Buttons, Button)
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~DialogService() = default;

    // Shows a modal message box and returns the button that closed it.
    virtual Button message(QWidget *parent, const QString &caption, const QString &text,
                           Buttons buttons = Ok, Icon icon = Icon::None) = 0;

    // One-line input box; false when cancelled.
    virtual bool inputText(QWidget *parent, const QString &caption, const QString &prompt,
                           QString *value) = 0;

    // Empty result when cancelled. defaultSuffix has no dot ("crd").
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &proposedName, const QString &filter,
                                 const QString &defaultSuffix) = 0;
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &filter) = 0;

    // Font dialog; false when cancelled.
    virtual bool chooseFont(QWidget *parent, QFont *font) = 0;

    // A plain notice: the application title as caption, one OK button.
    void notice(QWidget *parent, const QString &text);
    // An error that escaped an operation: the application title, a stop icon.
    void error(QWidget *parent, const QString &text);

    static DialogService &instance();
    // Installs a service (tests); nullptr restores the real dialogs.
    static void setInstance(DialogService *service);

    // The application title used as caption of plain notices and errors.
    static QString applicationTitle();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DialogService::Buttons)

#pragma once

#include "DialogService.h"

class QMessageBox;

// The real dialogs: QMessageBox, QInputDialog, QFileDialog and the program's
// font dialog.
class QtDialogService : public DialogService
{
public:
    Button message(QWidget *parent, const QString &caption, const QString &text,
                   Buttons buttons, Icon icon) override;
    bool inputText(QWidget *parent, const QString &caption, const QString &prompt,
                   QString *value) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &proposedName, const QString &filter,
                         const QString &defaultSuffix) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &filter) override;
    bool chooseFont(QWidget *parent, QFont *font) override;

    // "Zone Files|*.zon|All Files|*.*" becomes "Zone Files (*.zon);;All Files (*)";
    // "Coordinate Files (*.crd)|*.crd" stays "Coordinate Files (*.crd)".
    static QString qtFilter(const QString &barFilter);

private:
    static void keepLinesWhole(QMessageBox &box, const QString &text);
};

#include "QtDialogService.h"

#include "FileSizeModel.h"
#include "FontChoiceDialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QScreen>
#include <QMessageBox>

DialogService::Button QtDialogService::message(QWidget *parent, const QString &caption,
                                               const QString &text, Buttons buttons, Icon icon)
{
    static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                              QMessageBox::Warning, QMessageBox::Critical,
                                              QMessageBox::Question};
    QMessageBox box(icons[int(icon)], caption, text, QMessageBox::NoButton, parent);
    // Texts name files and directories; a name that looks like markup is shown as it stands.
    box.setTextFormat(Qt::PlainText);
    keepLinesWhole(box, text);
    const std::pair<Button, QMessageBox::StandardButton> map[] = {
        {Ok, QMessageBox::Ok}, {Cancel, QMessageBox::Cancel},
        {Yes, QMessageBox::Yes}, {No, QMessageBox::No}};
    for (const auto &[ours, theirs] : map) {
        if (buttons.testFlag(ours))
            box.addButton(theirs);
    }
    if (buttons == NoButton)
        box.addButton(QMessageBox::Ok);
    const int pressed = box.exec();
    for (const auto &[ours, theirs] : map) {
        if (pressed == theirs)
            return ours;
    }
    // Closed by Esc or the close box: the "negative" button of the set.
    return buttons.testFlag(Cancel) ? Cancel : buttons.testFlag(No) ? No : Ok;
}

// A message box wraps a text wider than a fixed share of the screen, so one
// line of figures such as the step mode's "... Площадь: 1724" broke in two.
// Lines that fit on the screen are kept whole; longer ones still wrap.
void QtDialogService::keepLinesWhole(QMessageBox &box, const QString &text)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    const QScreen *screen = box.screen();
    const int room = screen ? screen->availableGeometry().width() * 3 / 4 : 1000;
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    if (widest <= room) {
        label->setWordWrap(false);
        // A few pixels to spare: a wrapping label breaks a line of exactly its width.
        label->setMinimumWidth(widest + label->fontMetrics().averageCharWidth());
    }
}

bool QtDialogService::inputText(QWidget *parent, const QString &caption, const QString &prompt,
                                QString *value)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, *value, &ok);
    if (ok)
        *value = text;
    return ok;
}

// Qt's own dialog (the platform's would not take the model) listing sizes in
// the interface's language.
static void showSizesInInterfaceLanguage(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setProxyModel(new FileSizeModel(&dialog));
}

QString QtDialogService::saveFileName(QWidget *parent, const QString &caption,
                                      const QString &directory, const QString &proposedName,
                                      const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dialog(parent, caption, directory, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // Replacing is confirmed (or not) by the callers themselves.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    showSizesInInterfaceLanguage(dialog);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogService::openFileName(QWidget *parent, const QString &caption,
                                      const QString &directory, const QString &filter)
{
    QFileDialog dialog(parent, caption, directory, qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    showSizesInInterfaceLanguage(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtDialogService::chooseFont(QWidget *parent, QFont *font)
{
    FontChoiceDialog dialog(*font, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *font = dialog.chosenFont();
    return true;
}

QString QtDialogService::qtFilter(const QString &barFilter)
{
    const QStringList parts = barFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1String("*.*"), QLatin1String("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already names its pattern ("Coordinate Files (*.crd)") gets it once.
        const QString named = QLatin1String(" (") + pattern + QLatin1Char(')');
        filters << (parts.at(i).endsWith(named) ? parts.at(i) : parts.at(i) + named);
    }
    return filters.join(QLatin1String(";;"));
}

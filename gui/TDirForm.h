#pragma once

#include <QDialog>
#include <QFileSystemWatcher>

class DriveComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The directory chooser, shared by the settings dialog and the measurement
// windows. The callers' protocol:
//
//     form->setWindowTitle(caption);
//     form->setDirectory(start);   // throws KelvarinError when it does not exist
//     form->exec();
//     const QString chosen = form->DirectoryResult;   // empty: nothing chosen
//
// DirectoryResult is cleared at every showing and set only by "OK". A path
// typed into the path field is entered by OK (the default button, so Enter
// too); one that does not exist is refused with the reason and the chooser
// stays open.
class TDirForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDirForm(QWidget *parent = nullptr);

    QString DirectoryResult;

    // Moves the directory list to a directory; an empty text leaves it where
    // it is. Throws KelvarinError with the text to show when the directory
    // does not exist or cannot be listed; the list then stays where it was.
    void setDirectory(const QString &path);
    QString directory() const { return m_current; }

    QLabel *Label1 = nullptr;
    // The path typed or pasted: Enter (or OK) goes there.
    QLineEdit *editPath = nullptr;
    QListWidget *DirectoryListBox1 = nullptr;
    DriveComboBox *DriveComboBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

public Q_SLOTS:
    void Button1Click();
    void Button2Click();
    void DriveComboBox1Change(int index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void enter(QListWidgetItem *item);
    void fillList();
    void watchCurrent();
    // Moves the list, reporting a failure in a message box instead of throwing.
    void moveReporting(const QString &path);

    QString m_current;
    // Directories created or removed while the chooser is open appear and go
    // at once.
    QFileSystemWatcher m_watcher;
};

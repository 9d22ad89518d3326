#pragma once

#include <QWidget>

class DirectoryListBox;
class DriveComboBox;
class FileListBox;
class QFileSystemWatcher;
class QTimer;

// The file browser beside the image: the volume box, the directory list and
// the list of the directory's images, kept in step with each other and with
// the directory on the disk. The window decides what a double click does and
// when the lists are locked.
class BrowserPanel : public QWidget
{
    Q_OBJECT

public:
    explicit BrowserPanel(QWidget *parent = nullptr);

    DriveComboBox *driveBox() const { return m_drives; }
    FileListBox *fileList() const { return m_files; }

    // Enters a directory; throws KelvarinError when it cannot be entered,
    // leaving the lists where they were.
    void setDirectory(const QString &directory);
    QString directory() const;
    // Enters the directory of the volume chosen at `index` in the volume box.
    // Throws KelvarinError as setDirectory.
    void enterDrive(int index);
    // Has the volume box show the volume of `previous` again when the lists
    // are still there (the volume chosen could not be entered, or was not).
    void keepDriveOf(const QString &previous);
    // The directory list takes the focus when it is usable.
    void focusDirectories();
    // Lists the directory again when its images are not those listed (the
    // selection of those still there kept). Also done by itself, shortly after
    // images arrive in or leave the directory shown.
    void refreshFileList();
    // The directory and file lists usable or not; the volume box stays usable.
    void enableLists(bool on);

private:
    DriveComboBox *m_drives = nullptr;
    DirectoryListBox *m_directories = nullptr;
    FileListBox *m_files = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_refresh = nullptr;
};

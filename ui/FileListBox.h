#pragma once

#include <QListWidget>

// The file list of the file browser: the images of a directory (*.bmp, *.png,
// *.tif, *.tiff, *.jpg, *.jpeg; the extension in any case) in name order
// without regard to case, several of which may be selected. The order is the order in which a run processes them.
class FileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit FileListBox(QWidget *parent = nullptr);

    // Lists the images of `directory`; the selection is cleared.
    void setDirectory(const QString &directory);
    // Lists the directory again when its images are not those listed; the
    // images still there keep their selection and the current one stays
    // current. False when nothing changed.
    bool refresh();
    const QString &directory() const { return m_directory; }

    // Full paths of the selected files, or of all of them, in list order.
    QStringList selectedPaths() const;
    QStringList allPaths() const;
    QString pathOf(const QListWidgetItem *item) const;

private:
    QString m_directory;
};

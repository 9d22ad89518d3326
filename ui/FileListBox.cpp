#include "FileListBox.h"

#include "ImageList.h"

#include <QDir>
#include <QFileInfo>

FileListBox::FileListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The list is kept in the program's own name order; Qt's sorting would
    // order names differing only in case differently from a run.
    setSortingEnabled(false);
}

void FileListBox::setDirectory(const QString &directory)
{
    m_directory = directory;
    clear();
    for (const QString &path : ImageList::imagesIn(directory))
        addItem(QFileInfo(path).fileName());
}

QString FileListBox::pathOf(const QListWidgetItem *item) const
{
    return QDir(m_directory).filePath(item->text());
}

QStringList FileListBox::selectedPaths() const
{
    QStringList paths;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            paths << pathOf(item(i));
    }
    return paths;
}

QStringList FileListBox::allPaths() const
{
    QStringList paths;
    for (int i = 0; i < count(); ++i)
        paths << pathOf(item(i));
    return paths;
}

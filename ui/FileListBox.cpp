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

bool FileListBox::refresh()
{
    QStringList names;
    for (const QString &path : ImageList::imagesIn(m_directory))
        names << QFileInfo(path).fileName();
    QStringList listed, selected;
    for (int i = 0; i < count(); ++i) {
        listed << item(i)->text();
        if (item(i)->isSelected())
            selected << item(i)->text();
    }
    if (names == listed)
        return false;
    const QString current = currentItem() ? currentItem()->text() : QString();
    clear();
    addItems(names);
    for (int i = 0; i < count(); ++i) {
        if (selected.contains(item(i)->text()))
            item(i)->setSelected(true);
        if (item(i)->text() == current)
            setCurrentItem(item(i), QItemSelectionModel::NoUpdate);
    }
    return true;
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

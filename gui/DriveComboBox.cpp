#include "DriveComboBox.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

DriveComboBox::DriveComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // Mount points can be long; the box keeps a drive box's modest width and
    // shows the whole path in its drop-down list.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    fillVolumes();
}

void DriveComboBox::fillVolumes()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        // Files mounted in place (a container's /etc/hosts) are no volumes to browse.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()
            && !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    }
    roots.sort();
    const QString current = currentData().toString();
    clear();
    for (const QString &root : roots)
        addItem(QDir::toNativeSeparators(root), root);
    setCurrentIndex(std::max(0, findData(current)));
}

void DriveComboBox::follow(const QString &directory)
{
    const QString root = QStorageInfo(directory).rootPath();
    if (root.isEmpty())
        return;
    m_lastDirectory.insert(root, directory);
    int index = findData(root);
    if (index < 0) {
        // A volume mounted since the list was read.
        addItem(QDir::toNativeSeparators(root), root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

QString DriveComboBox::directoryFor(int index) const
{
    const QString root = itemData(index).toString();
    return m_lastDirectory.value(root, root);
}

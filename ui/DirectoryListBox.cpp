#include "DirectoryListBox.h"

#include "DialogService.h"
#include "KelvarinError.h"

#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QTreeWidgetItemIterator>

DirectoryListBox::DirectoryListBox(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemActivated, this, &DirectoryListBox::enter);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DirectoryListBox::refresh);
}

// The current directory changed on disk: its subdirectories are listed
// anew, the selected one kept. A directory that has gone stays shown until
// the user moves; entering it then says so.
void DirectoryListBox::refresh(const QString &changed)
{
    if (changed != m_directory || !QFileInfo(m_directory).isDir())
        return;
    const QString selected = currentItem() ? currentItem()->data(0, Qt::UserRole).toString() : QString();
    fill();
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == selected) {
            setCurrentItem(*it);
            break;
        }
    }
}

QStringList DirectoryListBox::chain(const QString &path)
{
    QStringList dirs;
    QString dir = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (true) {
        dirs.prepend(dir);
        const QString parent = QFileInfo(dir).path();
        if (parent == dir || QDir(dir).isRoot())
            break;
        dir = parent;
    }
    return dirs;
}

void DirectoryListBox::setDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !QDir(path).isReadable())
        throw KelvarinError(QStringLiteral("Не удается открыть директорию %1").arg(QDir::toNativeSeparators(path)));
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    if (!QDir::setCurrent(clean))
        throw KelvarinError(QStringLiteral("Не удается открыть директорию %1").arg(QDir::toNativeSeparators(path)));
    m_directory = clean;
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(m_directory);
    fill();
    Q_EMIT directoryChanged(m_directory);
}

void DirectoryListBox::fill()
{
    clear();
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QTreeWidgetItem *parentItem = nullptr;
    for (const QString &dir : chain(m_directory)) {
        const QString name = QDir(dir).isRoot() ? QDir::toNativeSeparators(dir) : QFileInfo(dir).fileName();
        auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, open);
        item->setData(0, Qt::UserRole, dir);
        item->setExpanded(true);
        parentItem = item;
    }
    setCurrentItem(parentItem);
    const QDir current(m_directory);
    const QStringList names = current.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        auto *item = new QTreeWidgetItem(parentItem);
        item->setText(0, name);
        item->setIcon(0, closed);
        item->setData(0, Qt::UserRole, current.filePath(name));
    }
    if (parentItem)
        scrollToItem(parentItem, QAbstractItemView::PositionAtTop);
}

void DirectoryListBox::enter(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QString target = item->data(0, Qt::UserRole).toString();
    if (target == m_directory)
        return;
    try {
        setDirectory(target);
    } catch (const KelvarinError &error) {
        // A directory removed since it was listed: say so and show the list anew.
        DialogService::instance().error(this, error.message());
        fill();
    }
}

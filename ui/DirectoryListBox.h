#pragma once

#include <QFileSystemWatcher>
#include <QTreeWidget>

// The directory list of the file browser: the chain of directories from the
// volume's root down to the current directory, and the current directory's
// subdirectories below it. A double click (or activation) enters a directory.
// Moving the list also makes the directory the process's current directory,
// as the file browser of this program always has. Subdirectories created or
// removed while the list shows their parent appear and go at once.
class DirectoryListBox : public QTreeWidget
{
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget *parent = nullptr);

    // Moves the list; throws KelvarinError with the text to show when the
    // directory does not exist or cannot be listed, leaving the list where it was.
    void setDirectory(const QString &path);
    const QString &directory() const { return m_directory; }

    // The directories from the root down to `path` itself ("/", "/home", "/home/op").
    static QStringList chain(const QString &path);

Q_SIGNALS:
    void directoryChanged(const QString &path);

protected:
    // The chain is always open: no expand arrows that would do nothing.
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}

private:
    void enter(QTreeWidgetItem *item);
    void fill();

    void refresh(const QString &changed);

    QString m_directory;
    QFileSystemWatcher m_watcher;
};

#include "BrowserPanel.h"

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "FileListBox.h"

#include <QFileSystemWatcher>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

BrowserPanel::BrowserPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("browserPanel"));
    m_drives = new DriveComboBox(this);
    m_drives->setObjectName(QStringLiteral("comboDrive"));
    m_directories = new DirectoryListBox;
    m_directories->setObjectName(QStringLiteral("listDirectories"));
    m_files = new FileListBox;
    m_files->setObjectName(QStringLiteral("listFiles"));

    auto *lists = new QSplitter(Qt::Vertical);
    lists->setObjectName(QStringLiteral("splitterLists"));
    lists->addWidget(m_directories);
    lists->addWidget(m_files);
    lists->setStretchFactor(0, 0);
    lists->setStretchFactor(1, 1);
    lists->setSizes({240, 300});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_drives, 0, Qt::AlignRight);
    layout->addWidget(lists, 1);

    // A camera writes an image in several steps: one listing after they settle.
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(300);
    connect(m_refresh, &QTimer::timeout, this, &BrowserPanel::refreshFileList);
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_refresh, qOverload<>(&QTimer::start));
    connect(m_directories, &DirectoryListBox::directoryChanged, this, [this](const QString &dir) {
        m_files->setDirectory(dir);
        m_drives->follow(dir);
        if (!m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
        m_watcher->addPath(dir);
    });
}

void BrowserPanel::setDirectory(const QString &directory)
{
    m_directories->setDirectory(directory);
}

QString BrowserPanel::directory() const
{
    return m_directories->directory();
}

void BrowserPanel::enterDrive(int index)
{
    m_directories->setDirectory(m_drives->directoryFor(index));
}

void BrowserPanel::keepDriveOf(const QString &previous)
{
    if (m_directories->directory() == previous)
        m_drives->follow(previous);
}

void BrowserPanel::focusDirectories()
{
    if (m_directories->isEnabled())
        m_directories->setFocus();
}

void BrowserPanel::refreshFileList()
{
    m_files->refresh();
}

void BrowserPanel::enableLists(bool on)
{
    m_directories->setEnabled(on);
    m_files->setEnabled(on);
}

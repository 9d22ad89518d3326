#include "BrowserPanel.h"

#include "DirectoryListBox.h"
#include "DriveComboBox.h"
#include "FileListBox.h"
#include "ImageList.h"

#include <QSplitter>
#include <QVBoxLayout>

BrowserPanel::BrowserPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel3"));
    m_drives = new DriveComboBox(this);
    m_drives->setObjectName(QStringLiteral("DriveComboBox1"));
    m_directories = new DirectoryListBox;
    m_directories->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_files = new FileListBox;
    m_files->setObjectName(QStringLiteral("FileListBox1"));

    auto *lists = new QSplitter(Qt::Vertical);
    lists->setObjectName(QStringLiteral("Splitter2"));
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

    connect(m_directories, &DirectoryListBox::directoryChanged, this, [this](const QString &dir) {
        m_files->setDirectory(dir);
        m_drives->follow(dir);
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
    const QString dir = m_files->directory();
    const QStringList listed = ImageList::imagesIn(dir);
    bool same = listed.size() == m_files->count();
    for (int i = 0; same && i < listed.size(); ++i)
        same = m_files->pathOf(m_files->item(i)) == listed.at(i);
    if (!same)
        m_files->setDirectory(dir);
}

void BrowserPanel::enableLists(bool on)
{
    m_directories->setEnabled(on);
    m_files->setEnabled(on);
}

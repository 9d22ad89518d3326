#include "TDirForm.h"

#include "AboutBox.h"
#include "DialogService.h"
#include "DriveComboBox.h"
#include "KelvarinError.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

static const QString upEntry = QStringLiteral("..");

TDirForm::TDirForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TDirForm"));
    setWindowTitle(QStringLiteral("Выбор директории"));
    setWindowIcon(AboutBox::resourcePicture(QStringLiteral("directory.png")));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(452, 368);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);

    editPath = new QLineEdit(this);
    editPath->setObjectName(QStringLiteral("editPath"));
    editPath->setClearButtonEnabled(true);

    DirectoryListBox1 = new QListWidget(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    connect(DirectoryListBox1, &QListWidget::itemActivated, this, &TDirForm::enter);

    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    connect(DriveComboBox1, &QComboBox::activated, this, &TDirForm::DriveComboBox1Change);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TDirForm::Button1Click);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button2, &QPushButton::clicked, this, &TDirForm::Button2Click);

    auto *layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(editPath, 1, 0, 1, 2);
    layout->addWidget(DirectoryListBox1, 2, 0, 2, 1);
    layout->addWidget(DriveComboBox1, 3, 1, Qt::AlignBottom);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    layout->setRowStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons, 4, 0, 1, 2);

    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        if (path == m_current && QFileInfo(path).isDir())
            fillList();
    });
    moveReporting(QDir::currentPath());
}

void TDirForm::watchCurrent()
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_watcher.addPath(m_current);
}

void TDirForm::setDirectory(const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (!info.isDir() || !QDir(path).isReadable())
        throw KelvarinError(QStringLiteral("Не удается открыть директорию %1")
                                .arg(QDir::toNativeSeparators(path)));
    m_current = QDir::cleanPath(info.absoluteFilePath());
    DriveComboBox1->follow(m_current);
    watchCurrent();
    fillList();
}

void TDirForm::moveReporting(const QString &path)
{
    try {
        setDirectory(path);
    } catch (const KelvarinError &e) {
        DialogService::instance().error(this, e.message());
    }
}

void TDirForm::fillList()
{
    Label1->setText(QDir::toNativeSeparators(m_current));
    editPath->setText(QDir::toNativeSeparators(m_current));
    // A refill keeps the entry the user had selected.
    const QString selected = DirectoryListBox1->currentItem() ? DirectoryListBox1->currentItem()->text() : QString();
    DirectoryListBox1->clear();
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QDir dir(m_current);
    if (!dir.isRoot())
        DirectoryListBox1->addItem(new QListWidgetItem(folder, upEntry));
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        DirectoryListBox1->addItem(new QListWidgetItem(folder, name));
    const QList<QListWidgetItem *> again = DirectoryListBox1->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !again.isEmpty())
        DirectoryListBox1->setCurrentItem(again.first());
}

void TDirForm::enter(QListWidgetItem *item)
{
    if (!item)
        return;
    QDir dir(m_current);
    const QString target = item->text() == upEntry ? QFileInfo(m_current).path()
                                                   : dir.filePath(item->text());
    moveReporting(target);
}

void TDirForm::showEvent(QShowEvent *event)
{
    DirectoryResult.clear();
    QDialog::showEvent(event);
}

void TDirForm::Button1Click()
{
    // A path typed into the field is the choice, once it can be entered.
    const QString typed = editPath->text().trimmed();
    if (!typed.isEmpty() && QDir::cleanPath(QDir::fromNativeSeparators(typed)) != m_current) {
        const QString before = m_current;
        moveReporting(QDir::fromNativeSeparators(typed));
        if (m_current == before) {
            editPath->setFocus();
            editPath->selectAll();
            return;
        }
    }
    DirectoryResult = m_current;
    accept();
}

void TDirForm::Button2Click()
{
    reject();
}

void TDirForm::DriveComboBox1Change(int index)
{
    const QString previous = m_current;
    moveReporting(DriveComboBox1->directoryFor(index));
    // A volume that could not be entered: the box shows the list's volume again.
    if (m_current == previous)
        DriveComboBox1->follow(previous);
}

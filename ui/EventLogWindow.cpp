#include "EventLogWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

static constexpr qint64 TailBytes = 256 * 1024;
static constexpr int Columns = 5;

EventLogWindow::EventLogWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("EventLogWindow"));
    m_table = new QTableWidget(0, Columns, this);
    m_table->setObjectName(QStringLiteral("tableEvents"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Важность"), QStringLiteral("Источник"),
                                        QStringLiteral("Файл"), QStringLiteral("Сообщение")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("labelEventLog"));
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &EventLogWindow::reload);
    // The log does not exist before its first line: the directory tells when it appears.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &EventLogWindow::reload);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_state);
    resize(1000, 420);
}

void EventLogWindow::showLog(const QString &path)
{
    if (path != m_path) {
        if (!m_watcher->files().isEmpty())
            m_watcher->removePaths(m_watcher->files());
        if (!m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
        m_path = path;
        if (!QFileInfo(path).isFile() && QFileInfo(QFileInfo(path).absolutePath()).isDir())
            m_watcher->addPath(QFileInfo(path).absolutePath());
    }
    setWindowTitle(QStringLiteral("Журнал событий - %1").arg(QDir::toNativeSeparators(m_path)));
    reload();
}

QStringList EventLogWindow::fields(const QString &line)
{
    QStringList parts = line.split(QLatin1Char('\t'));
    if (parts.size() < Columns)
        return {QString(), QString(), QString(), QString(), line};
    // A message holds no tab (the log replaces them), but a foreign line may.
    const QString message = parts.mid(Columns - 1).join(QLatin1Char(' '));
    parts = parts.mid(0, Columns - 1);
    parts << message;
    return parts;
}

QString EventLogWindow::severityText(const QString &name)
{
    if (name == QLatin1String("warning"))
        return QStringLiteral("предупреждение");
    if (name == QLatin1String("error"))
        return QStringLiteral("ошибка");
    if (name == QLatin1String("alarm"))
        return QStringLiteral("авария");
    if (name == QLatin1String("information"))
        return QStringLiteral("сообщение");
    return name;
}

QString EventLogWindow::sourceText(const QString &name)
{
    if (name == QLatin1String("run"))
        return QStringLiteral("обработка");
    if (name == QLatin1String("watch"))
        return QStringLiteral("наблюдение");
    if (name == QLatin1String("settings"))
        return QStringLiteral("настройки");
    if (name == QLatin1String("file"))
        return QStringLiteral("файл");
    if (name == QLatin1String("monitoring"))
        return QStringLiteral("мониторинг");
    return name;
}

QStringList EventLogWindow::tail(const QString &path, bool *missing)
{
    QFile file(path);
    *missing = !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly);
    if (*missing)
        return {};
    if (file.size() > TailBytes) {
        file.seek(file.size() - TailBytes);
        file.readLine(); // the rest of a cut line
    }
    return QString::fromUtf8(file.read(TailBytes)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void EventLogWindow::reload()
{
    // A log replaced or created anew is watched again; once it is there, the
    // directory (where every result set is written) need not be.
    if (QFileInfo(m_path).isFile()) {
        if (!m_watcher->files().contains(m_path))
            m_watcher->addPath(m_path);
        if (!m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
    }
    bool missing = false;
    const QStringList lines = tail(m_path, &missing);
    const bool atEnd = m_table->verticalScrollBar()->value() == m_table->verticalScrollBar()->maximum();
    m_table->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        QStringList parts = fields(lines.at(row));
        parts[1] = severityText(parts.at(1));
        parts[2] = sourceText(parts.at(2));
        parts[3] = QDir::toNativeSeparators(parts.at(3));
        for (int column = 0; column < Columns; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(parts.at(column)));
    }
    m_table->resizeColumnsToContents();
    if (atEnd)
        m_table->scrollToBottom();
    m_state->setText(missing ? QStringLiteral("Журнал событий %1 пока пуст: предупреждений и ошибок не было.")
                                   .arg(QDir::toNativeSeparators(m_path))
                             : QStringLiteral("Записей: %1").arg(lines.size()));
}

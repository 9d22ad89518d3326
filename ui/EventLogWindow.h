#pragma once

#include <QDialog>
#include <QStringList>

class QFileSystemWatcher;
class QLabel;
class QTableWidget;

// The event log of the working directory as a table: time, severity, source,
// file and message, newest at the bottom (the last 256 KB of the log). It
// follows the log while it is open: lines appended by this window's program
// or by a watch of the headless tool on the same directory appear as they
// are written.
class EventLogWindow : public QDialog
{
    Q_OBJECT

public:
    explicit EventLogWindow(QWidget *parent = nullptr);

    // Shows the log at `path` (another path replaces the one shown).
    void showLog(const QString &path);
    // Reads the log again; the table keeps its place unless it was at the end.
    void reload();

    QTableWidget *table() const { return m_table; }

    // The fields of one line of the log: five, the message last; a line with
    // fewer tabs (a foreign or damaged line) is all message.
    static QStringList fields(const QString &line);
    // "предупреждение", "ошибка", "авария", ... for the log's lower-case names.
    static QString severityText(const QString &name);
    static QString sourceText(const QString &name);
    // The end of the log (the last 256 KB at most) as lines; empty with
    // `missing` set when there is no log file.
    static QStringList tail(const QString &path, bool *missing);

private:
    QString m_path;
    QTableWidget *m_table = nullptr;
    QLabel *m_state = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
};

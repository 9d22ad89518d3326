#pragma once

#include "TIssue.h"

#include <QByteArray>
#include <QString>

// Standard error as the service manager's journal reads it. When stderr is
// the journal's own stream (JOURNAL_STREAM holds its device and inode, as
// systemd sets it for a service), every line starts with its syslog
// priority: "<2>" an alarm, "<3>" an error, "<4>" a warning, "<6>" anything
// else, so `journalctl -p warning` shows the warnings and alarms. On a
// terminal, a pipe or a file (also inside a service whose stderr was sent
// elsewhere) the lines stay as they are.
class StderrPriority
{
public:
    // Whether this process's stderr is the journal; decided at the first call.
    static bool toJournal();
    // Whether `journalStream` ("DEVICE:INODE") names the file open as `fd`.
    static bool isJournalStream(const QByteArray &journalStream, int fd);

    // `text` with each of its lines marked with the priority of `severity`
    // when stderr is the journal; unchanged otherwise.
    static QString marked(TIssue::Severity severity, const QString &text);
    static QString marked(TIssue::Severity severity, const QString &text, bool journal);
};

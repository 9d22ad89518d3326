#include "StderrPriority.h"

#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

bool StderrPriority::isJournalStream(const QByteArray &journalStream, int fd)
{
    const QList<QByteArray> parts = journalStream.split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts.at(0).toULongLong(&deviceOk);
    const qulonglong inode = parts.at(1).toULongLong(&inodeOk);
    struct stat status {};
    if (!deviceOk || !inodeOk || ::fstat(fd, &status) != 0)
        return false;
    return qulonglong(status.st_dev) == device && qulonglong(status.st_ino) == inode;
}

bool StderrPriority::toJournal()
{
    static const bool journal = isJournalStream(qgetenv("JOURNAL_STREAM"), STDERR_FILENO);
    return journal;
}

QString StderrPriority::marked(TIssue::Severity severity, const QString &text)
{
    return marked(severity, text, toJournal());
}

QString StderrPriority::marked(TIssue::Severity severity, const QString &text, bool journal)
{
    if (!journal)
        return text;
    // Syslog's levels: 2 critical, 3 error, 4 warning, 6 informational. Every
    // line carries one, so that a line of its own that starts with "<" is
    // never taken for a priority.
    const QString prefix = severity == TIssue::Severity::Alarm     ? QStringLiteral("<2>")
                           : severity == TIssue::Severity::Error   ? QStringLiteral("<3>")
                           : severity == TIssue::Severity::Warning ? QStringLiteral("<4>")
                                                                   : QStringLiteral("<6>");
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line break ends the last line; it does not start another.
    const bool endsLine = lines.size() > 1 && lines.last().isEmpty();
    for (qsizetype i = 0; i < lines.size() - (endsLine ? 1 : 0); ++i)
        lines[i].prepend(prefix);
    return lines.join(QLatin1Char('\n'));
}

#include "EventLog.h"

#include "IsoTime.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString EventLog::path() const
{
    return m_directory.isEmpty() ? QString() : QDir(m_directory).filePath(fileName());
}

QString EventLog::timeText(const QDateTime &time)
{
    return IsoTime::text(time, IsoTime::Precision::Seconds);
}

static QString field(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text.trimmed();
}

QByteArray EventLog::line(const TIssue &issue)
{
    const QStringList fields{timeText(issue.time), TIssue::severityName(issue.severity),
                             TIssue::sourceName(issue.source), field(QDir::toNativeSeparators(issue.file)),
                             field(issue.text)};
    return fields.join(QLatin1Char('\t')).toUtf8() + '\n';
}

void EventLog::report(const TIssue &issue)
{
    // Settings problems are shown at once to whoever starts the program; the
    // log keeps what happens while nobody watches.
    if (issue.severity == TIssue::Severity::Information || issue.source == TIssue::Source::Settings)
        return;
    m_lastFailure.clear();
    if (m_directory.isEmpty())
        return;
    // Appended in one write, never through a link, only to a regular file.
    const QByteArray name = QFile::encodeName(path());
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        m_lastFailure = qt_error_string(errno);
        return;
    }
    struct stat st;
    const QByteArray bytes = line(issue);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        m_lastFailure = QStringLiteral("%1 не является обычным файлом").arg(path());
    else if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        m_lastFailure = qt_error_string(errno);
    ::close(fd);
}

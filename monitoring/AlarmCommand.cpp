#include "AlarmCommand.h"

#include "LocaleFormat.h"
#include "TIssue.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

AlarmCommand::AlarmCommand(TIssueSink &sink, QObject *parent)
    : QObject(parent), m_sink(sink)
{
}

// Commands still running when the monitoring ends are ended with everything
// they started: a station's watch that stops leaves no process behind. They
// are asked first (SIGTERM) and given a moment to send what they were sending.
AlarmCommand::~AlarmCommand()
{
    for (QProcess *process : std::as_const(m_running)) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning)
            ::kill(-pid_t(process->processId()), SIGTERM);
    }
    QDeadlineTimer grace(GraceMs);
    for (QProcess *process : std::as_const(m_running)) {
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(int(qMax<qint64>(grace.remainingTime(), 1))))
            endGroup(process);
    }
}

// The command's whole process group, then the command itself, reaped.
void AlarmCommand::endGroup(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    ::kill(-pid_t(process->processId()), SIGKILL);
    process->kill();
    process->waitForFinished(1000);
}

QStringList AlarmCommand::commandLine(const QString &command, const AlarmEvent &event)
{
    QStringList words = QProcess::splitCommand(command);
    const auto number = [](double value) { return LocaleFormat::formatFixed(value, 4, QLatin1Char('.')); };
    const QList<QPair<QString, QString>> values = {
        {QStringLiteral("{zone}"), QString::number(event.zone)},
        {QStringLiteral("{level}"), Displacement::levelName(event.level)},
        {QStringLiteral("{dx}"), number(event.dx)},
        {QStringLiteral("{dy}"), number(event.dy)},
        {QStringLiteral("{magnitude}"), number(event.magnitude)},
        {QStringLiteral("{image}"), event.image},
        {QStringLiteral("{time}"), event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODate)},
    };
    // One pass over each word, so that a value holding "{zone}" stays as it is.
    for (QString &word : words) {
        QString expanded;
        for (qsizetype i = 0; i < word.size();) {
            bool replaced = false;
            for (const auto &[name, value] : values) {
                if (QStringView(word).mid(i).startsWith(name)) {
                    expanded += value;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
            if (!replaced)
                expanded += word.at(i++);
        }
        word = expanded;
    }
    return words;
}

void AlarmCommand::start(const AlarmEvent &event)
{
    const QStringList words = commandLine(m_command, event);
    if (words.isEmpty())
        return;
    if (m_running.size() >= MaxRunning) {
        report(QStringLiteral("уже выполняются %1 команды, событие зоны %2 пропущено").arg(MaxRunning).arg(event.zone));
        return;
    }
    auto *process = new QProcess(this);
    process->setProgram(words.first());
    process->setArguments(words.mid(1));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // A group of its own: ended as a whole, and Ctrl+C in the tool's terminal reaches the tool only.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_running << process;
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finishedProcess(process, false, QStringLiteral("не запускается: %1").arg(process->errorString()));
    });
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        if (status == QProcess::CrashExit)
            finishedProcess(process, false, QStringLiteral("завершилась аварийно"));
        else if (code != 0)
            finishedProcess(process, false, QStringLiteral("завершилась с кодом %1").arg(code));
        else
            finishedProcess(process, true, QString());
    });
    QTimer::singleShot(m_timeoutMs, process, [this, process] {
        if (process->state() == QProcess::NotRunning)
            return;
        process->disconnect(this);
        ::kill(-pid_t(process->processId()), SIGKILL);
        process->kill();
        finishedProcess(process, false,
                        QStringLiteral("не завершилась за %1 с и остановлена").arg(m_timeoutMs / 1000.0));
        // The killed process is reaped before the object goes.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
    });
    process->start();
}

void AlarmCommand::finishedProcess(QProcess *process, bool succeeded, const QString &reason)
{
    if (!m_running.removeOne(process))
        return;
    if (!succeeded)
        report(reason);
    if (process->state() == QProcess::NotRunning)
        process->deleteLater();
    Q_EMIT commandEnded(succeeded);
}

void AlarmCommand::report(const QString &reason)
{
    TIssue issue;
    issue.severity = TIssue::Severity::Warning;
    issue.source = TIssue::Source::Monitoring;
    issue.text = QStringLiteral("Команда оповещения \"%1\" %2").arg(m_command, reason);
    m_sink.report(issue);
}

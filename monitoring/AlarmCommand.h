#pragma once

#include "AlarmTracker.h"

#include <QObject>
#include <QStringList>

class QProcess;
class TIssueSink;

// Starts the user's alarm command for an event: a program and its arguments,
// never given to a shell. The command is split into words at blanks; double
// quotes group blanks into a word and are removed, and three double quotes in
// a row inside quotes give one literal double quote. Nothing else is special:
// single quotes and backslashes are ordinary characters ('single q' is the two
// words 'single and q'); a shell's own rules are had with `sh -c "..."`.
// In every argument the placeholders {zone}, {level} ("warning" or "alarm"),
// {dx}, {dy}, {magnitude} (the monitored values in the zone's unit, "." and
// four decimals), {image} and {time} (ISO 8601 with its offset from UTC) are
// replaced by the event's values, each staying within its argument whatever
// it holds.
//
// Starting never waits: the program runs on its own while the watch goes on.
// Each command runs in a process group of its own, and the whole group (the
// programs a script started too) is ended when the command runs longer than
// the timeout, and when the monitoring ends (the watch stops): nothing the
// alarm started outlives the watch. A program that cannot be started, ends
// with a status other than 0, crashes or is ended for its time is reported
// through the issue sink as a warning naming the command and the reason. At
// most `MaxRunning` commands run at once; an event beyond that is reported and
// not started, so a hanging command cannot pile up processes.
class AlarmCommand : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRunning = 8;
    // What commands still running at the end are given after SIGTERM.
    static constexpr int GraceMs = 2000;

    AlarmCommand(TIssueSink &sink, QObject *parent = nullptr);
    ~AlarmCommand() override;

    void setCommand(const QString &command) { m_command = command.trimmed(); }
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    // Starts the command for the event; nothing happens without a command.
    void start(const AlarmEvent &event);
    int running() const { return int(m_running.size()); }

    // The program and its arguments for an event; empty for an empty command.
    static QStringList commandLine(const QString &command, const AlarmEvent &event);

Q_SIGNALS:
    // A started command has ended, well or not (tests and the window wait on it).
    void commandEnded(bool succeeded);

private:
    void report(const QString &reason);
    void finishedProcess(QProcess *process, bool succeeded, const QString &reason);
    static void endGroup(QProcess *process);

    TIssueSink &m_sink;
    QString m_command;
    int m_timeoutMs = 60000;
    QList<QProcess *> m_running;
};

#pragma once

#include <QString>

// How the engine tells the user about a failure it handles itself (a settings
// step that failed, an unreadable zone file): the main window shows a message
// box with the caption, the headless tool prints the text.
class TMessageReporter
{
public:
    virtual ~TMessageReporter() = default;
    virtual void ReportMessage(const QString &caption, const QString &text) = 0;
};

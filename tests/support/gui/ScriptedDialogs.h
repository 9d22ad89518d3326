#pragma once

#include "DialogService.h"

#include <QFont>
#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// A dialog service for tests: installs itself for its lifetime, records every
// dialog the code under test opens, and answers from queues filled beforehand.
// With an empty queue a message box answers its first positive button (OK or
// Yes) and a file dialog or input box is cancelled.
class ScriptedDialogs : public DialogService
{
public:
    struct Call
    {
        QString kind; // "message", "input", "save", "open", "font"
        QString caption;
        QString text; // message text, input prompt
        Buttons buttons;
        Icon icon = Icon::None;
        QString directory;
        QString proposedName;
        QString filter;
        QString defaultSuffix;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void answerMessage(Button button) { m_messageAnswers.enqueue(button); }
    void answerFile(const QString &path) { m_fileAnswers.enqueue(path); }   // "" cancels
    void answerInput(bool ok, const QString &text = {}) { m_inputAnswers.enqueue({ok, text}); }
    void answerFont(bool ok, const QFont &font = {}) { m_fontAnswers.enqueue({ok, font}); }

    // Runs while a message box would be shown (for example to press keys in a
    // window under test); called before the answer is taken.
    std::function<void(const Call &)> onMessage;

    QList<Call> calls;
    QList<Call> messages() const;
    // Texts of all message boxes, in order: handy for exact comparisons.
    QStringList messageTexts() const;
    void clear() { calls.clear(); }

    Button message(QWidget *parent, const QString &caption, const QString &text,
                   Buttons buttons, Icon icon) override;
    bool inputText(QWidget *parent, const QString &caption, const QString &prompt,
                   QString *value) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &proposedName, const QString &filter,
                         const QString &defaultSuffix) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &filter) override;
    bool chooseFont(QWidget *parent, QFont *font) override;

private:
    QQueue<Button> m_messageAnswers;
    QQueue<QString> m_fileAnswers;
    QQueue<std::pair<bool, QString>> m_inputAnswers;
    QQueue<std::pair<bool, QFont>> m_fontAnswers;
};

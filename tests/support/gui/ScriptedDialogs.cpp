#include "ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs()
{
    DialogService::setInstance(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    DialogService::setInstance(nullptr);
}

QList<ScriptedDialogs::Call> ScriptedDialogs::messages() const
{
    QList<Call> result;
    for (const Call &call : calls) {
        if (call.kind == QLatin1String("message"))
            result << call;
    }
    return result;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Call &call : messages())
        texts << call.text;
    return texts;
}

DialogService::Button ScriptedDialogs::message(QWidget *, const QString &caption,
                                               const QString &text, Buttons buttons, Icon icon)
{
    Call call;
    call.kind = QStringLiteral("message");
    call.caption = caption;
    call.text = text;
    call.buttons = buttons;
    call.icon = icon;
    calls << call;
    if (onMessage)
        onMessage(call);
    if (!m_messageAnswers.isEmpty())
        return m_messageAnswers.dequeue();
    if (buttons.testFlag(Ok))
        return Ok;
    if (buttons.testFlag(Yes))
        return Yes;
    return Ok;
}

bool ScriptedDialogs::inputText(QWidget *, const QString &caption, const QString &prompt,
                                QString *value)
{
    Call call;
    call.kind = QStringLiteral("input");
    call.caption = caption;
    call.text = prompt;
    calls << call;
    if (m_inputAnswers.isEmpty())
        return false;
    const auto [ok, text] = m_inputAnswers.dequeue();
    if (ok)
        *value = text;
    return ok;
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &caption, const QString &directory,
                                      const QString &proposedName, const QString &filter,
                                      const QString &defaultSuffix)
{
    Call call;
    call.kind = QStringLiteral("save");
    call.caption = caption;
    call.directory = directory;
    call.proposedName = proposedName;
    call.filter = filter;
    call.defaultSuffix = defaultSuffix;
    calls << call;
    return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.dequeue();
}

QString ScriptedDialogs::openFileName(QWidget *, const QString &caption, const QString &directory,
                                      const QString &filter)
{
    Call call;
    call.kind = QStringLiteral("open");
    call.caption = caption;
    call.directory = directory;
    call.filter = filter;
    calls << call;
    return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.dequeue();
}

bool ScriptedDialogs::chooseFont(QWidget *, QFont *font)
{
    Call call;
    call.kind = QStringLiteral("font");
    calls << call;
    if (m_fontAnswers.isEmpty())
        return false;
    const auto [ok, chosen] = m_fontAnswers.dequeue();
    if (ok)
        *font = chosen;
    return ok;
}

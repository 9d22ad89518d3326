#include "CommandLineHelp.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

constexpr qsizetype lineWidth = 79;
constexpr qsizetype optionColumn = 22;
constexpr qsizetype commandColumn = 10;

// Words of `text` filled into lines of `width`, the first after `first`,
// the others after `indent` spaces; a line break in `text` starts a new line.
QString wrapped(const QString &text, const QString &first, qsizetype indent, qsizetype width = lineWidth)
{
    QString out = first;
    qsizetype column = first.size() - first.lastIndexOf(QLatin1Char('\n')) - 1;
    const QString margin(indent, QLatin1Char(' '));
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) {
            out += QLatin1Char('\n') + margin;
            column = indent;
        }
        bool lineEmpty = true;
        for (const QString &word : paragraphs.at(p).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!lineEmpty && column + 1 + word.size() > width) {
                out += QLatin1Char('\n') + margin;
                column = indent;
                lineEmpty = true;
            }
            if (!lineEmpty) {
                out += QLatin1Char(' ');
                ++column;
            }
            out += word;
            column += word.size();
            lineEmpty = false;
        }
    }
    return out + QLatin1Char('\n');
}

// A term and its description: on one line when the term fits the column.
QString definition(const QString &term, const QString &text, qsizetype column)
{
    QString first = term;
    if (first.size() < column)
        first = first.leftJustified(column, QLatin1Char(' '));
    else
        first += QLatin1Char('\n') + QString(column, QLatin1Char(' '));
    return wrapped(text, first, column);
}

// Text made safe for roff: backslashes and hyphens escaped, a control
// character at the start of a line defused.
QString roff(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    out.replace(QLatin1Char('-'), QLatin1String("\\-"));
    QStringList lines = out.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
            line.prepend(QLatin1String("\\&"));
    }
    return lines.join(QLatin1String("\n.br\n"));
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const CommandLineHelp::Option *find(const QList<CommandLineHelp::Option> &options, const QString &name)
{
    for (const CommandLineHelp::Option &option : options) {
        if (option.names.contains(name))
            return &option;
    }
    return nullptr;
}

} // namespace

CommandLineHelp::CommandLineHelp(const QString &program, const QString &summary)
    : m_program(program), m_summary(summary)
{
}

void CommandLineHelp::addSynopsis(const QString &arguments)
{
    m_synopses << arguments;
}

void CommandLineHelp::addCommand(const QString &name, const QString &description)
{
    m_commands << Entry{name, name, description};
}

void CommandLineHelp::addOption(const Option &option)
{
    m_options << option;
}

void CommandLineHelp::addSection(const QString &title, const QString &manTitle, const QString &text)
{
    m_sections << Entry{title, manTitle, text};
}

QString CommandLineHelp::termOf(const Option &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names << dashed(name);
    QString term = names.join(QLatin1String(", "));
    if (!option.valueName.isEmpty())
        term += QLatin1Char(' ') + option.valueName;
    return term;
}

QString CommandLineHelp::synopsisOf(const QList<Option> &options)
{
    QStringList parts;
    for (const Option &option : options) {
        if (option.hidden)
            continue;
        QString part = dashed(option.names.last());
        if (!option.valueName.isEmpty())
            part += QLatin1Char(' ') + option.valueName;
        parts << QLatin1Char('[') + part + QLatin1Char(']');
    }
    return parts.join(QLatin1Char(' '));
}

QCommandLineOption CommandLineHelp::parserOption(const Option &option)
{
    QCommandLineOption parserOption(option.names, option.description, option.valueName);
    if (option.hidden)
        parserOption.setFlags(QCommandLineOption::HiddenFromHelp);
    return parserOption;
}

CommandLineHelp::Failure CommandLineHelp::failure(const QCommandLineParser &parser, const QStringList &arguments,
                                                  const QList<Option> &options)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return {Failure::Kind::Unknown, dashed(unknown.first()), QString()};
    // Walk the arguments as the parser did to find the option it stopped at.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        const bool isLong = argument.startsWith(QLatin1String("--"));
        if (!isLong && (!argument.startsWith(QLatin1Char('-')) || argument.size() != 2))
            continue;
        QString name = argument.mid(isLong ? 2 : 1);
        const bool withValue = isLong && name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        const Option *option = find(options, name);
        if (!option)
            continue;
        if (option->valueName.isEmpty() && withValue)
            return {Failure::Kind::UnexpectedValue, dashed(name), QString()};
        if (!option->valueName.isEmpty() && !withValue && ++i >= arguments.size())
            return {Failure::Kind::MissingValue, dashed(name), QString()};
    }
    return {Failure::Kind::Other, QString(), parser.errorText()};
}

qsizetype CommandLineHelp::firstPositional(const QStringList &arguments, const QList<Option> &options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            return -1;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            return i;
        const bool isLong = argument.startsWith(QLatin1String("--"));
        const Option *option = find(options, argument.mid(isLong ? 2 : 1));
        // "--name value" and "-n value": the value is the next argument.
        if (option && !option->valueName.isEmpty() && (isLong || argument.size() == 2))
            ++i;
    }
    return -1;
}

QString CommandLineHelp::text() const
{
    QString out = QStringLiteral("Использование:\n");
    for (const QString &synopsis : m_synopses) {
        const QString call = QStringLiteral("  ") + m_program + (synopsis.isEmpty() ? QString() : QStringLiteral(" "));
        out += wrapped(synopsis, call, m_program.size() + 3);
    }
    out += QLatin1Char('\n') + wrapped(m_summary, QString(), 0);
    if (!m_commands.isEmpty()) {
        out += QStringLiteral("\nКоманды:\n");
        for (const Entry &command : m_commands)
            out += definition(command.term, command.text, commandColumn);
    }
    out += QStringLiteral("\nПараметры:\n");
    for (const Option &option : m_options) {
        if (!option.hidden)
            out += definition(QStringLiteral("  ") + termOf(option), option.description, optionColumn);
    }
    for (const Entry &section : m_sections)
        out += QLatin1Char('\n') + wrapped(section.term + QStringLiteral(": ") + section.text, QString(), 0);
    return out;
}

QString CommandLineHelp::manPage(const QString &version) const
{
    QString out = QStringLiteral(".TH %1 1 \"\" \"%2 %3\" \"\"\n").arg(m_program.toUpper(), m_program, version);
    out += QStringLiteral(".SH NAME\n%1 \\- %2\n").arg(roff(m_program), roff(m_summary.section(QLatin1Char('.'), 0, 0)));
    out += QStringLiteral(".SH SYNOPSIS\n");
    for (const QString &synopsis : m_synopses)
        out += QStringLiteral(".B %1\n%2.br\n").arg(roff(m_program), synopsis.isEmpty() ? QString() : roff(synopsis) + QLatin1Char('\n'));
    out += QStringLiteral(".SH DESCRIPTION\n%1\n").arg(roff(m_summary));
    if (!m_commands.isEmpty()) {
        out += QStringLiteral(".SH COMMANDS\n");
        for (const Entry &command : m_commands)
            out += QStringLiteral(".TP\n.B %1\n%2\n").arg(roff(command.manTerm), roff(command.text));
    }
    out += QStringLiteral(".SH OPTIONS\n");
    for (const Option &option : m_options) {
        if (!option.hidden)
            out += QStringLiteral(".TP\n.B %1\n%2\n").arg(roff(termOf(option)), roff(option.description));
    }
    for (const Entry &section : m_sections)
        out += QStringLiteral(".SH %1\n%2\n").arg(roff(section.manTerm), roff(section.text));
    return out;
}

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineOption;
class QCommandLineParser;

// A program's command line described once: how it is called, its commands,
// its options and the closing sections (exit codes and the like). The
// parser's options, the --help text and the manual page are all built from
// this one description, so none of them can say something the others do not.
class CommandLineHelp
{
public:
    struct Option final
    {
        QStringList names;       // "t", "timeout": one letter is a short option
        QString valueName;       // empty for a switch
        QString description;
        bool hidden = false;     // accepted, never shown (generators, for the build)
    };

    struct Failure final
    {
        enum class Kind { None, Unknown, MissingValue, UnexpectedValue, Other };
        Kind kind = Kind::None;
        QString option;          // as written: "--out", "-V"
        QString text;            // the parser's own words, for Other
    };

    CommandLineHelp(const QString &program, const QString &summary);

    // One way to call the program, after its name: "process [--out BASE] PATH...".
    void addSynopsis(const QString &arguments);
    void addCommand(const QString &name, const QString &description);
    void addOption(const Option &option);
    // A closing section: its title in the help text and in the manual page.
    void addSection(const QString &title, const QString &manTitle, const QString &text);

    // "[--settings FILE] [--no-journal]" for these options, hidden ones left out.
    static QString synopsisOf(const QList<Option> &options);
    // "-t, --timeout N": how an option is shown.
    static QString termOf(const Option &option);
    static QCommandLineOption parserOption(const Option &option);
    // Why QCommandLineParser refused `arguments` (the program's name first),
    // with the option named as it was written. Independent of the parser's
    // message language.
    static Failure failure(const QCommandLineParser &parser, const QStringList &arguments,
                           const QList<Option> &options);

    // The index of the first argument that is no option nor an option's
    // value (the program's name first); -1 when there is none before "--".
    static qsizetype firstPositional(const QStringList &arguments, const QList<Option> &options);

    // The --help text, wrapped for an 80-column terminal.
    QString text() const;
    // The same in man(7) format, section 1.
    QString manPage(const QString &version) const;

private:
    struct Entry final
    {
        QString term;
        QString manTerm;
        QString text;
    };

    QString m_program;
    QString m_summary;
    QStringList m_synopses;
    QList<Entry> m_commands;
    QList<Option> m_options;
    QList<Entry> m_sections; // term: help title, manTerm: manual title
};

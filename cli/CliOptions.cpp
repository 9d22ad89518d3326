#include "CliOptions.h"

#include "CommandLineHelp.h"

#include <QCommandLineParser>

#include <variant>

namespace {

using Target = std::variant<std::monostate, QString CliOptions::*, bool CliOptions::*, int CliOptions::*>;

// One option of the tool: what it is, which commands take it ("*": all)
// and the field it fills. An int field takes a whole number of at least 1.
struct OptionRow final
{
    CommandLineHelp::Option option;
    QStringList commands;
    Target target;
};

const QString all = QStringLiteral("*");

// To add an option: a row here (and its field in CliOptions). Commands read
// the field; the parser, --help and the manual page follow by themselves.
const QList<OptionRow> &optionTable()
{
    static const QList<OptionRow> rows = {
        {{{"settings"}, "FILE", "файл настроек в формате Kelvarin2.ini (по умолчанию собственный файл настроек "
                                "пользователя)"},
         {all}, &CliOptions::settingsFile},
        {{{"zones"}, "FILE", "файл зон вместо указанного в настройках"},
         {"process", "watch", "calibrate"}, &CliOptions::zonesFile},
        {{{"out"}, "BASE", "process: имя набора результатов (по умолчанию следующее свободное имя в рабочей "
                           "директории)"},
         {"process"}, &CliOptions::outBase},
        {{{"journal"}, "LOCATION", "журнал измерений: файл SQLite или адрес "
                                   "postgresql://пользователь@сервер:порт/база (по умолчанию JournalUrl, "
                                   "JournalFile из настроек или kelvarin2-journal.sqlite в рабочей директории)"},
         {all}, &CliOptions::journal},
        {{{"no-journal"}, "", "не вести журнал измерений"},
         {"process", "watch", "calibrate"}, &CliOptions::noJournal},
        {{{"jobs"}, "N", "обрабатывать N изображений одновременно (по умолчанию по числу процессоров); "
                         "результаты те же, что при 1"},
         {"process"}, &CliOptions::jobs},
        {{{"archives"}, "", "каталог дает и свои архивы *.zip"},
         {"process"}, &CliOptions::archives},
        {{{"run"}, "ID", "номер запуска в журнале (по умолчанию последний)"},
         {"export", "check"}, &CliOptions::runId},
        {{{"base"}, "BASE", "export: последний прогон с этим набором результатов (вместо --run)"},
         {"export"}, &CliOptions::base},
        {{{"format"}, "FORMAT", "export: формат выгрузки, csv (по умолчанию) или json; check: prometheus - "
                                "состояние станции в текстовом формате Prometheus вместо строки для Nagios"},
         {"export", "check"}, &CliOptions::format},
        {{{"out"}, "FILE", "export: файл выгрузки (по умолчанию или \"-\" стандартный вывод)"},
         {"export"}, &CliOptions::outBase},
        {{{"max-age"}, "AGE", "check: наибольший возраст последнего изображения: секунды или число с s, m, h, "
                              "d (например 2h)"},
         {"check"}, &CliOptions::maxAge},
        {{{"station"}, "NAME", "станция (по умолчанию Station из настроек или имя компьютера): process и watch "
                               "записывают ее прогоны, runs и export показывают только их, check проверяет ее "
                               "последний запуск с пределами, записанными им"},
         {"process", "watch", "runs", "export", "check"}, &CliOptions::station},
        {{{"t", "timeout"}, "SECONDS", "check: UNKNOWN, если журнал не ответил за это время (по умолчанию 10)"},
         {"check"}, &CliOptions::timeout},
        {{{"metrics"}, "FILE", "watch: файл метрик Prometheus (для textfile collector программы node_exporter), "
                               "переписывается после каждого изображения"},
         {"watch"}, &CliOptions::metricsFile},
        {{{"h", "help"}, "", "эта справка"}, {all}, {}},
        {{{"version"}, "", "версия программы"}, {all}, {}},
        {{{"help-man"}, "", "страница руководства (для сборки)", true}, {all}, {}},
    };
    return rows;
}

struct CommandRow final
{
    QString name;
    QString arguments; // what follows the options in the synopsis
    QString description;
};

const QList<CommandRow> &commandTable()
{
    static const QList<CommandRow> rows = {
        {"process", "PATH...",
         "находит индикаторные точки во всех зонах каждого изображения и записывает файлы координат "
         "BASE_<номер зоны>.crd и журнал BASE_time.log. PATH - файлы изображений в заданном порядке; каталог "
         "дает свои изображения (*.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg) по имени без учета регистра; "
         "архив *.zip - свои изображения по имени без учета регистра, без распаковки на диск."},
        {"watch", "[BUFFERDIR]",
         "следит за буферной директорией BUFFERDIR (по умолчанию BufferDir из настроек): каждое новое "
         "изображение (*.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg; по одному, по имени, когда его запись "
         "окончена; о файле другого вида - одна запись в журнале событий, файл остается на месте) "
         "обрабатывается, затем упаковывается программой zip или переносится в рабочую "
         "директорию, как указано в настройках, и набор результатов (следующее свободное имя в рабочей "
         "директории) переписывается. Изображение, которое не удается обработать, откладывается в "
         "BUFFERDIR/Отложенные. Изображение, которое обработано, но не заархивировано или не перенесено, "
         "остается в BUFFERDIR и переносится позже (пауза растет до минуты), не обрабатываясь повторно. Уже "
         "сохраненное никогда не заменяется: повторное имя получает \"~2\", \"~3\"... перед расширением "
         "(dup~2.bmp в общем архиве и в рабочей директории, BASE_dup~2.zip для отдельных архивов). На каждое "
         "изображение - строка в stderr; Ctrl+C (SIGINT) или SIGTERM завершает работу, записав результаты "
         "(если ни одно изображение не обработано, ничего не записывается)."},
        {"calibrate", "IMAGE",
         "обрабатывает изображение IMAGE и печатает рекомендуемый порог яркости (AverageYPorog); настройки не "
         "изменяются."},
        {"runs", "",
         "перечисляет прогоны журнала измерений: номер, вид, имя набора результатов, начало, конец, число "
         "изображений, станция."},
        {"export", "",
         "выгружает измерения прогона (по умолчанию последнего) по строке на изображение и зону, CSV (по "
         "умолчанию) или JSON, в стандартный вывод или в файл --out; десятичный разделитель всегда \".\"."},
        {"check", "",
         "проверка для систем мониторинга (Nagios, Icinga): смещения зон на последнем изображении последнего "
         "запуска станции из журнала измерений против пределов WarningLimit и AlarmLimit, записанных запуском "
         "(или из --settings); одна строка \"KELVARIN2 "
         "OK|WARNING|CRITICAL|UNKNOWN - ... | zone3=0.42mm;1;2\" и код 0, 1, 2 или 3 (3 - нет журнала, запуска, "
         "изображения или последнее изображение старше --max-age)."},
    };
    return rows;
}

bool takes(const OptionRow &row, const QString &command)
{
    return row.commands.contains(command) || row.commands.contains(all);
}

// The options of one command (help and version included) as the help shows them.
QList<CommandLineHelp::Option> optionsOf(const QString &command)
{
    QList<CommandLineHelp::Option> options;
    for (const OptionRow &row : optionTable()) {
        if (takes(row, command))
            options << row.option;
    }
    return options;
}

// A command's synopsis: its own options (not help and version), then its paths.
QString synopsisOf(const CommandRow &command)
{
    QList<CommandLineHelp::Option> options;
    for (const OptionRow &row : optionTable()) {
        if (takes(row, command.name) && !std::holds_alternative<std::monostate>(row.target))
            options << row.option;
    }
    QString synopsis = command.name + QLatin1Char(' ') + CommandLineHelp::synopsisOf(options);
    if (!command.arguments.isEmpty())
        synopsis += QLatin1Char(' ') + command.arguments;
    return synopsis;
}

CommandLineHelp help()
{
    CommandLineHelp help(QStringLiteral("kelvarin2-cli"),
                         QStringLiteral("Обработка изображений станции без окна: координаты индикаторных точек, "
                                        "наблюдение за буферной директорией, журнал измерений и проверка для "
                                        "систем мониторинга. После \"--\" все аргументы - пути (так "
                                        "обрабатывается изображение с именем \"-h\")."));
    for (const CommandRow &command : commandTable()) {
        help.addSynopsis(synopsisOf(command));
        help.addCommand(command.name, command.description);
    }
    help.addSynopsis(QStringLiteral("--help | --version"));
    for (const OptionRow &row : optionTable())
        help.addOption(row.option);
    help.addSection(QStringLiteral("Коды возврата"), QStringLiteral("EXIT STATUS"),
                    QStringLiteral("0 - успех, 1 - изображение не прочитано, результаты не записаны или журнал "
                                   "измерений не записан (файлы .crd записаны), 2 - ошибка в командной строке, "
                                   "файле настроек или файле зон, нет буферной или рабочей директории, нет ни "
                                   "одной зоны, нет журнала; process, прерванный сигналом, записывает полученные "
                                   "результаты и возвращает 130 (SIGINT, Ctrl+C) или 143 (SIGTERM); watch, "
                                   "остановленный сигналом, возвращает 0, если результаты записаны."));
    help.addSection(QStringLiteral("Журнал событий"), QStringLiteral("FILES"),
                    QStringLiteral("предупреждения и ошибки (отложенные и пропущенные изображения, сбои "
                                   "архивации и записи) печатаются в stderr и дописываются в журнал событий "
                                   "kelvarin2-events.log рабочей директории: строка на событие, UTF-8, "
                                   "время<TAB>уровень<TAB>источник<TAB>файл<TAB>сообщение."));
    return help;
}

// Stores one option's value in its field; the reason when it is refused.
QString store(CliOptions &options, const OptionRow &row, const QCommandLineParser &parser)
{
    const QString name = row.option.names.last();
    if (std::holds_alternative<bool CliOptions::*>(row.target)) {
        options.*std::get<bool CliOptions::*>(row.target) = true;
        return QString();
    }
    for (const QString &value : parser.values(name)) {
        if (value.isEmpty())
            return QStringLiteral("у параметра --%1 пустое значение").arg(name);
    }
    const QString value = parser.value(name);
    if (std::holds_alternative<QString CliOptions::*>(row.target)) {
        options.*std::get<QString CliOptions::*>(row.target) = value;
        return QString();
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < 1)
        return QStringLiteral("у параметра --%1 должно быть целое число не меньше 1: %2").arg(name, value);
    options.*std::get<int CliOptions::*>(row.target) = number;
    return QString();
}

QString failureText(const QCommandLineParser &parser, const QStringList &arguments,
                    const QList<CommandLineHelp::Option> &options)
{
    const CommandLineHelp::Failure failure = CommandLineHelp::failure(parser, arguments, options);
    switch (failure.kind) {
    case CommandLineHelp::Failure::Kind::Unknown:
        return QStringLiteral("неизвестный параметр: %1").arg(failure.option);
    case CommandLineHelp::Failure::Kind::MissingValue:
        return QStringLiteral("у параметра %1 нет значения").arg(failure.option);
    case CommandLineHelp::Failure::Kind::UnexpectedValue:
        return QStringLiteral("у параметра %1 не бывает значения").arg(failure.option);
    case CommandLineHelp::Failure::Kind::None:
    case CommandLineHelp::Failure::Kind::Other:
        break;
    }
    return failure.text;
}

// Help, the version or the manual page, when one of them was asked for.
bool shown(CliOptions &options, const QCommandLineParser &parser)
{
    const CliOptions::Action action = parser.isSet(QStringLiteral("help"))       ? CliOptions::Action::Help
                                      : parser.isSet(QStringLiteral("version"))  ? CliOptions::Action::Version
                                      : parser.isSet(QStringLiteral("help-man")) ? CliOptions::Action::Manual
                                                                                 : CliOptions::Action::Command;
    if (action == CliOptions::Action::Command)
        return false;
    options = CliOptions();
    options.action = action;
    return true;
}

// Options that cannot go together, and a format that is not known.
QString combinationError(const CliOptions &options)
{
    if (options.noJournal && !options.journal.isEmpty())
        return QStringLiteral("--journal и --no-journal вместе");
    if (!options.runId.isEmpty() && !options.base.isEmpty())
        return QStringLiteral("--run и --base вместе");
    const bool check = options.command == QLatin1String("check");
    const QStringList formats = check ? QStringList{QStringLiteral("prometheus")}
                                      : QStringList{QStringLiteral("csv"), QStringLiteral("json")};
    if (!options.format.isEmpty() && !formats.contains(options.format))
        return QStringLiteral("неизвестный формат: %1 (%2)")
            .arg(options.format, formats.join(check ? QStringLiteral(", ") : QStringLiteral(" или ")));
    return QString();
}

// Help and the version count only among the options before the first path;
// after it they are paths (an image may be named "-h") while other options
// still count. Such words are handed to the parser as placeholders, which
// `restored` turns back into what was written.
const QChar placeholderMark(0x1);

QStringList withHelpAfterPathsHidden(QStringList args, const QList<CommandLineHelp::Option> &options)
{
    static const QStringList helpWords = {"-h", "--help", "--version", "--help-man"};
    const qsizetype first = CommandLineHelp::firstPositional(args, options);
    for (qsizetype i = first + 1; first > 0 && i < args.size() && args.at(i) != QLatin1String("--"); ++i) {
        if (helpWords.contains(args.at(i)))
            args[i] = placeholderMark + args.at(i);
    }
    return args;
}

QStringList restored(QStringList paths)
{
    for (QString &path : paths) {
        if (path.startsWith(placeholderMark))
            path.remove(0, 1);
    }
    return paths;
}

bool isCommand(const QString &name)
{
    for (const CommandRow &command : commandTable()) {
        if (command.name == name)
            return true;
    }
    return false;
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions options;
    if (arguments.size() < 2) {
        options.error = QStringLiteral("не указана команда");
        return options;
    }
    // The command comes first; without one only help and the version count.
    const QString command = isCommand(arguments.at(1)) ? arguments.at(1) : QString();
    QStringList args = arguments;
    if (!command.isEmpty())
        args.removeAt(1);
    const QList<CommandLineHelp::Option> accepted = optionsOf(command.isEmpty() ? all : command);
    QCommandLineParser parser;
    for (const CommandLineHelp::Option &option : accepted)
        parser.addOption(CommandLineHelp::parserOption(option));
    const bool parsed = parser.parse(withHelpAfterPathsHidden(args, accepted));
    if (shown(options, parser))
        return options;
    options.action = Action::Command;
    options.command = command.isEmpty() ? arguments.at(1) : command;
    if (command.isEmpty()) {
        options.error = QStringLiteral("неизвестная команда: %1").arg(options.command);
        return options;
    }
    if (!parsed) {
        options.error = failureText(parser, args, accepted);
        return options;
    }
    for (const OptionRow &row : optionTable()) {
        if (!takes(row, command) || std::holds_alternative<std::monostate>(row.target)
            || !parser.isSet(row.option.names.last()))
            continue;
        options.error = store(options, row, parser);
        if (!options.error.isEmpty())
            return options;
    }
    options.paths = restored(parser.positionalArguments());
    options.error = combinationError(options);
    return options;
}

QString CliOptions::usage()
{
    return help().text();
}

QString CliOptions::manPage()
{
    return help().manPage(QStringLiteral(KELVARIN_VERSION));
}

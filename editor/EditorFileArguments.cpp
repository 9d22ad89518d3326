#include "EditorFileArguments.h"

#include "CommandLineHelp.h"
#include "RegularFile.h"
#include "ZoneFile.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// The options of the desktop program; the help and the manual page follow.
const QList<CommandLineHelp::Option> &optionTable()
{
    static const QList<CommandLineHelp::Option> options = {
        {{"mode"}, "N", "режим редактора таблиц (1-12) вместо определенного по расширению файла"},
        {{"h", "help"}, "", "эта справка"},
        {{"version"}, "", "версия программы"},
        {{"help-man"}, "", "страница руководства (для сборки)", true},
    };
    return options;
}

CommandLineHelp help()
{
    CommandLineHelp help(QStringLiteral("kelvarin2"),
                         QStringLiteral("Программа определения координат индикаторных точек. Без аргументов "
                                        "открывает главное окно; с файлом открывает ФАЙЛ в редакторе таблиц: "
                                        ".zon зоны, .lst список точек, .cam внутренняя геометрия, .ort внешняя "
                                        "геометрия, .crd точки изображения или результаты; --mode N (1-12) задает режим."));
    help.addSynopsis(QString());
    help.addSynopsis(CommandLineHelp::synopsisOf({optionTable().first()}) + QStringLiteral(" ФАЙЛ"));
    help.addSynopsis(QStringLiteral("--help | --version"));
    for (const CommandLineHelp::Option &option : optionTable())
        help.addOption(option);
    help.addSection(QStringLiteral("Коды возврата"), QStringLiteral("EXIT STATUS"),
                    QStringLiteral("0 - окно закрыто, 1 - файл не прочитан или окна не созданы, 2 - ошибка в "
                                   "командной строке."));
    help.addSection(QStringLiteral("См. также"), QStringLiteral("SEE ALSO"),
                    QStringLiteral("kelvarin2-cli(1): обработка без окна."));
    return help;
}

EditorFileArguments::Shown shownBy(const QCommandLineParser &parser)
{
    using Shown = EditorFileArguments::Shown;
    return parser.isSet(QStringLiteral("help"))       ? Shown::Help
           : parser.isSet(QStringLiteral("version"))  ? Shown::Version
           : parser.isSet(QStringLiteral("help-man")) ? Shown::Manual
                                                      : Shown::None;
}

QString failureText(const QCommandLineParser &parser, const QStringList &arguments)
{
    const CommandLineHelp::Failure failure = CommandLineHelp::failure(parser, arguments, optionTable());
    if (failure.kind == CommandLineHelp::Failure::Kind::Unknown)
        return QStringLiteral("неизвестный параметр ") + failure.option;
    if (failure.option == QLatin1String("--mode"))
        return QStringLiteral("--mode ожидает номер режима от 1 до 12");
    if (!failure.option.isEmpty())
        return QStringLiteral("у параметра %1 не бывает значения").arg(failure.option);
    return failure.text;
}

} // namespace

int EditorFileArguments::modeForFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("zon"))
        return 11;
    if (suffix == QLatin1String("lst"))
        return 4;
    if (suffix == QLatin1String("cam"))
        return 5;
    if (suffix == QLatin1String("ort"))
        return 7;
    if (suffix == QLatin1String("crd"))
        return isResultFile(path) ? 12 : 2;
    return 0;
}

// The program's result files separate their fields by tabs; the image point
// files of the family by ";". The first line tells them apart.
bool EditorFileArguments::isResultFile(const QString &path)
{
    QByteArray bytes;
    if (RegularFile::read(path, &bytes) != RegularFile::Status::Ok)
        return false;
    const QList<QByteArray> lines = ZoneFile::splitLines(bytes.left(4096));
    return !lines.isEmpty() && lines.first().contains('\t') && !lines.first().contains(';');
}

QString EditorFileArguments::usage()
{
    return help().text();
}

QString EditorFileArguments::manPage()
{
    return help().manPage(QStringLiteral(KELVARIN_VERSION));
}

std::optional<EditorFileArguments::Request> EditorFileArguments::parse(const QStringList &arguments,
                                                                       QString *error)
{
    if (arguments.isEmpty())
        return std::nullopt;
    const QStringList withProgram = QStringList{QStringLiteral("kelvarin2")} + arguments;
    QCommandLineParser parser;
    for (const CommandLineHelp::Option &option : optionTable())
        parser.addOption(CommandLineHelp::parserOption(option));
    const bool parsed = parser.parse(withProgram);
    Request request;
    request.shown = shownBy(parser);
    if (request.shown != Shown::None)
        return request;
    if (!parsed) {
        *error = failureText(parser, withProgram);
        return request;
    }
    int mode = 0;
    if (parser.isSet(QStringLiteral("mode"))) {
        bool ok = false;
        mode = parser.value(QStringLiteral("mode")).toInt(&ok);
        if (!ok || mode < 1 || mode > 12) {
            *error = QStringLiteral("--mode ожидает номер режима от 1 до 12");
            return request;
        }
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        *error = QStringLiteral("можно открыть только один файл");
        return request;
    }
    if (files.isEmpty()) {
        *error = QStringLiteral("не указан файл");
        return request;
    }
    request.file = files.first();
    request.mode = mode ? mode : modeForFile(request.file);
    if (request.mode == 0)
        *error = QStringLiteral("вид файла не определяется по расширению, укажите --mode N: ") + request.file;
    return request;
}

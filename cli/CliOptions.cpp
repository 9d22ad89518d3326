#include "CliOptions.h"

#include <QHash>

// The options every command accepts, each followed by a value.
static const QHash<QString, QStringList> &commandOptions()
{
    static const QString settings = QStringLiteral("settings");
    static const QString zones = QStringLiteral("zones");
    static const QString journal = QStringLiteral("journal");
    static const QString noJournal = QStringLiteral("no-journal");
    static const QHash<QString, QStringList> options = {
        {QStringLiteral("process"), {settings, zones, QStringLiteral("out"), journal, noJournal, QStringLiteral("jobs")}},
        {QStringLiteral("watch"), {settings, zones, journal, noJournal}},
        {QStringLiteral("calibrate"), {settings, zones, journal, noJournal}},
        {QStringLiteral("runs"), {settings, journal}},
        {QStringLiteral("export"), {settings, journal, QStringLiteral("run"), QStringLiteral("base"),
                                    QStringLiteral("format"), QStringLiteral("out")}},
        {QStringLiteral("check"), {settings, journal, QStringLiteral("run"), QStringLiteral("max-age")}},
    };
    return options;
}

// Options that take no value.
static bool isFlag(const QString &name)
{
    return name == QLatin1String("no-journal");
}

static bool isHelp(const QString &arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

static bool isHelpOrVersion(const QString &arg)
{
    return isHelp(arg) || arg == QLatin1String("--version");
}

// Reads the value of the option at args[i], "--name=value" or "--name value"
// (then i moves past the value); false with the error set when it has none.
static bool readValue(CliOptions &options, const QStringList &args, qsizetype &i, QString *name, QString *value)
{
    *name = args.at(i).mid(2);
    const qsizetype eq = name->indexOf(QLatin1Char('='));
    if (eq >= 0) {
        *value = name->mid(eq + 1);
        *name = name->left(eq);
    } else if (i + 1 < args.size()) {
        *value = args.at(++i);
    } else {
        options.error = QStringLiteral("у параметра --%1 нет значения").arg(*name);
        return false;
    }
    return true;
}

// Stores the value of an option the command accepts; false with the error set
// when the value is refused.
static bool storeValue(CliOptions &options, const QString &name, const QString &value)
{
    if (value.isEmpty()) {
        options.error = QStringLiteral("у параметра --%1 пустое значение").arg(name);
        return false;
    }
    if (name == QLatin1String("jobs")) {
        bool ok = false;
        options.jobs = value.toInt(&ok);
        if (!ok || options.jobs < 1) {
            options.error = QStringLiteral("у параметра --jobs должно быть целое число не меньше 1: %1").arg(value);
            return false;
        }
        return true;
    }
    QString &target = name == QLatin1String("settings") ? options.settingsFile
                    : name == QLatin1String("zones")    ? options.zonesFile
                    : name == QLatin1String("journal")  ? options.journal
                    : name == QLatin1String("run")      ? options.runId
                    : name == QLatin1String("base")     ? options.base
                    : name == QLatin1String("format")   ? options.format
                    : name == QLatin1String("max-age")  ? options.maxAge
                                                        : options.outBase;
    target = value;
    return true;
}

// One argument after the command (with its value, if it takes one). False
// when parsing ends there: an error, or help or the version asked for.
static bool parseArgument(CliOptions &options, const QStringList &args, qsizetype &i, bool &onlyPaths)
{
    const QString &arg = args.at(i);
    const bool optionsEnded = onlyPaths || !options.paths.isEmpty();
    if (!optionsEnded && isHelpOrVersion(arg)) {
        const CliOptions::Action shown = isHelp(arg) ? CliOptions::Action::Help : CliOptions::Action::Version;
        options = CliOptions();
        options.action = shown;
        return false;
    }
    if (onlyPaths || !arg.startsWith(QLatin1String("--")) || (optionsEnded && isHelpOrVersion(arg))) {
        options.paths << arg;
        return true;
    }
    if (arg == QLatin1String("--")) {
        onlyPaths = true;
        return true;
    }
    if (arg == QLatin1String("--archives") && options.command == QLatin1String("process")) {
        options.archives = true; // a switch, without a value
        return true;
    }
    const QStringList accepted = commandOptions().value(options.command);
    if (isFlag(arg.mid(2))) {
        if (!accepted.contains(arg.mid(2))) {
            options.error = QStringLiteral("неизвестный параметр: %1").arg(arg);
            return false;
        }
        options.noJournal = true;
        return true;
    }
    QString name, value;
    if (!readValue(options, args, i, &name, &value))
        return false;
    if (!accepted.contains(name)) {
        options.error = QStringLiteral("неизвестный параметр: --%1").arg(name);
        return false;
    }
    return storeValue(options, name, value);
}

// Options that cannot go together, and a format that is not known.
static QString combinationError(const CliOptions &options)
{
    if (options.noJournal && !options.journal.isEmpty())
        return QStringLiteral("--journal и --no-journal вместе");
    if (!options.runId.isEmpty() && !options.base.isEmpty())
        return QStringLiteral("--run и --base вместе");
    if (!options.format.isEmpty() && options.format != QLatin1String("csv") && options.format != QLatin1String("json"))
        return QStringLiteral("неизвестный формат: %1 (csv или json)").arg(options.format);
    return QString();
}

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions options;
    QStringList args = arguments.mid(1);
    if (args.isEmpty()) {
        options.error = QStringLiteral("не указана команда");
        return options;
    }
    // Help and version count only where options stand: before the command or
    // among its options, never after "--" or the first path (an image may be named "-h").
    const QString &first = args.first();
    if (isHelp(first))
        return options;
    if (first == QLatin1String("--version")) {
        options.action = Action::Version;
        return options;
    }
    options.action = Action::Command;
    options.command = args.takeFirst();
    if (!commandOptions().contains(options.command)) {
        options.error = QStringLiteral("неизвестная команда: %1").arg(options.command);
        return options;
    }
    bool onlyPaths = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!parseArgument(options, args, i, onlyPaths))
            return options;
    }
    options.error = combinationError(options);
    return options;
}

QString CliOptions::usage()
{
    return QStringLiteral(
        "Использование:\n"
        "  kelvarin2-cli process [--settings FILE] [--zones FILE] [--out BASE] [--jobs N]\n"
        "                        [--archives] PATH...\n"
        "  kelvarin2-cli watch [--settings FILE] [--zones FILE] BUFFERDIR\n"
        "  kelvarin2-cli calibrate [--settings FILE] [--zones FILE] IMAGE\n"
        "  kelvarin2-cli runs [--settings FILE] [--journal FILE|URL]\n"
        "  kelvarin2-cli export [--settings FILE] [--journal FILE|URL] [--run ID | --base BASE]\n"
        "                       [--format csv|json] [--out FILE]\n"
        "  kelvarin2-cli check [--settings FILE] [--journal LOCATION] [--run ID] [--max-age AGE]\n"
        "\n"
        "process   находит индикаторные точки во всех зонах каждого изображения и\n"
        "          записывает файлы координат BASE_<номер зоны>.crd и журнал\n"
        "          BASE_time.log.\n"
        "watch     следит за буферной директорией BUFFERDIR: каждое новое изображение\n"
        "          *.bmp, *.png, *.tif, *.tiff, *.jpg, *.jpeg (по одному, по имени,\n"
        "          когда его запись окончена; о файле другого вида - одна запись\n"
        "          в журнале событий, файл остается на месте)\n"
        "          обрабатывается, затем упаковывается программой zip или\n"
        "          переносится в рабочую директорию, как указано в настройках, и\n"
        "          набор результатов (следующее свободное имя в рабочей директории)\n"
        "          переписывается. Изображение, которое не удается обработать,\n"
        "          откладывается в BUFFERDIR/Отложенные. Изображение, которое\n"
        "          обработано, но не заархивировано или не перенесено, остается в\n"
        "          BUFFERDIR и переносится позже (пауза растет до минуты), не\n"
        "          обрабатываясь повторно. Уже сохраненное никогда не заменяется:\n"
        "          повторное имя получает \"~2\", \"~3\"... перед расширением\n"
        "          (dup~2.bmp в общем архиве и в рабочей директории,\n"
        "          BASE_dup~2.zip для отдельных архивов). На каждое изображение -\n"
        "          строка в stderr; Ctrl+C (SIGINT) или SIGTERM завершает работу,\n"
        "          записав результаты (если ни одно изображение не обработано,\n"
        "          ничего не записывается).\n"

        "calibrate обрабатывает изображение IMAGE и печатает рекомендуемый порог\n"
        "          яркости (AverageYPorog); настройки не изменяются.\n"
        "runs      перечисляет прогоны журнала измерений: номер, вид, имя набора\n"
        "          результатов, начало, конец, число изображений.\n"
        "export    выгружает измерения прогона (по умолчанию последнего) по строке\n"
        "          на изображение и зону, CSV (по умолчанию) или JSON, в стандартный\n"
        "          вывод или в файл --out; десятичный разделитель всегда \".\".\n"
        "check     проверка для систем мониторинга (Nagios, Icinga): смещения\n"
        "          зон на последнем изображении запуска из журнала измерений\n"
        "          против пределов WarningLimit и AlarmLimit; одна строка\n"
        "          \"KELVARIN2 OK|WARNING|CRITICAL|UNKNOWN - ... | zone3=0.42mm;1;2\"\n"
        "          и код 0, 1, 2 или 3 (3 - нет журнала, запуска, изображения\n"
        "          или последнее изображение старше --max-age).\n"
        "\n"
        "  --settings FILE  файл настроек в формате Kelvarin2.ini (по умолчанию\n"
        "                   собственный файл настроек пользователя)\n"
        "  --zones FILE     файл зон вместо указанного в настройках\n"
        "  --out BASE       имя набора результатов (по умолчанию следующее\n"
        "                   свободное имя в рабочей директории)\n"
        "  --journal LOCATION  журнал измерений (файл SQLite или postgresql://...);\n"
        "                   по умолчанию JournalUrl или JournalFile из настроек\n"
        "  --run ID         номер запуска в журнале (по умолчанию последний)\n"
        "  --max-age AGE    наибольший возраст последнего изображения: секунды\n"
        "                   или число с s, m, h, d (например 2h)\n"
        "  --journal FILE|URL  журнал измерений: файл SQLite или адрес\n"
        "                   postgresql://пользователь@сервер:порт/база (по умолчанию\n"
        "                   JournalUrl, JournalFile из настроек или\n"
        "                   kelvarin2-journal.sqlite в рабочей директории)\n"
        "  --no-journal     не вести журнал измерений\n"
        "  --run ID, --base BASE  прогон для выгрузки: по номеру или последний\n"
        "                   прогон с этим набором результатов\n"
        "  --format csv|json, --out FILE  формат и файл выгрузки\n"
        "  --jobs N         обрабатывать N изображений одновременно (по умолчанию\n"
        "                   по числу процессоров); результаты те же, что при 1\n"
        "  --archives       каталог дает и свои архивы *.zip\n"
        "  PATH             файлы изображений в заданном порядке; каталог дает\n"
        "                   свои изображения (*.bmp, *.png, *.tif, *.tiff, *.jpg,\n"
        "                   *.jpeg) по имени без учета регистра; архив *.zip -\n"
        "                   свои изображения по имени без учета регистра,\n"
        "                   без распаковки на диск\n"
        "  --               конец параметров: все следующие аргументы - пути\n"
        "                   (так обрабатывается изображение с именем \"-h\")\n"
        "\n"
        "Коды возврата: 0 - успех, 1 - изображение не прочитано, результаты\n"
        "не записаны или журнал измерений не записан (файлы .crd записаны),\n"
        "2 - ошибка в командной строке, файле настроек или файле зон, нет\n"
        "буферной или рабочей директории, нет ни одной зоны, нет журнала; process,\n"
        "прерванный сигналом, записывает полученные результаты и возвращает\n"
        "130 (SIGINT, Ctrl+C) или 143 (SIGTERM); watch, остановленный сигналом,\n"
        "возвращает 0, если результаты записаны.\n"
        "\n"
        "Предупреждения и ошибки (отложенные и пропущенные изображения, сбои\n"
        "архивации и записи) печатаются в stderr и дописываются в журнал событий\n"
        "kelvarin2-events.log рабочей директории: строка на событие, UTF-8,\n"
        "время<TAB>уровень<TAB>источник<TAB>файл<TAB>сообщение.\n"
        "\n"
        "  --help           эта справка\n"
        "  --version        версия программы\n");
}

#include "EditorFileArguments.h"

#include "RegularFile.h"
#include "ZoneFile.h"

#include <QFileInfo>

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
    return QStringLiteral("Использование: kelvarin2 [--mode N] ФАЙЛ\n"
                          "Открывает ФАЙЛ в редакторе таблиц: .zon зоны, .lst список точек, .cam внутренняя "
                          "геометрия, .ort внешняя геометрия, .crd точки изображения или результаты; --mode N (1-12) задает режим.");
}

std::optional<EditorFileArguments::Request> EditorFileArguments::parse(const QStringList &arguments,
                                                                       QString *error)
{
    if (arguments.isEmpty())
        return std::nullopt;
    Request request;
    int mode = 0;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--mode")) {
            bool ok = false;
            mode = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : 0;
            if (!ok || mode < 1 || mode > 12) {
                *error = QStringLiteral("--mode ожидает номер режима от 1 до 12");
                return Request{};
            }
            ++i;
        } else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            *error = QStringLiteral("неизвестный параметр ") + argument;
            return Request{};
        } else if (request.file.isEmpty()) {
            request.file = argument;
        } else {
            *error = QStringLiteral("можно открыть только один файл");
            return Request{};
        }
    }
    if (request.file.isEmpty()) {
        *error = QStringLiteral("не указан файл");
        return Request{};
    }
    request.mode = mode ? mode : modeForFile(request.file);
    if (request.mode == 0)
        *error = QStringLiteral("вид файла не определяется по расширению, укажите --mode N: ") + request.file;
    return request;
}

#include "CliSettings.h"

#include "IniFile.h"
#include "KelvarinError.h"
#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

// A settings file must be a readable regular file (a pipe or a device at the
// default path would block the tool or fill its memory). One named on the
// command line must exist and be an ini file of this program: an empty file
// is fine (every default), but a non-empty one without the section is some
// other file given by mistake. The user's own file may be missing.
static bool checkFile(const QString &path, bool mustExist, QString *error)
{
    IniFile ini(path);
    if (!ini.load()) {
        *error = QStringLiteral("файл настроек: %1").arg(ini.errorText());
        return false;
    }
    const QFileInfo info(path);
    if (!mustExist)
        return true;
    if (!info.exists()) {
        *error = QStringLiteral("файл настроек %1 не найден").arg(path);
        return false;
    }
    if (info.size() > 0 && !ini.hasSection(QString::fromLatin1(ParametersSection))) {
        *error = QStringLiteral("в файле настроек %1 нет раздела [%2]")
                     .arg(path, QString::fromLatin1(ParametersSection));
        return false;
    }
    return true;
}

bool CliSettings::load(const QString &settingsFile, const QString &zonesFile, TParameters *params,
                       TIssueSink &reporter, QString *error)
{
    const QString file = settingsFile.isEmpty() ? SettingsLocation::directory() + QLatin1String("/Kelvarin2.ini")
                                                : settingsFile;
    if (!checkFile(file, !settingsFile.isEmpty(), error))
        return false;
    TParametersActions actions;
    actions.startDirectory = QDir::currentPath();
    actions.applyWorkDir = [](const QString &dir) {
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            throw KelvarinError(dir);
    };
    // Measuring with a threshold or a limit that could not be read would give
    // results that look right and are not: the reader has said which value.
    if (!ReadParameters(file, *params, actions, reporter)) {
        *error = QStringLiteral("в файле настроек %1 неверное число").arg(file);
        return false;
    }
    // Result names come from the working directory's last component, which a
    // relative "." does not have.
    if (!params->WorkDir.isEmpty())
        params->WorkDir = QDir::cleanPath(QDir(params->WorkDir).absolutePath());
    if (!zonesFile.isEmpty())
        params->ZonesFileName = zonesFile;
    return true;
}

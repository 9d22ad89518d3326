#include "CliSettings.h"

#include "IniFile.h"
#include "KelvarinError.h"
#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

// A settings file named on the command line must exist, be readable, and be
// an ini file of this program: an empty file is fine (every default), but a
// non-empty one without the section is some other file given by mistake.
static bool checkGivenFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        *error = QStringLiteral("файл настроек %1 не найден").arg(path);
        return false;
    }
    IniFile ini(path);
    if (!ini.load()) {
        *error = QStringLiteral("файл настроек %1 не читается").arg(path);
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
                       TMessageReporter &reporter, QString *error)
{
    QString file = settingsFile;
    if (file.isEmpty()) {
        file = SettingsLocation::directory() + QLatin1String("/Kelvarin2.ini");
    } else if (!checkGivenFile(file, error)) {
        return false;
    }
    TParametersActions actions;
    actions.startDirectory = QDir::currentPath();
    actions.applyWorkDir = [](const QString &dir) {
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            throw KelvarinError(dir);
    };
    ReadParameters(file, *params, actions, reporter);
    // Result names come from the working directory's last component, which a
    // relative "." does not have.
    if (!params->WorkDir.isEmpty())
        params->WorkDir = QDir(params->WorkDir).absolutePath();
    if (!zonesFile.isEmpty())
        params->ZonesFileName = zonesFile;
    return true;
}

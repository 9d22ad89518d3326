#include "SettingsLocation.h"

#include <QDir>

QString SettingsLocation::directory()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QLatin1String("/.config");
    return QDir::cleanPath(base + QLatin1String("/kelvarin2"));
}

QString SettingsLocation::filePath(const QString &bareName)
{
    const QString dir = directory();
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + bareName;
}

#include "JournalLocation.h"

#include "TParameters.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

bool JournalLocation::isUrl(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

JournalLocation JournalLocation::parse(const QString &text)
{
    JournalLocation location;
    if (text.trimmed().isEmpty()) {
        location.error = QStringLiteral("место журнала не задано");
        return location;
    }
    if (!isUrl(text)) {
        location.file = QFileInfo(text).absoluteFilePath();
        return location;
    }
    location.postgres = true;
    const QUrl url(text);
    if (!url.isValid()) {
        location.error = QStringLiteral("неверный адрес базы данных %1").arg(text);
        return location;
    }
    location.host = url.host();
    location.port = url.port(-1);
    location.user = url.userName();
    location.password = url.password();
    location.database = url.path().mid(1);
    // libpq's own form for a unix socket: ?host=/directory
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        location.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (location.database.isEmpty())
        location.error = QStringLiteral("в адресе %1 не указана база данных").arg(location.display());
    return location;
}

QString JournalLocation::fromSettings(const TParameters &params)
{
    if (!params.JournalUrl.trimmed().isEmpty())
        return params.JournalUrl.trimmed();
    if (!params.JournalFile.trimmed().isEmpty())
        return params.JournalFile.trimmed();
    const QString dir = params.WorkDir.isEmpty() ? QDir::currentPath() : params.WorkDir;
    return QDir(dir).filePath(QString::fromLatin1(DefaultFileName));
}

QString JournalLocation::display() const
{
    if (!postgres)
        return QDir::toNativeSeparators(file);
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += user + QLatin1Char('@');
    if (!host.startsWith(QLatin1Char('/')))
        text += host;
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    text += QLatin1Char('/') + database;
    if (host.startsWith(QLatin1Char('/')))
        text += QStringLiteral("?host=") + host;
    return text;
}

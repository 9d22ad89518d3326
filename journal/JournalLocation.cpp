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
        location.error = QStringLiteral("неверный адрес базы данных %1").arg(withoutPassword(text));
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

QString JournalLocation::withoutPassword(const QString &text)
{
    QString out = text;
    // The user information ends at the last "@" before the path.
    const qsizetype scheme = out.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        const qsizetype authority = scheme + 3;
        qsizetype end = out.indexOf(QLatin1Char('/'), authority);
        const qsizetype question = out.indexOf(QLatin1Char('?'), authority);
        if (end < 0 || (question >= 0 && question < end))
            end = question;
        if (end < 0)
            end = out.size();
        const qsizetype at = out.lastIndexOf(QLatin1Char('@'), end - 1);
        const qsizetype colon = at >= authority ? out.indexOf(QLatin1Char(':'), authority) : -1;
        if (colon >= 0 && colon < at)
            out.remove(colon, at - colon);
    }
    // libpq also takes the password as a parameter of the address.
    qsizetype from = 0;
    while ((from = out.indexOf(QLatin1String("password="), from, Qt::CaseInsensitive)) >= 0) {
        const bool parameter = from > 0 && (out.at(from - 1) == QLatin1Char('?') || out.at(from - 1) == QLatin1Char('&'));
        qsizetype end = out.indexOf(QLatin1Char('&'), from);
        if (end < 0)
            end = out.size();
        if (parameter)
            out.replace(from + 9, end - from - 9, QStringLiteral("***"));
        from += 9;
    }
    return out;
}

QString JournalLocation::readOnlyUri(const QString &file)
{
    QString uri = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded)
                + QStringLiteral("?mode=ro");
    if (!QFileInfo::exists(file + QStringLiteral("-wal")))
        uri += QStringLiteral("&immutable=1");
    return uri;
}

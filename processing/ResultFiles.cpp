#include "ResultFiles.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "LocaleFormat.h"
#include "TDateTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>

#include <sys/stat.h>

QString ResultFiles::FormatCoordinate(double value)
{
    // The coordinate files are exchanged between stations whatever their locale.
    return LocaleFormat::formatFixed(value, 4, QLatin1Char('.'));
}

// The base a name of the directory would belong to: "B" of "B_..." and of "B.zip".
static QString baseOf(const QString &name, qsizetype prefixSize)
{
    const qsizetype underscore = name.indexOf(QLatin1Char('_'), prefixSize);
    if (underscore > 0)
        return name.left(underscore);
    return name.endsWith(QLatin1String(".zip")) ? name.chopped(4) : QString();
}

QString ResultFiles::NextResultsBase(const QString &workDir)
{
    QString dir = workDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    const QString last = dir.mid(dir.lastIndexOf(QLatin1Char('/')) + 1);
    const QString folder = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    const QString prefix = last + QLatin1Char('_');
    // Every name, dangling links and hidden files included.
    QSet<QString> taken;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString &name : QDir(dir).entryList(all)) {
        if (name.startsWith(prefix))
            taken.insert(baseOf(name, prefix.size()));
    }
    for (int n = 1;; ++n) {
        const QString candidate = prefix + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
        // A directory that cannot be listed: at least the first coordinate file is looked at.
        struct stat st;
        if (!taken.contains(candidate)
            && ::lstat(QFile::encodeName(folder + candidate + QLatin1String("_1.crd")).constData(), &st) != 0)
            return folder + candidate;
    }
}

QByteArray ResultFiles::coordinateFileBytes(const TZoneInfo &zone)
{
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < zone.points.size(); ++i) {
        const VT_Point &p = zone.points.at(i);
        if (p.isNotFound())
            continue;
        lines << QByteArray::number(i + 1) + '\t' + FormatCoordinate(p.x - zone.X0).toLatin1() + '\t'
                     + FormatCoordinate(p.y - zone.Y0).toLatin1();
    }
    return AtomicFile::crlfLines(lines);
}

QString ResultFiles::coordinateFilePath(const QString &base, int zoneNumber)
{
    return base + QLatin1Char('_') + QString::number(zoneNumber) + QLatin1String(".crd");
}

QString ResultFiles::logFilePath(const QString &base)
{
    return base + QLatin1String("_time.log");
}

void ResultFiles::WriteCoordinateFiles(const QList<TZoneInfo> &zones, const QString &base)
{
    for (qsizetype k = 0; k < zones.size(); ++k)
        AtomicFile::writeOrThrow(coordinateFilePath(base, int(k + 1)), coordinateFileBytes(zones.at(k)));
}

QString ResultFiles::DateTimeText(double days)
{
    QString text = LocaleFormat::shortDate(TDateTime::datePart(days));
    if (days - std::trunc(days) != 0)
        text += QLatin1Char(' ') + LocaleFormat::longTime(TDateTime::timePart(days));
    return text;
}

QString ResultFiles::ElapsedText(double days)
{
    const qint64 whole = qint64(std::trunc(days));
    const qint64 dayMs = qint64(TDateTime::MillisecondsPerDay);
    qint64 ms = std::llround(days * TDateTime::MillisecondsPerDay) % dayMs;
    if (ms < 0)
        ms += dayMs;
    const QString time = QStringLiteral("%1:%2:%3:%4")
                             .arg(ms / 3600000)
                             .arg(ms / 60000 % 60)
                             .arg(ms / 1000 % 60)
                             .arg(ms % 1000);
    return whole == 0 ? time : QString::number(whole) + QLatin1String("  ") + time;
}

QByteArray ResultFiles::logBytes(int fileCount, const TRunTimes &times)
{
    QStringList lines;
    lines << QStringLiteral("Дата начала обработки: ") + DateTimeText(times.RunStart);
    lines << QStringLiteral("Дата окончания обработки: ") + DateTimeText(times.RunEnd);
    if (times.RunElapsed > 0)
        lines << QStringLiteral("Время обработки: ") + ElapsedText(times.RunElapsed);
    lines << QStringLiteral("Количество файлов: ") + QString::number(fileCount);
    QList<QByteArray> encoded;
    for (const QString &line : lines)
        encoded << Cp1251::encode(line);
    return AtomicFile::crlfLines(encoded);
}

int ResultFiles::fileCount(const QList<TZoneInfo> &zones)
{
    return zones.isEmpty() ? 0 : int(zones.first().points.size());
}

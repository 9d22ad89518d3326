#include "MonitoringCheck.h"

#include "Displacement.h"
#include "LocaleFormat.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

// Up to four decimals, trailing zeros dropped: 0.42, 1, 0.0031.
QString number(double value)
{
    QString text = LocaleFormat::formatFixed(value, 4, QLatin1Char('.'));
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString limitField(double limit)
{
    return limit > 0 ? number(limit) : QString();
}

// The status text is one line, and a "|" in it (an image's name) would start
// the performance data.
QString plainText(const QString &text)
{
    return text.simplified().replace(QLatin1Char('|'), QChar(0x00A6));
}

QList<TJournalRow> lastImageRows(const QList<TJournalRow> &rows)
{
    int last = -1;
    for (const TJournalRow &row : rows)
        last = qMax(last, row.number);
    QList<TJournalRow> image;
    for (const TJournalRow &row : rows) {
        if (row.number == last)
            image << row;
    }
    std::sort(image.begin(), image.end(), [](const TJournalRow &a, const TJournalRow &b) { return a.zone < b.zone; });
    return image;
}

QString zoneList(const QList<int> &zones)
{
    QStringList parts;
    for (int zone : zones)
        parts << QString::number(zone);
    return parts.join(QStringLiteral(", "));
}

// What the zones of the image come to.
struct ZoneVerdicts
{
    MonitoringCheck::Status status = MonitoringCheck::Ok;
    QStringList perf;
    QStringList passed;
    QList<int> lost;    // a limit, and its target not found
    QList<int> missing; // no value for another reason
};

MonitoringCheck::Status statusOf(LimitLevel level)
{
    return level == LimitLevel::Alarm ? MonitoringCheck::Critical
         : level == LimitLevel::Warning ? MonitoringCheck::Warning
                                        : MonitoringCheck::Ok;
}

// The level of the zone's last value before it was lost: the image in which
// it was last found, evaluated as a whole (its reference zones with it).
LimitLevel lastLevel(int zone, const MonitoringSettings &settings, const MonitoringCheck::LastFound &lastFound)
{
    if (!lastFound)
        return LimitLevel::None;
    for (const DisplacementPoint &p : Displacement::evaluate(lastFound(zone), settings)) {
        double magnitude = 0;
        if (p.zone == zone && Displacement::monitoredMagnitude(p, settings, &magnitude))
            return Displacement::levelOf(magnitude, zone, settings);
    }
    return LimitLevel::None;
}

ZoneVerdicts judge(const QList<TJournalRow> &image, const MonitoringSettings &settings,
                   const MonitoringCheck::LastFound &lastFound)
{
    ZoneVerdicts v;
    const QList<DisplacementPoint> points = Displacement::evaluate(image, settings);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const DisplacementPoint &p = points.at(i);
        double magnitude = 0;
        if (!Displacement::monitoredMagnitude(p, settings, &magnitude)) {
            const bool limited = settings.warningLimitOf(p.zone) > 0 || settings.alarmLimitOf(p.zone) > 0;
            const bool notFound = i < image.size() && image.at(i).zone == p.zone && !image.at(i).found;
            if (limited && notFound) {
                v.lost << p.zone;
                const LimitLevel before = lastLevel(p.zone, settings, lastFound);
                v.status = std::max({v.status, MonitoringCheck::Warning, statusOf(before)});
            } else {
                v.missing << p.zone;
            }
            continue;
        }
        const LimitLevel level = Displacement::levelOf(magnitude, p.zone, settings);
        const QString unit = p.inMillimetres() ? QStringLiteral("mm") : QString();
        v.perf << QStringLiteral("zone%1=%2%3;%4;%5")
                      .arg(p.zone)
                      .arg(number(magnitude), unit, limitField(settings.warningLimitOf(p.zone)),
                           limitField(settings.alarmLimitOf(p.zone)));
        if (level != LimitLevel::None)
            v.passed << QStringLiteral("зона %1 %2 %3")
                            .arg(p.zone)
                            .arg(number(magnitude), Displacement::unitName(p.inMillimetres()));
        v.status = std::max(v.status, statusOf(level));
    }
    return v;
}

QString verdictText(const ZoneVerdicts &v, const MonitoringSettings &settings)
{
    QString text = !v.passed.isEmpty()      ? QStringLiteral("выше предела: ") + v.passed.join(QStringLiteral(", "))
                 : !settings.hasLimits()     ? QStringLiteral("пределы не заданы")
                 : v.perf.isEmpty()          ? QString()
                                             : QStringLiteral("смещения в пределах");
    QStringList lost;
    for (int zone : v.lost)
        lost << QStringLiteral("цель зоны %1 не найдена").arg(zone);
    if (!lost.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + lost.join(QStringLiteral(", "));
    if (!v.missing.isEmpty())
        text += QStringLiteral("; без значения: зоны ") + zoneList(v.missing);
    return text;
}

} // namespace

MonitoringCheck::Result MonitoringCheck::unknown(const QString &reason)
{
    return {Unknown, QStringLiteral("KELVARIN2 UNKNOWN - ") + plainText(reason)};
}

QString MonitoringCheck::statusName(Status status)
{
    switch (status) {
    case Ok: return QStringLiteral("OK");
    case Warning: return QStringLiteral("WARNING");
    case Critical: return QStringLiteral("CRITICAL");
    case Unknown: return QStringLiteral("UNKNOWN");
    }
    return {};
}

MonitoringCheck::Result MonitoringCheck::evaluate(qint64 runId, const QList<TJournalRow> &runRows,
                                                  const MonitoringSettings &settings, const QDateTime &now,
                                                  qint64 maxAgeSeconds, const LastFound &lastFound)
{
    const QList<TJournalRow> image = lastImageRows(runRows);
    if (image.isEmpty())
        return unknown(QStringLiteral("в запуске %1 нет изображений").arg(runId));
    const TJournalRow &first = image.first();
    const QString name = QFileInfo(first.image).fileName();
    const QDateTime time = first.imageTime.isValid() ? first.imageTime : first.processedAt;
    if (maxAgeSeconds >= 0 && (!time.isValid() || time.secsTo(now) > maxAgeSeconds))
        return unknown(QStringLiteral("последнее изображение %1 запуска %2 старше %3 с (%4)")
                           .arg(name).arg(runId).arg(maxAgeSeconds).arg(time.toString(Qt::ISODate)));

    const ZoneVerdicts v = judge(image, settings, lastFound);
    if (v.perf.isEmpty() && v.lost.isEmpty())
        return unknown(QStringLiteral("на изображении %1 запуска %2 нет ни одной зоны со смещением").arg(name).arg(runId));
    QString text = first.station.isEmpty() ? QString() : QStringLiteral("станция %1, ").arg(first.station);
    text += QStringLiteral("запуск %1, изображение %2 (%3), ").arg(runId).arg(name, time.toString(Qt::ISODate));
    text = plainText(text + verdictText(v, settings));
    QString line = QStringLiteral("KELVARIN2 %1 - %2").arg(statusName(v.status), text);
    if (!v.perf.isEmpty())
        line += QStringLiteral(" | ") + v.perf.join(QLatin1Char(' '));
    return {v.status, line};
}

// The run the request names; 0 with `result` set when there is none.
static qint64 chosenRun(JournalSource &journal, const MonitoringCheck::Request &request, MonitoringCheck::Result *result)
{
    const auto fail = [&](const QString &reason) {
        *result = MonitoringCheck::unknown(reason);
        return qint64(0);
    };
    if (request.runText.isEmpty()) {
        const qint64 id = request.station.isEmpty() ? journal.lastRunId() : journal.lastRunIdOfStation(request.station);
        if (id <= 0 && !journal.errorString().isEmpty())
            return fail(journal.errorString());
        if (id <= 0)
            return fail(request.station.isEmpty()
                            ? QStringLiteral("в журнале нет ни одного запуска")
                            : QStringLiteral("в журнале нет ни одного запуска станции %1").arg(request.station));
        return id;
    }
    bool ok = false;
    const qint64 id = request.runText.toLongLong(&ok);
    if (!ok || id <= 0)
        return fail(QStringLiteral("неверный номер запуска: %1").arg(request.runText));
    return id;
}

MonitoringCheck::Result MonitoringCheck::run(JournalSource *journal, const QString &problem, const Request &request)
{
    if (!journal)
        return unknown(problem);
    Result result;
    const qint64 runId = chosenRun(*journal, request, &result);
    if (runId <= 0)
        return result;
    QString recorded;
    if (!journal->runSettings(runId, &recorded)) {
        return unknown(journal->errorString().isEmpty() ? QStringLiteral("запуска %1 нет в журнале").arg(runId)
                                                        : journal->errorString());
    }
    const MonitoringSettings settings = request.settings ? *request.settings
                                                         : MonitoringSettings::fromSettingsText(recorded);
    QList<TJournalRow> image;
    if (!journal->lastImageRows(runId, 0, &image))
        return unknown(journal->errorString());
    const LastFound lastFound = [journal, runId](int zone) {
        QList<TJournalRow> rows;
        journal->lastImageRows(runId, zone, &rows);
        return rows;
    };
    return evaluate(runId, image, settings, request.now, request.maxAgeSeconds, lastFound);
}

bool MonitoringCheck::parseAge(const QString &text, qint64 *seconds)
{
    QString digits = text.trimmed();
    qint64 factor = 1;
    if (!digits.isEmpty() && !digits.back().isDigit()) {
        const QChar unit = digits.back().toLower();
        factor = unit == QLatin1Char('s') ? 1 : unit == QLatin1Char('m') ? 60 : unit == QLatin1Char('h') ? 3600
               : unit == QLatin1Char('d') ? 86400 : 0;
        digits.chop(1);
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    if (!ok || factor == 0 || value < 0 || digits.startsWith(QLatin1Char('+')))
        return false;
    // An age that does not fit in seconds is refused, not wrapped around.
    if (value > std::numeric_limits<qint64>::max() / factor)
        return false;
    *seconds = value * factor;
    return true;
}

#include "MonitoringCheck.h"

#include "Displacement.h"
#include "LocaleFormat.h"

#include <QFileInfo>

#include <algorithm>

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

} // namespace

MonitoringCheck::Result MonitoringCheck::unknown(const QString &reason)
{
    return {Unknown, QStringLiteral("KELVARIN2 UNKNOWN - ") + reason};
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
                                                  qint64 maxAgeSeconds)
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

    Status status = Ok;
    QStringList perf;
    QStringList passed;
    QList<int> missing;
    for (const DisplacementPoint &p : Displacement::evaluate(image, settings)) {
        double magnitude = 0;
        if (!Displacement::monitoredMagnitude(p, settings, &magnitude)) {
            missing << p.zone;
            continue;
        }
        const LimitLevel level = Displacement::levelOf(magnitude, p.zone, settings);
        const QString unit = p.inMillimetres() ? QStringLiteral("mm") : QString();
        perf << QStringLiteral("zone%1=%2%3;%4;%5")
                    .arg(p.zone)
                    .arg(number(magnitude), unit, limitField(settings.warningLimitOf(p.zone)),
                         limitField(settings.alarmLimitOf(p.zone)));
        if (level != LimitLevel::None)
            passed << QStringLiteral("зона %1 %2 %3").arg(p.zone).arg(number(magnitude),
                                                                     Displacement::unitName(p.inMillimetres()));
        status = std::max(status, level == LimitLevel::Alarm ? Critical : level == LimitLevel::Warning ? Warning : Ok);
    }
    if (perf.isEmpty())
        return unknown(QStringLiteral("на изображении %1 запуска %2 нет ни одной зоны со смещением").arg(name).arg(runId));

    QString text = QStringLiteral("запуск %1, изображение %2 (%3)").arg(runId).arg(name, time.toString(Qt::ISODate));
    text += passed.isEmpty() ? QStringLiteral(", смещения в пределах") : QStringLiteral(", выше предела: ") + passed.join(QStringLiteral(", "));
    if (!missing.isEmpty()) {
        QStringList zones;
        for (int zone : missing)
            zones << QString::number(zone);
        text += QStringLiteral("; без значения: зоны ") + zones.join(QStringLiteral(", "));
    }
    return {status, QStringLiteral("KELVARIN2 %1 - %2 | %3").arg(statusName(status), text, perf.join(QLatin1Char(' ')))};
}

MonitoringCheck::Result MonitoringCheck::run(JournalSource *journal, const QString &problem, const QString &runText,
                                             const MonitoringSettings &settings, const QDateTime &now,
                                             qint64 maxAgeSeconds)
{
    if (!journal)
        return unknown(problem);
    qint64 runId = 0;
    if (runText.isEmpty()) {
        runId = journal->lastRunId();
        if (runId <= 0)
            return unknown(QStringLiteral("в журнале нет ни одного запуска"));
    } else {
        bool ok = false;
        runId = runText.toLongLong(&ok);
        if (!ok || runId <= 0)
            return unknown(QStringLiteral("неверный номер запуска: %1").arg(runText));
        bool known = false;
        for (const TJournalRun &r : journal->runs())
            known = known || r.id == runId;
        if (!known)
            return unknown(QStringLiteral("запуска %1 нет в журнале").arg(runId));
    }
    return evaluate(runId, journal->rows(runId), settings, now, maxAgeSeconds);
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
    *seconds = value * factor;
    return true;
}

#include "JournalRunList.h"

#include "ChartToolTip.h"
#include "LocaleFormat.h"

#include <QComboBox>
#include <QSysInfo>

QList<TJournalRun> JournalRunList::listed(const QList<TJournalRun> &runs)
{
    QList<TJournalRun> shown;
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        if (it->images > 0)
            shown << *it;
    }
    return shown;
}

// The end is given by its time alone when the run ended the day it began.
static QString timeSpan(const TJournalRun &run)
{
    const QString start = ChartToolTip::timeText(run.start);
    if (!run.end.isValid())
        return start + QStringLiteral(" – (не завершен)");
    const QDateTime end = run.end.toLocalTime();
    const bool sameDay = end.date() == run.start.toLocalTime().date();
    return start + QStringLiteral(" – ") + (sameDay ? LocaleFormat::longTime(end.time()) : ChartToolTip::timeText(end));
}

QString JournalRunList::caption(const TJournalRun &run)
{
    const QString station = run.station.isEmpty() ? QString() : QStringLiteral("станция %1, ").arg(run.station);
    const QString name = run.id == 0 ? QStringLiteral("Текущий запуск") : QStringLiteral("Запуск %1").arg(run.id);
    return QStringLiteral("%1: %2%3, изображений %4").arg(name, station, timeSpan(run)).arg(run.images);
}

void JournalRunList::fill(QComboBox *box, const QList<TJournalRun> &runs)
{
    for (const TJournalRun &run : listed(runs)) {
        box->addItem(caption(run), run.id);
        box->setItemData(box->count() - 1, caption(run), Qt::ToolTipRole);
    }
}

TJournalRun JournalRunList::currentRun(const DisplacementSeries &series)
{
    TJournalRun current;
    current.station = QSysInfo::machineHostName();
    current.images = series.imageCount();
    for (int i = 0; i < series.imageCount(); ++i) {
        const QDateTime &time = series.image(i).time;
        if (!current.start.isValid() || time < current.start)
            current.start = time;
        if (!current.end.isValid() || time > current.end)
            current.end = time;
    }
    return current;
}

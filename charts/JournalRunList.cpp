#include "JournalRunList.h"

#include "ChartToolTip.h"
#include "LocaleFormat.h"

#include <QComboBox>

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
    return QStringLiteral("Запуск %1: %2%3, изображений %4").arg(run.id).arg(station, timeSpan(run)).arg(run.images);
}

void JournalRunList::fill(QComboBox *box, const QList<TJournalRun> &runs)
{
    for (const TJournalRun &run : listed(runs)) {
        box->addItem(caption(run), run.id);
        box->setItemData(box->count() - 1, caption(run), Qt::ToolTipRole);
    }
}

#pragma once

#include "TJournalRow.h"
#include "TZoneInfo.h"

#include <QList>
#include <QString>

// The journal rows of the image just measured, made from the zones' last
// points: what the watch hands to the monitoring after every image, before the
// journal has stored them. Coordinates only; the spot figures stay zero.
namespace ImageRows {

QList<TJournalRow> lastImage(const QList<TZoneInfo> &zones, const QString &imagePath, qint64 runId = 0);

} // namespace ImageRows

#pragma once

#include "Displacement.h"
#include "JournalSource.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A station's latest state in the Prometheus text exposition format
// (version 0.0.4): what `check --format prometheus` prints and what a watch
// keeps in its --metrics file for node_exporter's textfile collector.
// Every sample carries the station's name; a zone's samples its number:
//   kelvarin2_last_image_timestamp_seconds  the last image's file time
//   kelvarin2_images_processed_total        images measured (counter)
//   kelvarin2_images_set_aside_total        images set aside unread (counter)
//   kelvarin2_images_waiting_for_journal    images not yet in the journal
//   kelvarin2_zone_found                    1 found, 0 not
//   kelvarin2_zone_displacement_pixels      axis x|y|magnitude, correction raw|corrected
//   kelvarin2_zone_displacement_meters      the same where the zone has a pixel size
//   kelvarin2_zone_limit_state              0 ok, 1 warning, 2 alarm
// A figure the caller does not know (a count the check cannot see, a zone
// without an origin) is left out rather than given as zero.
class PrometheusMetrics
{
public:
    struct Station final
    {
        QString name;
        QDateTime lastImage;                    // invalid: no image yet
        std::optional<qint64> processed;
        std::optional<qint64> setAside;
        std::optional<qint64> waitingForJournal;
        QList<TJournalRow> lastImageRows;      // the last image's zones
    };

    static QByteArray format(const Station &station, const MonitoringSettings &settings);

    // A run's state as its journal holds it: its images, its station (unless
    // `station` names one) and its last image. False with `error` set when
    // the journal cannot be read or has no such run.
    static bool fromJournal(JournalSource &journal, qint64 runId, Station *station, QString *error);

    // A label value with backslash, double quote and line feed escaped.
    static QString labelValue(const QString &text);
    // A sample value: the shortest text that reads back as the same double,
    // always with ".", whatever the locale.
    static QString number(double value);
};

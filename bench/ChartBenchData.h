#pragma once

#include "TJournalRow.h"

#include <QList>

#include <cmath>

// A long run for the chart's benchmark and screenshot: `zones` targets over
// `images` images ten minutes apart, with a slow daily swing, noise, the
// camera shaken now and then (every target jumps together), zone 3 creeping
// away, and each target missed in about one image of fifty.
inline QList<TJournalRow> benchRun(int zones, int images, qint64 runId = 1)
{
    QList<TJournalRow> rows;
    rows.reserve(qsizetype(zones) * images);
    const QDateTime start(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
    quint32 seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (double(seed >> 8) / double(1u << 24) - 0.5) * 0.1;
    };
    for (int n = 1; n <= images; ++n) {
        const QString image = QStringLiteral("img%1.bmp").arg(n, 6, 10, QLatin1Char('0'));
        const QDateTime time = start.addSecs(600LL * n);
        const double day = std::sin(n * 2 * M_PI / 144.0);
        const bool shaken = n % 97 == 0;
        const double sx = shaken ? 1.5 : 0;
        const double sy = shaken ? -1.0 : 0;
        for (int z = 1; z <= zones; ++z) {
            TJournalRow row;
            row.runId = runId;
            row.number = n;
            row.image = image;
            row.imageTime = time;
            row.processedAt = time.addSecs(3);
            row.zone = z;
            row.found = (n * 7 + z * 13) % 50 != 0 && !(z == 5 && n > images * 0.7 && n < images * 0.75);
            row.hasOrigin = true;
            const double creep = z == 3 ? 3.2 * n / images : 0;
            row.dx = 0.05 * z * day + creep + sx + noise();
            row.dy = 0.03 * day - creep * 0.5 + sy + noise();
            rows << row;
        }
    }
    return rows;
}

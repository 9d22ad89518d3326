#pragma once

#include "TJournalRow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class TJournal;

// The rows of a run as a table for spreadsheets and scripts: one row per image
// and zone. "." is the decimal separator whatever the locale; dx and dy are
// written exactly as in the coordinate files so the two can be compared; x and
// y with six decimals; times in ISO 8601 with the UTC offset; the coordinate
// fields are empty (null in JSON) where no spot was found. After the
// threshold: the centre's uncertainty sx, sy (pixels) and the number of spots
// above the threshold, empty (null) where the journal has none. CSV follows
// RFC 4180: CR LF line ends, fields quoted where they need it.
class JournalExport
{
public:
    enum class Format { Csv, Json };

    static QByteArray csvHeader();
    static QByteArray csvRow(const TJournalRow &row);
    static QByteArray jsonObject(const TJournalRow &row);
    // The parts of a row: what is the same for every zone of an image (up to
    // the zone, with its comma), and the rest. A row is the two together.
    static QByteArray csvImagePart(const TJournalRow &row);
    static QByteArray csvZonePart(const TJournalRow &row);
    static void appendCsvZonePart(QByteArray &out, const TJournalRow &row);
    static QByteArray jsonImagePart(const TJournalRow &row);
    static QByteArray jsonZonePart(const TJournalRow &row);

    // Columns a caller appends after the journal's own (the monitoring's
    // corrected and millimetre values): their names, and the values of every
    // row of one image, computed from all the image's rows at once. An empty
    // value is an empty field (null in JSON); others are written as they are.
    struct ExtraColumns
    {
        QStringList names;
        std::function<QList<QStringList>(const QList<TJournalRow> &imageRows)> valuesOfImage;
    };

    // Writes the whole export of a run in pieces to `sink` (false from it
    // stops the export). False with `error` set when the journal cannot be read
    // or the sink refused.
    static bool write(TJournal &journal, qint64 runId, Format format,
                      const std::function<bool(const QByteArray &)> &sink, QString *error,
                      const ExtraColumns *extra = nullptr);

    // The same into a file, written whole and replaced at once (AtomicFile:
    // a link, a device or a pipe at `path` is refused).
    static bool writeFile(TJournal &journal, qint64 runId, Format format, const QString &path, QString *error,
                          const ExtraColumns *extra = nullptr);

    // The shortest text that reads back as the same double, without exponent.
    static QByteArray exactNumber(double value);
    // Fixed notation with "." as LocaleFormat::formatFixed writes it (halves
    // away from zero on the exact binary value), without its cost where no
    // half is in question.
    static QByteArray fixedNumber(double value, int decimals);
};

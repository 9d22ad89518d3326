#include "JournalExport.h"

#include "AtomicFile.h"
#include "LocaleFormat.h"
#include "ResultFiles.h"
#include "TJournal.h"

#include <QDir>
#include <QLocale>

namespace {

constexpr qsizetype ChunkSize = 1 << 20;

QString sixDecimals(double value)
{
    return LocaleFormat::formatFixed(value, 6, QLatin1Char('.'));
}

// A JSON string literal.
QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

} // namespace

QString JournalExport::exactNumber(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QByteArray JournalExport::csvField(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
                    || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
                    || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

QByteArray JournalExport::csvHeader()
{
    return "base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,mean,maximum,threshold\r\n";
}

QByteArray JournalExport::csvRow(const TJournalRow &row)
{
    QByteArray line;
    line.reserve(160);
    line += csvField(row.base) + ',' + QByteArray::number(row.number) + ',' + csvField(row.image) + ','
          + csvField(TJournal::isoTime(row.imageTime)) + ',' + csvField(TJournal::isoTime(row.processedAt)) + ','
          + QByteArray::number(row.zone) + ',' + (row.found ? "1" : "0") + ',';
    if (row.found) {
        line += sixDecimals(row.x).toLatin1() + ',' + sixDecimals(row.y).toLatin1() + ','
              + ResultFiles::FormatCoordinate(row.dx).toLatin1() + ','
              + ResultFiles::FormatCoordinate(row.dy).toLatin1() + ',';
    } else {
        line += ",,,,";
    }
    line += QByteArray::number(row.area) + ',' + exactNumber(row.mean).toLatin1() + ','
          + exactNumber(row.maximum).toLatin1() + ',' + exactNumber(row.threshold).toLatin1() + "\r\n";
    return line;
}

QByteArray JournalExport::jsonObject(const TJournalRow &row)
{
    const auto number = [&](bool present, const QString &text) { return present ? text.toLatin1() : QByteArray("null"); };
    const auto time = [](const QDateTime &t) { return t.isValid() ? jsonString(TJournal::isoTime(t)) : QByteArray("null"); };
    return "{\"base\":" + jsonString(row.base) + ",\"number\":" + QByteArray::number(row.number)
         + ",\"image\":" + jsonString(row.image) + ",\"image_time\":" + time(row.imageTime)
         + ",\"processed_at\":" + time(row.processedAt) + ",\"zone\":" + QByteArray::number(row.zone)
         + ",\"found\":" + (row.found ? "1" : "0") + ",\"x\":" + number(row.found, sixDecimals(row.x))
         + ",\"y\":" + number(row.found, sixDecimals(row.y))
         + ",\"dx\":" + number(row.found, ResultFiles::FormatCoordinate(row.dx))
         + ",\"dy\":" + number(row.found, ResultFiles::FormatCoordinate(row.dy))
         + ",\"area\":" + QByteArray::number(row.area) + ",\"mean\":" + exactNumber(row.mean).toLatin1()
         + ",\"maximum\":" + exactNumber(row.maximum).toLatin1()
         + ",\"threshold\":" + exactNumber(row.threshold).toLatin1() + '}';
}

bool JournalExport::write(TJournal &journal, qint64 runId, Format format,
                          const std::function<bool(const QByteArray &)> &sink, QString *error)
{
    QByteArray buffer;
    buffer.reserve(ChunkSize + 4096);
    bool sinkFailed = false;
    bool first = true;
    const auto flush = [&](bool always) {
        if (!sinkFailed && (always || buffer.size() >= ChunkSize)) {
            sinkFailed = !sink(buffer);
            buffer.clear();
        }
    };
    buffer += format == Format::Csv ? csvHeader() : QByteArray("[");
    const bool read = journal.forEachRow(runId, [&](const TJournalRow &row) {
        if (sinkFailed)
            return;
        if (format == Format::Csv) {
            buffer += csvRow(row);
        } else {
            buffer += (first ? "\n" : ",\n") + jsonObject(row);
        }
        first = false;
        flush(false);
    });
    if (format == Format::Json)
        buffer += first ? "]\n" : "\n]\n";
    flush(true);
    if (!read) {
        if (error)
            *error = journal.errorString();
        return false;
    }
    if (sinkFailed) {
        if (error)
            *error = QStringLiteral("экспорт не записан");
        return false;
    }
    return true;
}

bool JournalExport::writeFile(TJournal &journal, qint64 runId, Format format, const QString &path, QString *error)
{
    QByteArray bytes;
    const auto collect = [&bytes](const QByteArray &piece) {
        bytes += piece;
        return true;
    };
    if (!write(journal, runId, format, collect, error))
        return false;
    QString reason;
    if (AtomicFile::write(path, bytes, &reason))
        return true;
    if (error)
        *error = QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}
